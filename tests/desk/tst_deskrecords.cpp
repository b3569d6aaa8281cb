// The desk's toolbar and archive browser driven through the real widgets: saving, new and continue, copy and
// paste, save as set, printing, and finding, reopening and deleting stored prescriptions.
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "platform/units.h"
#include "print/recordingprint.h"
#include "tests/desk/fakesettings.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace qv;
using test::pressKey;
using test::typeText;

namespace {

enum Button {
    New = 0,
    Continue = 1,
    Save = 2,
    Print = 3,
    Log = 4,
    SaveAsSet = 5,
    Video = 6,
    Statistics = 7,
    Help = 8,
    Copy = 9,
    Paste = 10
};

struct Desk {
    Desk()
    {
        env.services.settings = &settings;
        env.services.printers = &printers;
        printers.defaultPrinter = QStringLiteral("HP LaserJet P1007");
        printers.printers = { printers.defaultPrinter };
        // The template's sample prescription would only get in the way of counting.
        env.db.run(QStringLiteral("delete from \"档案\""));
    }

    bool open()
    {
        form = std::make_unique<PrescriptionDesk>(env.services);
        form->show();
        return QTest::qWaitForWindowActive(form.get());
    }

    // A click on a toolbar button, by its index, with any mouse button.
    void press(int button, Qt::MouseButton mouse = Qt::LeftButton)
    {
        QTest::mouseClick(form->toolbarClickAreas[button], mouse);
    }

    void type(int field, const QString& text)
    {
        form->fieldEdits[field]->setFocus();
        form->fieldEdits[field]->selectAll();
        typeText(form->fieldEdits[field], text);
    }

    QString stored(const QString& key, const QString& column)
    {
        const QList<Row> rows
            = env.rows(QStringLiteral("select * from \"档案\" where \"序号\" = ?"), { key });
        return rows.size() == 1 ? rows.first().text(column) : QStringLiteral("<%1 rows>").arg(rows.size());
    }

    QStringList lines() const
    {
        QStringList out;
        for (int i = 0; i < form->archiveList->count(); ++i)
            out << form->archiveList->text(i);
        return out;
    }

    void clickLine(int row, Qt::MouseButton mouse = Qt::LeftButton)
    {
        const QPoint at = form->archiveList->lineRect(row).center();
        QTest::mouseClick(form->archiveList->viewport(), mouse, {}, at);
    }

    // Stores a prescription through the window: New, owner and date, Save.
    QString saveNew(const QString& owner, const QString& date = QStringLiteral("2026-12-08"))
    {
        press(New);
        type(0, owner);
        form->fieldEdits[6]->setText(date);
        press(Save);
        return form->recordKey();
    }

    test::TestEnv env;
    test::FakeSettings settings;
    RecordingPrinterAccess printers;
    std::unique_ptr<PrescriptionDesk> form;
};

} // namespace

class DeskRecordsTest final : public QObject {
    Q_OBJECT

private slots:
    void savingTwiceKeepsOneRowWithTheLaterValues()
    {
        Desk d;
        QVERIFY(d.open());
        const QString key = d.form->recordKey();
        d.type(0, QStringLiteral("张三"));
        d.form->setBodyText(QStringLiteral("阿莫西林 1盒\r\n    用法：口服"));
        d.press(Save);
        d.type(0, QStringLiteral("李四"));
        d.type(1, QStringLiteral("A-7"));
        d.press(Save);
        QCOMPARE(d.env.count("档案"), 1);
        QCOMPARE(d.stored(key, "0"), QStringLiteral("李四"));
        QCOMPARE(d.stored(key, "1"), QStringLiteral("A-7"));
        QCOMPARE(d.stored(key, "T1"), QStringLiteral("阿莫西林 1盒\r\n    用法：口服"));
        // The save refreshed the archive list, and the window kept what it shows.
        QCOMPARE(d.lines(), QStringList({ QStringLiteral("李四[,,,2026-12-08]") }));
        QCOMPARE(d.form->recordKey(), key);
        QVERIFY(d.env.messages.shown().isEmpty());
    }

    void newThenSaveStoresTheEmptyPrescription()
    {
        Desk d;
        QVERIFY(d.open());
        d.type(0, QStringLiteral("张三"));
        d.form->setBodyText(QStringLiteral("头孢"));
        d.env.clock.set(QDateTime(QDate(2026, 12, 9), QTime(10, 0, 1)));
        d.env.messages.setNextChoices({ Messages::Answer::No }); // the typed one is dropped
        d.press(New);
        const QString key = d.form->recordKey();
        QCOMPARE(key, QStringLiteral("20261209100001") + d.env.context.installationTag);
        QCOMPARE(QApplication::focusWidget(), d.form->fieldEdits[0]);
        d.press(Save);
        const QList<Row> rows = d.env.rows(QStringLiteral("select * from \"档案\""));
        QCOMPARE(rows.size(), 1);
        const Row& row = rows.first();
        QCOMPARE(row.text("序号"), key);
        QCOMPARE(row.text("1"), QStringLiteral("20261209100001"));
        QCOMPARE(row.text("6"), QStringLiteral("2026-12-09"));
        QCOMPARE(row.text("7"), d.settings.vet);
        QCOMPARE(row.text("8"), d.settings.number);
        QCOMPARE(row.text("9"), d.settings.dispenserName);
        for (const char* column : { "0", "2", "3", "4", "5", "10", "11", "12", "T1" }) {
            QVERIFY2(!row.isNull(column), column);
            QCOMPARE(row.text(column), QString());
        }
    }

    void continueMakesASecondRowForTheSamePatient()
    {
        Desk d;
        QVERIFY(d.open());
        d.type(0, QStringLiteral("张三"));
        d.type(2, QStringLiteral("犬"));
        d.type(10, QStringLiteral("肺炎"));
        d.form->setBodyText(QStringLiteral("头孢"));
        d.press(Save);
        const QString first = d.form->recordKey();
        // Within the same second.
        d.press(Continue);
        QCOMPARE(QApplication::focusWidget(), d.form->searchBox);
        QVERIFY(d.form->bodyText().isEmpty());
        d.press(Save);
        const QString second = d.form->recordKey();
        QVERIFY(second != first);
        QCOMPARE(d.env.count("档案"), 2);
        QCOMPARE(d.stored(second, "0"), QStringLiteral("张三"));
        QCOMPARE(d.stored(second, "10"), QStringLiteral("肺炎"));
        QCOMPARE(d.stored(second, "T1"), QString());
        QCOMPARE(d.stored(first, "T1"), QStringLiteral("头孢"));
    }

    void twoNewPrescriptionsInOneSecondAreTwoRows()
    {
        Desk d;
        QVERIFY(d.open());
        const QString a = d.saveNew(QStringLiteral("张三"));
        const QString b = d.saveNew(QStringLiteral("李四"));
        QVERIFY(a != b);
        QCOMPARE(d.env.count("档案"), 2);
        QCOMPARE(d.stored(a, "0"), QStringLiteral("张三"));
        QCOMPARE(d.stored(b, "0"), QStringLiteral("李四"));
    }

    void aSaveTheStoreRefusesIsShownAndChangesNothing()
    {
        Desk d;
        QVERIFY(d.open());
        const QString key = d.saveNew(QStringLiteral("张三"));
        d.type(0, QStringLiteral("李四"));
        d.type(6, QStringLiteral("2026-13-45"));
        d.press(Save);
        QCOMPARE(d.env.messages.shown().size(), 1);
        QVERIFY(d.env.messages.last().contains(QStringLiteral("没有保存")));
        QVERIFY(d.env.messages.last().contains(QStringLiteral("2026-13-45")));
        QCOMPARE(d.env.messages.shown().last().icon, Messages::Icon::Warning);
        QCOMPARE(d.stored(key, "0"), QStringLiteral("张三"));
        QCOMPARE(d.form->fieldEdits[0]->text(), QStringLiteral("李四"));
        QCOMPARE(d.form->fieldEdits[6]->text(), QStringLiteral("2026-13-45"));
        QCOMPARE(d.form->recordKey(), key);

        // A closed store is no better.
        d.type(6, QStringLiteral("2026-12-08"));
        d.env.db.close();
        d.press(Save);
        QCOMPARE(d.env.messages.shown().size(), 2);
        QVERIFY(d.env.messages.last().contains(QStringLiteral("没有保存")));
    }

    void copyAndPasteExchangeTheWholeBody()
    {
        Desk d;
        QVERIFY(d.open());
        d.form->setBodyText(QStringLiteral("阿莫西林\r\n    用法：口服"));
        d.press(Copy);
        QCOMPARE(d.env.clipboard.text(), QStringLiteral("阿莫西林\r\n    用法：口服"));
        d.form->setBodyText(QStringLiteral("头孢"));
        d.press(Paste);
        QCOMPARE(d.form->bodyText(), QStringLiteral("阿莫西林\r\n    用法：口服"));
        d.env.clipboard.clear();
        d.press(Paste);
        QVERIFY(d.form->bodyText().isEmpty());
    }

    void saveAsSetChoosesTheCategoryFromTheDrugButtons()
    {
        Desk d;
        QVERIFY(d.open());
        d.form->setBodyText(QStringLiteral("黄芪 10g"));
        d.form->switchCategory(Other);
        d.press(SaveAsSet);
        QCOMPARE(d.env.windows.opened, QStringList({ "templates" }));
        QCOMPARE(d.env.windows.templateCategory, QStringLiteral("个人组套"));
        QCOMPARE(d.env.windows.templateBody, QStringLiteral("黄芪 10g"));
        QVERIFY(d.env.windows.templatePreset);
        for (int herbal : { int(Herbs), int(Formulas) }) {
            d.form->switchCategory(herbal);
            d.press(SaveAsSet);
            QCOMPARE(d.env.windows.templateCategory, QStringLiteral("中药方剂"));
        }
    }

    void everyToolbarButtonActsOnReleaseWithAnyMouseButton()
    {
        Desk d;
        QVERIFY(d.open());
        QSignalSpy help(d.form.get(), &PrescriptionDesk::helpPageRequested);
        QSignalSpy video(d.form.get(), &PrescriptionDesk::videoPageRequested);
        d.press(Log, Qt::RightButton);
        d.press(Statistics, Qt::MiddleButton);
        d.press(Help);
        d.press(Video);
        QCOMPARE(d.env.windows.opened, QStringList({ "log", "statistics" }));
        QCOMPARE(help.count(), 1);
        QCOMPARE(video.count(), 1);

        // Pressed on Save, dragged off and released over New: Save runs.
        d.type(0, QStringLiteral("张三"));
        QTest::mousePress(d.form->toolbarClickAreas[Save], Qt::LeftButton);
        const QPoint overNew = d.form->toolbarClickAreas[New]->mapTo(d.form.get(), QPoint(5, 5));
        QTest::mouseRelease(d.form->toolbarClickAreas[Save], Qt::LeftButton, {},
            d.form->toolbarClickAreas[Save]->mapFrom(d.form.get(), overNew));
        QCOMPARE(d.env.count("档案"), 1);
        QCOMPARE(d.form->fieldEdits[0]->text(), QStringLiteral("张三"));
    }

    void printPutsTheScreensPaperOnTheDefaultPrinter()
    {
        Desk d;
        QVERIFY(d.open());
        d.press(New);
        d.type(0, QStringLiteral("OWNERX"));
        d.form->setBodyText(QStringLiteral("LINEA\r\n\r\nLINEB"));
        d.press(Print);
        QVERIFY(d.env.messages.shown().isEmpty());
        const PrintRecording* job = d.printers.last();
        QVERIFY(job);
        QCOMPARE(job->finishedJobs(), 1);
        // Settings margins "20" and "15": 567 right and 283.5 down of the screen's place.
        const QLabel* caption = d.form->fieldCaptions[0];
        for (const PrintedItem& item : job->texts()) {
            if (item.text == QStringLiteral("OWNERX")) {
                QCOMPARE(item.at.x(), 240 + pixelsToTwips(caption->width()) + 100 + 567);
                QCOMPARE(item.at.y(), 960 + 15 + 283.5);
            }
        }
        QStringList texts;
        for (const PrintedItem& item : job->texts())
            texts << item.text;
        QVERIFY(texts.contains(QStringLiteral("OWNERX")));
        QVERIFY(texts.contains(QStringLiteral("LINEB")));
        QVERIFY(texts.contains(d.settings.name));
        QVERIFY(texts.contains(d.form->fieldEdits[1]->text()));
        QVERIFY(!texts.contains(d.form->recordKey()));
        // Nothing is stored by printing, and no file is left in the data folder.
        QCOMPARE(d.env.count("档案"), 0);
        QVERIFY(QDir(d.env.dataFolder()).entryList({ QStringLiteral("*.txt") }).isEmpty());
    }

    void theArchiveQueryListsNewestFirstAndAnswersBadDates()
    {
        Desk d;
        QVERIFY(d.open());
        d.saveNew(QStringLiteral("张三"), QStringLiteral("2026-12-01"));
        d.env.clock.advanceSeconds(1);
        d.saveNew(QStringLiteral("李四"), QStringLiteral("2026-12-08"));
        d.env.clock.advanceSeconds(1);
        d.saveNew(QStringLiteral("王五"), QStringLiteral("2025-01-01")); // stored, but outside the range
        QCOMPARE(d.lines(),
            QStringList({ QStringLiteral("李四[,,,2026-12-08]"), QStringLiteral("张三[,,,2026-12-01]") }));

        // Start after end: nothing, and no message.
        d.form->fromDate->setText(QStringLiteral("2026-12-08"));
        d.form->toDate->setText(QStringLiteral("2026-12-01"));
        QTest::mouseClick(d.form->archiveQueryButton, Qt::LeftButton);
        QCOMPARE(d.form->archiveList->count(), 0);
        QVERIFY(d.env.messages.shown().isEmpty());

        d.form->fromDate->setText(QStringLiteral("2026-12-32"));
        QTest::mouseClick(d.form->archiveQueryButton, Qt::LeftButton);
        QCOMPARE(d.form->archiveList->count(), 0);
        QCOMPARE(d.env.messages.texts(),
            QStringList({ QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。") }));
        QCOMPARE(d.env.messages.shown().last().icon, Messages::Icon::Warning);

        // An apostrophe in the owner filter is searched for, not a failure.
        d.form->fromDate->setText(QStringLiteral("2026-11-01"));
        d.form->ownerFilter->setText(QStringLiteral("O'"));
        QTest::mouseClick(d.form->archiveQueryButton, Qt::LeftButton);
        QCOMPARE(d.env.messages.shown().size(), 1);
    }

    void typingAnOwnerWidensTheRangeWithoutQuerying()
    {
        Desk d;
        QVERIFY(d.open());
        d.saveNew(QStringLiteral("张三"), QStringLiteral("2019-05-05"));
        QCOMPARE(d.form->archiveList->count(), 0);
        d.form->ownerFilter->setFocus();
        typeText(d.form->ownerFilter, QStringLiteral("张"));
        QCOMPARE(d.form->fromDate->text(), QStringLiteral("2016-12-08"));
        QCOMPARE(d.form->toDate->text(), QStringLiteral("2026-12-08"));
        QCOMPARE(d.form->archiveList->count(), 0);
        QTest::mouseClick(d.form->archiveQueryButton, Qt::LeftButton);
        QCOMPARE(d.lines(), QStringList({ QStringLiteral("张三[,,,2019-05-05]") }));

        // Enter goes on to "今   日", and Enter there shows today with the filter cleared.
        pressKey(d.form->ownerFilter, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), d.form->todayButton);
        pressKey(d.form->todayButton, Qt::Key_Return);
        QCOMPARE(d.form->ownerFilter->text(), QString());
        QCOMPARE(d.form->fromDate->text(), QStringLiteral("2026-12-08"));
        QCOMPARE(d.form->toDate->text(), QStringLiteral("2026-12-08"));
        QCOMPARE(d.form->archiveList->count(), 0);
    }

    void theDayButtonsStepFromTheEndDate()
    {
        Desk d;
        QVERIFY(d.open());
        d.saveNew(QStringLiteral("张三"), QStringLiteral("2026-12-07"));
        d.form->ownerFilter->setText(QStringLiteral("李"));
        QTest::mouseClick(d.form->previousDayButton, Qt::LeftButton);
        QCOMPARE(d.form->fromDate->text(), QStringLiteral("2026-12-07"));
        QCOMPARE(d.form->toDate->text(), QStringLiteral("2026-12-07"));
        QCOMPARE(d.form->ownerFilter->text(), QString());
        QCOMPARE(d.lines(), QStringList({ QStringLiteral("张三[,,,2026-12-07]") }));
        QTest::mouseClick(d.form->nextDayButton, Qt::LeftButton);
        QCOMPARE(d.form->toDate->text(), QStringLiteral("2026-12-08"));
        QCOMPARE(d.form->archiveList->count(), 0);
    }

    void aClickLoadsTheLinesOwnRecordAfterTheFiltersChanged()
    {
        Desk d;
        QVERIFY(d.open());
        d.press(New);
        d.type(0, QStringLiteral("张三"));
        d.type(2, QStringLiteral("犬"));
        d.type(12, QStringLiteral("肠炎"));
        d.form->setBodyText(QStringLiteral("阿莫西林\r\n    用法：口服"));
        d.press(Save);
        const QString zhang = d.form->recordKey();
        d.env.clock.advanceSeconds(1);
        const QString li = d.saveNew(QStringLiteral("李四"));
        QCOMPARE(d.lines().size(), 2);
        QCOMPARE(d.form->archiveList->text(1), QStringLiteral("张三[犬,,,2026-12-08]"));

        // The filter now finds only 李四, but the list still shows 张三 second: the click loads 张三.
        d.form->ownerFilter->setText(QStringLiteral("李四"));
        d.press(New);
        d.type(5, QStringLiteral("不该留下"));
        d.clickLine(1);
        QCOMPARE(d.form->recordKey(), zhang);
        QCOMPARE(d.form->fieldEdits[0]->text(), QStringLiteral("张三"));
        QCOMPARE(d.form->fieldEdits[12]->text(), QStringLiteral("肠炎"));
        QCOMPARE(d.form->fieldEdits[5]->text(), QString());
        QCOMPARE(d.form->bodyText(), QStringLiteral("阿莫西林\r\n    用法：口服"));
        QVERIFY(d.form->pickerSuppressed());
        QVERIFY(!d.form->diagnosisList->isVisible() && !d.form->speciesList->isVisible());

        // A save now changes that row.
        d.type(4, QStringLiteral("12kg"));
        d.press(Save);
        QCOMPARE(d.stored(zhang, "4"), QStringLiteral("12kg"));
        QCOMPARE(d.stored(li, "4"), QString());
    }

    void theDeletePanelOpensBesideTheMouseAndHighlightsItsEntries()
    {
        Desk d;
        QVERIFY(d.open());
        QTest::mouseClick(
            d.form->archiveList->viewport(), Qt::RightButton, {}, QPoint(20, 10)); // an empty list
        QVERIFY(d.form->deletePanel->isHidden());

        d.saveNew(QStringLiteral("张三"));
        // Below the last line there is nothing to act on.
        const QPoint belowLines(20, d.form->archiveList->viewport()->height() - 2);
        QCOMPARE(d.form->archiveList->lineAt(belowLines), -1);
        QTest::mouseClick(d.form->archiveList->viewport(), Qt::RightButton, {}, belowLines);
        QVERIFY(d.form->deletePanel->isHidden());

        const QPoint inList = d.form->archiveList->lineRect(0).center();
        QTest::mouseClick(d.form->archiveList->viewport(), Qt::RightButton, {}, inList);
        QVERIFY(d.form->deletePanel->isVisible());
        const QPoint mouse = d.form->archiveList->viewport()->mapTo(d.form->archiveList, inList);
        QCOMPARE(d.form->deletePanel->x(), twips(pixelsToTwips(d.form->archiveList->x() + mouse.x()) + 60));
        QCOMPARE(d.form->deletePanel->y(), twips(pixelsToTwips(d.form->archiveList->y() + mouse.y()) + 60));

        // Near the bottom of a full list the panel stays at 6960.
        for (int i = 0; i < 20; ++i) {
            d.env.clock.advanceSeconds(1);
            d.saveNew(QStringLiteral("王%1").arg(i));
        }
        const QPoint low(inList.x(), d.form->archiveList->viewport()->height() - 2);
        QVERIFY(d.form->archiveList->lineAt(low) >= 0);
        QTest::mouseClick(d.form->archiveList->viewport(), Qt::RightButton, {}, low);
        QCOMPARE(d.form->deletePanel->y(), twips(6960));

        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(d.form->deletePanelEntries[1], &enter);
        QCOMPARE(d.form->deletePanelEntries[1]->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(d.form->deletePanelEntries[1]->palette().color(QPalette::Window),
            d.form->palette().color(QPalette::Highlight));
        QCOMPARE(d.form->deletePanelEntries[0]->palette().color(QPalette::WindowText), QColor(Qt::black));
        QApplication::sendEvent(d.form->deletePanelEntries[0], &enter);
        QCOMPARE(d.form->deletePanelEntries[1]->palette().color(QPalette::Window), QColor(Qt::white));

        QTest::mouseClick(d.form->deletePanelEntries[1], Qt::LeftButton);
        QVERIFY(d.form->deletePanel->isHidden());
        QTest::mouseClick(d.form->archiveList->viewport(), Qt::RightButton, {}, inList);
        QTest::mousePress(d.form->archiveList->viewport(), Qt::LeftButton, {}, inList);
        QVERIFY(d.form->deletePanel->isHidden());
    }

    void deletingRemovesTheShownRecordAndItsLineAndResetsTheWindow()
    {
        Desk d;
        QVERIFY(d.open());
        const QString zhang = d.saveNew(QStringLiteral("张三"));
        d.env.clock.advanceSeconds(1);
        const QString li = d.saveNew(QStringLiteral("李四"));
        d.clickLine(1);
        QCOMPARE(d.form->recordKey(), zhang);

        // A right click on another line loads that line first, so the desk shows what the panel deletes.
        QCOMPARE(d.form->archiveList->currentRow(), 1);
        d.clickLine(0, Qt::RightButton);
        QVERIFY(d.form->deletePanel->isVisible());
        QCOMPARE(d.form->recordKey(), li);
        QCOMPARE(d.form->fieldEdits[0]->text(), QStringLiteral("李四"));
        QCOMPARE(d.form->archiveList->currentRow(), 0);
        QTest::mouseClick(d.form->deletePanelEntries[0], Qt::LeftButton);
        QCOMPARE(d.env.messages.last(), QStringLiteral("确实要永久删除该档案吗？"));
        QCOMPARE(d.env.messages.shown().last().kind, QStringLiteral("okcancel"));
        QCOMPARE(d.env.messages.shown().last().icon, Messages::Icon::Warning);
        QVERIFY(d.form->deletePanel->isHidden());
        QCOMPARE(d.env.count("档案"), 2);
        QCOMPARE(d.form->recordKey(), li);

        // The right-clicked line is the one deleted, whatever was shown before. The list changed without a
        // query meanwhile: the line of the deleted record goes, not the line at its position.
        d.clickLine(0);
        d.clickLine(1, Qt::RightButton);
        QCOMPARE(d.form->recordKey(), zhang);
        d.form->archiveList->insertLine(0, QStringLiteral("别的行"));
        d.env.messages.setNextAnswers({ true });
        d.env.clock.advanceSeconds(5);
        QTest::mouseClick(d.form->deletePanelEntries[0], Qt::LeftButton);
        QCOMPARE(d.env.count("档案"), 1);
        QCOMPARE(d.stored(li, "0"), QStringLiteral("李四"));
        QCOMPARE(d.lines(), QStringList({ QStringLiteral("别的行"), QStringLiteral("李四[,,,2026-12-08]") }));

        // A fresh prescription whose veterinarian fields are empty, keyed by the time alone.
        QCOMPARE(d.form->recordKey(), QStringLiteral("20261208093006"));
        QCOMPARE(d.form->fieldEdits[1]->text(), QStringLiteral("20261208093006"));
        QCOMPARE(d.form->fieldEdits[6]->text(), QStringLiteral("2026-12-08"));
        for (int i : { 0, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12 })
            QCOMPARE(d.form->fieldEdits[i]->text(), QString());
        QVERIFY(d.form->bodyText().isEmpty());
        QCOMPARE(QApplication::focusWidget(), d.form->fieldEdits[0]);
    }

    void aRightClickOverChangedWorkAsksBeforeLoadingTheLine()
    {
        Desk d;
        QVERIFY(d.open());
        const QString zhang = d.saveNew(QStringLiteral("张三"));
        d.env.clock.advanceSeconds(1);
        d.press(New);
        d.type(0, QStringLiteral("李四"));
        const QString fresh = d.form->recordKey();

        // Cancel: the typed prescription stays, no panel, nothing to delete.
        d.clickLine(0, Qt::RightButton);
        QCOMPARE(d.env.messages.shown().size(), 1);
        QCOMPARE(d.env.messages.shown().last().kind, QStringLiteral("yesnocancel"));
        QVERIFY(d.form->deletePanel->isHidden());
        QCOMPARE(d.form->recordKey(), fresh);
        QCOMPARE(d.form->fieldEdits[0]->text(), QStringLiteral("李四"));

        // Yes: saved first (the list now holds both), then the clicked line is loaded and marked.
        d.env.messages.setNextChoices({ Messages::Answer::Yes });
        const QPoint zhangLine = d.form->archiveList->lineRect(0).center();
        QTest::mouseClick(d.form->archiveList->viewport(), Qt::RightButton, {}, zhangLine);
        QCOMPARE(d.stored(fresh, "0"), QStringLiteral("李四"));
        QCOMPARE(d.lines().size(), 2);
        QCOMPARE(d.form->recordKey(), zhang);
        QCOMPARE(d.form->archiveList->text(d.form->archiveList->currentRow()),
            QStringLiteral("张三[,,,2026-12-08]"));
        QVERIFY(d.form->deletePanel->isVisible());
        QCOMPARE(d.env.messages.shown().size(), 2);
    }
};

QTEST_MAIN(DeskRecordsTest)
#include "tst_deskrecords.moc"
