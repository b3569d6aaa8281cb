// Every window at the design's sizes, with the fonts the program runs with: each caption, label, button,
// option, text box and list row shows its text whole, measured with the widget's own font.

#include "app/aboutwindow.h"
#include "app/loginwindow.h"
#include "app/mainwindow.h"
#include "app/windows.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "reports/outpatientlogwindow.h"
#include "tests/support/testenv.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QTest>

using namespace qv;
using namespace qv::test;

namespace {

QString where(const QWidget* w, const QString& text)
{
    const QString name
        = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
    return QStringLiteral("%1 \"%2\"").arg(name, text);
}

// The room a widget's style leaves for its text.
QRect textRoom(const QWidget* w)
{
    if (auto* button = qobject_cast<const QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    if (auto* radio = qobject_cast<const QRadioButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        return radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth
            = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
        QRect r = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
        r = r.marginsRemoved(edit->textMargins());
        // The line edit keeps 2 pixels on each side and one for the caret.
        return r.adjusted(2, 0, -3, 0);
    }
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        const int m = label->margin() + qMax(0, label->indent());
        return label->contentsRect().marginsRemoved(QMargins(m, label->margin(), m, label->margin()));
    }
    return w->rect();
}

QString textOf(const QWidget* w)
{
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text()) ? QString()
                                                                                         : label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text().remove('&');
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->echoMode() == QLineEdit::Normal ? edit->text() : QString();
    return {};
}

// What of the window does not show whole, one sentence each.
QStringList clippedTexts(QWidget* window)
{
    QStringList clipped;
    QMultiMap<QWidget*, QRect> inkOfSiblings;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue; // hidden by design; the pop-ups are looked at when they show
        const QString text = textOf(w);
        const auto* label = qobject_cast<const QLabel*>(w);
        if (!text.isEmpty() && label && label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height())
                clipped << QStringLiteral("%1 needs %2 px high, has %3")
                               .arg(where(w, text))
                               .arg(label->heightForWidth(label->width()))
                               .arg(label->height());
        } else if (!text.isEmpty()) {
            const QFontMetrics fm(w->font());
            const QRect room = textRoom(w);
            const QStringList lines = text.split('\n');
            int widest = 0;
            for (const QString& line : lines)
                widest = qMax(widest, fm.horizontalAdvance(line));
            // A label shows its lines' full height; a box or button at least every line above the descent.
            const int high = lines.size() * fm.lineSpacing() - fm.leading() - (label ? 0 : fm.descent());
            if (widest > room.width() || high > room.height())
                clipped << QStringLiteral("%1 needs %2×%3 px, has %4×%5")
                               .arg(where(w, text))
                               .arg(widest)
                               .arg(high)
                               .arg(room.width())
                               .arg(room.height());
            // A caption's ink in its parent: inside the parent, clear of its sibling captions.
            if (label && lines.size() == 1 && (label->alignment() & Qt::AlignLeft)) {
                const int blanks = fm.horizontalAdvance(
                    text.left(text.size() - QString(text).remove(QRegularExpression("^ +")).size()));
                const QRect ink(w->mapToParent(room.topLeft()) + QPoint(blanks, 0),
                    QSize(fm.horizontalAdvance(text.trimmed()), qMin(high, room.height())));
                QWidget* parent = w->parentWidget();
                if (!parent->rect().contains(ink))
                    clipped << QStringLiteral("%1 runs out of %2").arg(where(w, text), parent->objectName());
                for (const QRect& other : inkOfSiblings.values(parent))
                    if (other.intersects(ink))
                        clipped << QStringLiteral("%1 runs into a neighbour").arg(where(w, text));
                inkOfSiblings.insert(parent, ink);
            }
        }
        if (auto* list = qobject_cast<QListView*>(w)) {
            // A row wider than the list is reached with the horizontal scroll bar; without one it is cut.
            const bool scrolls = list->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
            const int rows = list->model()->rowCount();
            const int rowHeight = rows > 0 ? list->sizeHintForRow(0) : 0;
            if (rowHeight > list->viewport()->height())
                clipped << QStringLiteral("%1 rows are %2 px high, has %3")
                               .arg(where(list, QString()))
                               .arg(rowHeight)
                               .arg(list->viewport()->height());
            for (int i = 0; i < rows && !scrolls; ++i) {
                const QString row = list->model()->index(i, 0).data().toString();
                const int need = QFontMetrics(list->font()).horizontalAdvance(row);
                if (need > list->viewport()->width())
                    clipped << QStringLiteral("%1 needs %2 px, has %3")
                                   .arg(where(list, row))
                                   .arg(need)
                                   .arg(list->viewport()->width());
            }
        }
    }
    return clipped;
}

} // namespace

class LabelFitTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareFonts(); }

    void everyWindowShowsItsTextsWhole()
    {
        TestEnv env;
        ProgramWindows program(env.services);
        const WindowFactories f = program.factories();
        QStringList clipped;
        const auto check = [&clipped](QWidget* window) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            for (const QString& c : clippedTexts(window))
                clipped << QStringLiteral("%1: %2").arg(window->objectName(), c);
        };
        for (const auto& factory :
            { f.settings, f.drugCatalog, f.templates, f.species, f.diagnoses, f.desk, f.statistics, f.log }) {
            QWidget* window = factory();
            check(window);
            if (window != f.settings())
                delete window;
        }
        MainWindow main(env.services, {});
        check(&main);
        LoginWindow login(QStringLiteral("x"), env.messages);
        check(&login);
        AboutWindow about(env.urls);
        check(&about);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
    }

    void popUpsAndTheLongestValuesShowWhole()
    {
        TestEnv env;
        ProgramWindows program(env.services);
        const WindowFactories f = program.factories();

        // The desk's species list shows all five species of the template, and the archive pop-up its two
        // entries.
        std::unique_ptr<PrescriptionDesk> desk(static_cast<PrescriptionDesk*>(f.desk()));
        desk->show();
        QVERIFY(QTest::qWaitForWindowActive(desk.get()));
        desk->fieldEdits[2]->setFocus();
        QTRY_VERIFY(desk->speciesList->isVisible());
        QCOMPARE(desk->speciesList->count(), 5);
        for (int i = 0; i < desk->speciesList->count(); ++i)
            QVERIFY2(desk->speciesList->viewport()->rect().contains(
                         desk->speciesList->visualItemRect(desk->speciesList->item(i))),
                qPrintable(desk->speciesList->item(i)->text()));
        desk->deletePanel->show();
        QCOMPARE(clippedTexts(desk.get()), QStringList());

        // The log shows a five-digit record count, the most its query lets through.
        std::unique_ptr<OutpatientLogWindow> log(static_cast<OutpatientLogWindow*>(f.log()));
        log->show();
        QVERIFY(QTest::qWaitForWindowExposed(log.get()));
        log->recordCount->setText(QStringLiteral("记录数：30000"));
        QCOMPARE(clippedTexts(log.get()), QStringList());
    }
};

QTEST_MAIN(LabelFitTest)
#include "tst_labelfit.moc"
