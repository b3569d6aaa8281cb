// The real windows on a real X server with a window manager: where the keyboard goes when a window is
// opened from the menu or the desk's toolbar, and where the main window sits when it is restored.
// Run by under_window_manager.sh; the mouse and the keyboard are driven through the X server (xdotool), so
// the window manager's idea of the active window is the one tested.

#include "app/mainwindow.h"
#include "app/screenfit.h"
#include "app/windows.h"
#include "platform/units.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>

using namespace qv;
using namespace qv::test;

namespace {

struct Entry {
    QString menu; // the menu bar's entry
    QString subEntry; // the entry in its menu, or empty when the bar's entry opens the window itself
    QString kind; // the main window's name for the child window
    QString firstField; // objectName of the field that must take the keyboard; empty: the window has none
};

const QList<Entry> kEntries = {
    { "综合设置(S)", {}, "settings", "Text1" },
    { "药物维护(Y)", {}, "drugs", "Text2" },
    { "模板维护(M)", "个人组套\\中药方剂", "templates", "Text1" },
    { "模板维护(M)", "动物种类", "species", "Text3" },
    { "模板维护(M)", "诊断名称", "diagnoses", "Text1" },
    { "开具处方(C)", {}, "desk", "Text5(0)" },
    { "业务统计(T)", {}, "statistics", "Text3" },
    { "日志报表(B)", {}, "log", "Text3" },
    // The keyboard goes to the store choice's first option and to the list of copies: nothing to type into.
    { "数据维护(D)", "数据存储…", "storage", {} },
    { "数据维护(D)", "备份与恢复…", "backups", {} },
    { "帮助(H)", "版本信息", "about", {} },
};

bool xdotool(const QStringList& arguments) { return QProcess::execute("xdotool", arguments) == 0; }

// A real click: the pointer moves there and the X server delivers press and release.
bool clickAt(const QPoint& global)
{
    return xdotool(
        { "mousemove", "--sync", QString::number(global.x()), QString::number(global.y()), "click", "1" });
}

bool clickOn(const QWidget* w) { return clickAt(w->mapToGlobal(w->rect().center())); }

// Every text a user could have typed into, anywhere in the main window.
QList<QWidget*> typingFields(const QWidget* root)
{
    QList<QWidget*> fields;
    for (QLineEdit* e : root->findChildren<QLineEdit*>())
        fields << e;
    for (QPlainTextEdit* e : root->findChildren<QPlainTextEdit*>())
        fields << e;
    return fields;
}

QString textOf(const QWidget* field)
{
    if (auto* line = qobject_cast<const QLineEdit*>(field))
        return line->text();
    return static_cast<const QPlainTextEdit*>(field)->toPlainText();
}

bool running(const char* program)
{
    return QProcess::execute("sh", { "-c", QStringLiteral("command -v %1 >/dev/null").arg(program) }) == 0;
}

// The frame as the window manager last reported it. QWidget keeps its own copy of the frame's margins and
// refreshes it only on a move or resize, so a late update of the frame extents (seen under load, when the
// window manager sets them after the maximised window's configure) would leave that copy stale.
QRect frameOf(const QWidget& window) { return window.windowHandle()->frameGeometry(); }

} // namespace

class WindowManagerTest final : public QObject {
    Q_OBJECT

private:
    MainWindow* m_main = nullptr;
    int m_typed = 0;

    QAction* barEntry(const QString& text) const
    {
        for (QAction* a : m_main->menuBar()->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }

    // Chooses the entry with the mouse, as a user does.
    bool choose(const Entry& entry)
    {
        QMenuBar* bar = m_main->menuBar();
        QAction* top = barEntry(entry.menu);
        if (!top || !clickAt(bar->mapToGlobal(bar->actionGeometry(top).center())))
            return false;
        if (entry.subEntry.isEmpty())
            return true;
        QMenu* menu = top->menu();
        if (!menu || !QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000))
            return false;
        QAction* sub = m_main->menuAction(entry.subEntry);
        return sub && clickAt(menu->mapToGlobal(menu->actionGeometry(sub).center()));
    }

    QMdiSubWindow* activeChild() const { return m_main->findChild<QMdiArea*>()->activeSubWindow(); }

    // Types a text no field holds yet through the X server and checks that it went into the first field of
    // the window of this kind, and into no field of any other window.
    void typeIntoFirstField(const Entry& entry)
    {
        QTRY_VERIFY2(m_main->childWindow(entry.kind), qPrintable(entry.kind)); // the click has arrived
        QWidget* window = m_main->childWindow(entry.kind);
        QTRY_VERIFY2(activeChild() && activeChild()->widget() == window, qPrintable(entry.kind));
        const QString marker = QStringLiteral("zq%1x").arg(QChar('a' + m_typed++));
        QVERIFY(xdotool({ "type", "--delay", "20", marker }));
        if (entry.firstField.isEmpty()) {
            QTest::qWait(300); // the keys have had their time to arrive somewhere
        } else {
            QWidget* field = window->findChild<QWidget*>(entry.firstField);
            QVERIFY2(field, qPrintable(entry.firstField));
            QTRY_VERIFY2(textOf(field).contains(marker),
                qPrintable(
                    QStringLiteral("%1: %2 holds \"%3\"").arg(entry.kind, entry.firstField, textOf(field))));
        }
        for (QWidget* other : typingFields(m_main)) {
            if (window->isAncestorOf(other))
                continue; // a window may echo its field (a name field fills its code field)
            QVERIFY2(!textOf(other).contains(marker),
                qPrintable(QStringLiteral("typed into %1 went into %2 of another window")
                               .arg(entry.kind, other->objectName())));
        }
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !running("xdotool"))
            QSKIP("needs an X server with a window manager and xdotool (run by under_window_manager.sh)");
    }

    void everyWindowTakesTheKeyboardWhenOpenedAgain()
    {
        TestEnv env;
        ProgramWindows windows(env.services);
        MainWindow main(env.services, windows.factories());
        env.services.windows = &main;
        m_main = &main;
        main.showAtStart();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        // The clicks aim at where the menu is once the window manager has maximised the window.
        QTRY_COMPARE_WITH_TIMEOUT(frameOf(main), main.screen()->availableGeometry(), 10000);

        // First time, in menu order; then again in the reverse order, so each window is behind others.
        for (const Entry& entry : kEntries) {
            QVERIFY2(choose(entry), qPrintable(entry.kind));
            typeIntoFirstField(entry);
            if (QTest::currentTestFailed())
                return;
        }
        for (auto it = kEntries.rbegin(); it != kEntries.rend(); ++it) {
            QVERIFY2(choose(*it), qPrintable(it->kind));
            typeIntoFirstField(*it);
            if (QTest::currentTestFailed())
                return;
        }

        // The desk's toolbar opens the log, the statistics and the templates window the same way.
        const Entry desk = kEntries.at(5);
        const QList<std::pair<int, Entry>> toolbar
            = { { 4, kEntries.at(7) }, { 7, kEntries.at(6) }, { 5, kEntries.at(2) } };
        for (const auto& [button, opened] : toolbar) {
            QVERIFY(choose(desk));
            typeIntoFirstField(desk);
            if (QTest::currentTestFailed())
                return;
            QWidget* label
                = main.childWindow("desk")->findChild<QWidget*>(QStringLiteral("Label18(%1)").arg(button));
            QVERIFY(label);
            QVERIFY(clickOn(label));
            typeIntoFirstField(opened);
            if (QTest::currentTestFailed())
                return;
        }
        m_main = nullptr;
    }

    // Also run with a scale of 1.25 on a 1366 x 768 screen, where the minimum size is larger than the screen.
    void mainWindowRestoresInsideTheScreen()
    {
        TestEnv env;
        ProgramWindows windows(env.services);
        MainWindow main(env.services, windows.factories());
        env.services.windows = &main;
        main.showAtStart();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        const QRect available = main.screen()->availableGeometry();
        QTRY_VERIFY(main.isMaximized());
        QTRY_COMPARE_WITH_TIMEOUT(frameOf(main), available, 10000);

        main.showNormal();
        QTRY_VERIFY(!main.isMaximized());
        QTRY_VERIFY2(available.contains(frameOf(main)) && frameOf(main) != available,
            qPrintable(QStringLiteral("restored frame %1,%2 %3x%4 in %5x%6")
                           .arg(frameOf(main).x())
                           .arg(frameOf(main).y())
                           .arg(frameOf(main).width())
                           .arg(frameOf(main).height())
                           .arg(available.width())
                           .arg(available.height())));

        // Dragged smaller than the minimum it stays at the minimum: 15390 x 10290 twips, or the screen's free
        // area less the frame where that is smaller; the whole frame stays on the screen.
        const QSize wanted = twipsSize(15390, 10290);
        const QMargins frame = main.windowHandle()->frameMargins();
        const QSize room = available.marginsRemoved(widestOf(frame, assumedFrame())).size();
        QTRY_COMPARE(main.minimumSize(), wanted.boundedTo(room));
        main.resize(100, 100);
        QTRY_COMPARE(main.size(), wanted.boundedTo(room));
        QTRY_VERIFY(available.contains(frameOf(main)));
        // Maximised again it fills the free area once more.
        main.showMaximized();
        QTRY_COMPARE_WITH_TIMEOUT(frameOf(main), available, 10000);
    }
};

QTEST_MAIN(WindowManagerTest)
#include "tst_windowmanager.moc"
