// The desk as it is used inside the main window: its keys and tooltips, the question about a changed
// prescription before it is left (new, continue, closing the desk or the program), and the exit backup that
// follows every real exit.

#include "app/mainwindow.h"
#include "app/windows.h"
#include "catalogs/drugcatalogwindow.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "print/recordingprint.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <memory>

using namespace qv;
using namespace qv::test;
using Answer = Messages::Answer;

namespace {

enum Toolbar { New = 0, Continue = 1, Save = 2, Print = 3, Copy = 9 };

const QString kQuestion = QStringLiteral("当前处方已修改，是否先保存？");

// The program's windows on a test database, the main window shown and the desk open in it.
struct Program {
    Program()
        : windows(env.services)
    {
        env.db.run(QStringLiteral("delete from \"档案\""));
        printers.defaultPrinter = QStringLiteral("HP LaserJet P1007");
        printers.printers = { printers.defaultPrinter };
        env.services.printers = &printers;
        main = std::make_unique<MainWindow>(env.services, windows.factories());
        env.services.windows = main.get();
        exited = std::make_unique<QSignalSpy>(main.get(), &MainWindow::exitRequested);
        main->resize(1400, 950);
        main->show();
        desk = qobject_cast<PrescriptionDesk*>(main->childWindow(QStringLiteral("desk")));
    }
    ~Program() { env.services.windows = &env.windows; }

    bool ready() { return desk && QTest::qWaitForWindowActive(main.get()); }

    void type(int field, const QString& text)
    {
        desk->fieldEdits[field]->setFocus();
        typeText(desk->fieldEdits[field], text);
    }
    void press(int button) { QTest::mouseClick(desk->toolbarClickAreas[button], Qt::LeftButton); }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    QStringList storedOwners()
    {
        QStringList owners;
        for (const Row& row : env.rows(QStringLiteral("select \"0\" from \"档案\" order by \"序号\"")))
            owners << row.text(QStringLiteral("0"));
        return owners;
    }
    int questions() const
    {
        int n = 0;
        for (const auto& shown : env.messages.shown())
            n += shown.kind == QStringLiteral("yesnocancel") ? 1 : 0;
        return n;
    }
    QString backupPath() const
    {
        return env.dir.filePath(QStringLiteral("Quorvela数据库备份/8日/数据库.dat"));
    }

    TestEnv env;
    ProgramWindows windows;
    RecordingPrinterAccess printers;
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<QSignalSpy> exited;
    PrescriptionDesk* desk = nullptr;
};

QString toolTipShownOver(QWidget* widget)
{
    QToolTip::hideText();
    const QPoint at(widget->width() / 2, widget->height() / 2);
    QHelpEvent hover(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class DeskWorkTest final : public QObject {
    Q_OBJECT

private slots:
    void toolbarButtonsTellTheirActionAndKeyAndTheMenuLettersArePlainText()
    {
        Program p;
        QVERIFY(p.ready());
        // Hovering anywhere over a button, its click area included, shows what it does.
        QCOMPARE(toolTipShownOver(p.desk->toolbarClickAreas[New]), QStringLiteral("开始一张新处方 (Ctrl+N)"));
        QCOMPARE(toolTipShownOver(p.desk->toolbarClickAreas[Continue]),
            QStringLiteral("为同一动物续开一张处方 (Ctrl+Shift+N)"));
        QCOMPARE(toolTipShownOver(p.desk->toolbarClickAreas[Save]), QStringLiteral("保存当前处方 (Ctrl+S)"));
        QCOMPARE(toolTipShownOver(p.desk->toolbarCaptions[Print]), QStringLiteral("打印当前处方 (Ctrl+P)"));
        QCOMPARE(toolTipShownOver(p.desk->toolbarClickAreas[9]), QStringLiteral("把处方内容复制到剪贴板"));
        QCOMPARE(toolTipShownOver(p.desk->toolbarClickAreas[8]), QStringLiteral("打开操作帮助 (F1)"));
        for (int i = 0; i < PrescriptionDesk::kToolbarButtonCount; ++i)
            QVERIFY2(
                !toolTipShownOver(p.desk->toolbarClickAreas[i]).isEmpty(), qPrintable(QString::number(i)));

        // "(S)" and the other letters are part of the menu texts, not access keys.
        for (QAction* entry : p.main->menuBar()->actions()) {
            QVERIFY2(entry->text().endsWith(QLatin1Char(')')), qPrintable(entry->text()));
            QVERIFY2(!entry->text().contains(QLatin1Char('&')), qPrintable(entry->text()));
            QVERIFY(QKeySequence::mnemonic(entry->text()).isEmpty());
            QVERIFY(entry->shortcut().isEmpty());
        }
        QCOMPARE(p.main->menuBar()->actions().first()->text(), QStringLiteral("综合设置(S)"));
        QTest::keyClick(p.desk->fieldEdits[0], Qt::Key_S, Qt::AltModifier);
        QVERIFY(!p.main->childWindow(QStringLiteral("settings")));
    }

    void ctrlKeysSavePrintAndBeginFromAnywhereInTheDesk()
    {
        Program p;
        QVERIFY(p.ready());
        p.type(0, QStringLiteral("张三"));
        p.key(Qt::Key_S);
        QCOMPARE(p.storedOwners(), QStringList({ QStringLiteral("张三") }));
        QCOMPARE(p.desk->archiveList->count(), 1); // the save refreshed the archive list

        // After a click on a toolbar button the keys still reach the desk.
        p.press(Copy);
        p.key(Qt::Key_P);
        QVERIFY(p.printers.last());
        QCOMPARE(p.printers.last()->finishedJobs(), 1);

        // Ctrl+N begins a new prescription (nothing changed since the save, so nothing is asked).
        const QString saved = p.desk->recordKey();
        p.env.clock.advanceSeconds(1);
        p.key(Qt::Key_N);
        QVERIFY(p.desk->recordKey() != saved);
        QVERIFY(p.desk->fieldEdits[0]->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), p.desk->fieldEdits[0]);
        QCOMPARE(p.questions(), 0);

        // Ctrl+Shift+N continues for the same patient; Ctrl+F goes to the drug search.
        p.type(0, QStringLiteral("李四"));
        p.key(Qt::Key_S);
        p.key(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("李四"));
        QCOMPARE(QApplication::focusWidget(), p.desk->searchBox);
        p.desk->fieldEdits[4]->setFocus();
        p.key(Qt::Key_F);
        QCOMPARE(QApplication::focusWidget(), p.desk->searchBox);
        QCOMPARE(p.env.messages.shown().size(), 0);
        p.key(Qt::Key_F1, Qt::NoModifier);
        QCOMPARE(p.env.urls.opened.size(), 1);

        // In another window of the program the desk's keys do nothing.
        p.main->openDrugCatalog();
        auto* catalog = qobject_cast<DrugCatalogWindow*>(p.main->childWindow(QStringLiteral("drugs")));
        QVERIFY(catalog);
        catalog->nameBox->setFocus();
        QTRY_VERIFY(catalog->nameBox->hasFocus());
        p.desk->setBodyText(QStringLiteral("不该保存"));
        p.key(Qt::Key_S);
        p.key(Qt::Key_N);
        QCOMPARE(p.desk->bodyText(), QStringLiteral("不该保存"));
        QCOMPARE(p.env.count("档案", QStringLiteral("\"T1\" = '不该保存'")), 0);
        QCOMPARE(p.questions(), 0);
    }

    void aCategoryClickPutsTheTypingIntoTheSearchBox()
    {
        Program p;
        QVERIFY(p.ready());
        QTest::mouseClick(p.desk->categoryButtons[Herbs], Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), p.desk->searchBox);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("hq"));
        QCOMPARE(p.desk->searchBox->text(), QStringLiteral("hq"));
        QCOMPARE(p.desk->currentCategory(), int(Herbs));
        QVERIFY(!p.desk->resultList->findItems(QStringLiteral("黄芪"), Qt::MatchStartsWith).isEmpty());
        QTest::mouseClick(p.desk->categoryButtons[PrescriptionSets], Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), p.desk->searchBox);
        QVERIFY(p.desk->searchBox->text().isEmpty());
    }

    void aFreshOrJustSavedPrescriptionIsLeftWithoutAQuestion()
    {
        Program p;
        QVERIFY(p.ready());
        p.press(New);
        p.press(Continue);
        // Typed and taken back again is no change.
        p.type(5, QStringLiteral("3"));
        QTest::keyClick(p.desk->fieldEdits[5], Qt::Key_Backspace);
        p.press(New);
        p.type(0, QStringLiteral("张三"));
        p.press(Save);
        p.press(Continue);
        p.press(Save);
        p.press(New);
        // A prescription loaded from the archive is unchanged until it is edited.
        QTest::mouseClick(
            p.desk->archiveList->viewport(), Qt::LeftButton, {}, p.desk->archiveList->lineRect(0).center());
        QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("张三"));
        p.press(Continue);
        QCOMPARE(p.questions(), 0);
        QCOMPARE(p.env.messages.shown().size(), 0);

        QMdiSubWindow* frame = qobject_cast<QMdiSubWindow*>(p.desk->parentWidget());
        QVERIFY(frame);
        QVERIFY(frame->close());
        QTRY_VERIFY(!p.main->childWindow(QStringLiteral("desk")));
        QCOMPARE(p.questions(), 0);
    }

    void newAndContinueOverChangedWorkAskAndCancelKeepsIt()
    {
        Program p;
        QVERIFY(p.ready());
        p.type(0, QStringLiteral("张三"));
        const QString key = p.desk->recordKey();

        p.press(New); // unanswered: Cancel
        QCOMPARE(p.env.messages.shown().size(), 1);
        QCOMPARE(p.env.messages.last(), kQuestion);
        QCOMPARE(p.env.messages.shown().last().kind, QStringLiteral("yesnocancel"));
        QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("张三"));
        QCOMPARE(p.desk->recordKey(), key);

        // No: the change goes, nothing is stored.
        p.env.messages.setNextChoices({ Answer::No });
        p.key(Qt::Key_N);
        QCOMPARE(p.questions(), 2);
        QVERIFY(p.desk->fieldEdits[0]->text().isEmpty());
        QVERIFY(p.desk->recordKey() != key);
        QCOMPARE(p.env.count("档案"), 0);

        // Yes: stored first, then the new prescription.
        p.type(0, QStringLiteral("李四"));
        p.env.messages.setNextChoices({ Answer::Yes });
        p.press(New);
        QCOMPARE(p.storedOwners(), QStringList({ QStringLiteral("李四") }));
        QVERIFY(p.desk->fieldEdits[0]->text().isEmpty());
        QCOMPARE(p.desk->archiveList->count(), 1);

        // Continue asks too, for a change of the body alone.
        p.type(0, QStringLiteral("王五"));
        p.press(Save);
        const QString wang = p.desk->recordKey();
        p.desk->body->setFocus();
        typeText(p.desk->body, QStringLiteral("头孢"));
        p.press(Continue); // Cancel
        QCOMPARE(p.questions(), 4);
        QCOMPARE(p.desk->bodyText(), QStringLiteral("头孢"));
        QCOMPARE(p.desk->recordKey(), wang);
        p.env.messages.setNextChoices({ Answer::Yes });
        p.press(Continue);
        QCOMPARE(p.env.rows(QStringLiteral("select \"T1\" from \"档案\" where \"序号\" = ?"), { wang })
                     .value(0)
                     .text(QStringLiteral("T1")),
            QStringLiteral("头孢"));
        QVERIFY(p.desk->bodyText().isEmpty());
        QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("王五"));
    }

    void aYesWhoseSaveIsRefusedKeepsTheWork()
    {
        Program p;
        QVERIFY(p.ready());
        p.type(0, QStringLiteral("张三"));
        p.desk->fieldEdits[6]->setText(QStringLiteral("2026-13-45"));
        p.env.messages.setNextChoices({ Answer::Yes, Answer::Yes });
        p.press(New);
        QCOMPARE(p.env.messages.shown().size(), 2);
        QVERIFY(p.env.messages.last().contains(QStringLiteral("没有保存")));
        QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("张三"));
        QCOMPARE(p.env.count("档案"), 0);

        // Nor does the program end over it.
        p.main->close();
        QCOMPARE(p.exited->count(), 0);
        QVERIFY(p.main->isVisible());
        QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("张三"));
        QVERIFY(!QFile::exists(p.backupPath()));
    }

    void closingTheDeskAsksAndCancelKeepsItOpen()
    {
        Program p;
        QVERIFY(p.ready());
        p.type(0, QStringLiteral("张三"));
        auto* frame = qobject_cast<QMdiSubWindow*>(p.desk->parentWidget());
        QVERIFY(frame);
        QVERIFY(!frame->close()); // Cancel
        QCOMPARE(p.questions(), 1);
        QCOMPARE(p.main->childWindow(QStringLiteral("desk")), p.desk);
        QVERIFY(p.desk->isVisible());
        QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("张三"));

        p.env.messages.setNextChoices({ Answer::Yes });
        QVERIFY(frame->close());
        QTRY_VERIFY(!p.main->childWindow(QStringLiteral("desk")));
        QCOMPARE(p.storedOwners(), QStringList({ QStringLiteral("张三") }));
        QCOMPARE(p.exited->count(), 0); // closing the desk is not the end of the program
    }

    void closingTheProgramAsksAndEveryRealExitBacksUp()
    {
        {
            // Cancel: the program goes on with everything open, and no backup is made.
            Program p;
            QVERIFY(p.ready());
            p.type(0, QStringLiteral("张三"));
            QVERIFY(!p.main->close());
            QCOMPARE(p.questions(), 1);
            QCOMPARE(p.exited->count(), 0);
            QVERIFY(p.main->isVisible() && p.desk->isVisible());
            QCOMPARE(p.desk->fieldEdits[0]->text(), QStringLiteral("张三"));
            QVERIFY(!QFile::exists(p.backupPath()));

            // Yes: stored, and the backup taken after it holds the prescription.
            p.env.messages.setNextChoices({ Answer::Yes });
            QVERIFY(p.main->close());
            QCOMPARE(p.exited->count(), 1);
            QCOMPARE(p.storedOwners(), QStringList({ QStringLiteral("张三") }));
            // On the practice's server too: the copy is a snapshot of its archive, the same encrypted file.
            Database copy;
            QString error;
            QVERIFY2(copy.open(p.backupPath(), &error), qPrintable(error));
            QCOMPARE(copy.run(QStringLiteral("select \"0\" from \"档案\""))
                         .rows.value(0)
                         .text(QStringLiteral("0")),
                QStringLiteral("张三"));
            copy.close();
        }
        {
            // No: nothing stored, and the backup is made all the same.
            Program p;
            QVERIFY(p.ready());
            p.type(0, QStringLiteral("李四"));
            p.env.messages.setNextChoices({ Answer::No });
            QVERIFY(p.main->close());
            QCOMPARE(p.questions(), 1);
            QCOMPARE(p.exited->count(), 1);
            QCOMPARE(p.env.count("档案"), 0);
            QVERIFY(QFile::exists(p.backupPath()));
        }
        {
            // Nothing changed: no question, the backup is made.
            Program p;
            QVERIFY(p.ready());
            QVERIFY(p.main->close());
            QCOMPARE(p.env.messages.shown().size(), 0);
            QCOMPARE(p.exited->count(), 1);
            QVERIFY(QFile::exists(p.backupPath()));
        }
    }
};

QTEST_MAIN(DeskWorkTest)
#include "tst_deskwork.moc"
