// The prescription desk driven through its real widgets: load, header-field rules, the drug picker, line
// entry and the completion pickers.

#include "catalogs/drugcatalogwindow.h"
#include "desk/bodylayout.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "platform/units.h"
#include "print/fonts.h"
#include "tests/desk/fakesettings.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

using namespace qv;
using test::pressKey;
using test::typeText;

namespace {

const QString kAmoxicillin = QStringLiteral("阿莫西林胶囊 0.25g×24粒\\0.5g 口服 每日3次");

// A desk on a fresh template database, shown and active so that focus moves as it would for a user.
struct Desk {
    Desk() { env.services.settings = &settings; }

    bool open()
    {
        form = std::make_unique<PrescriptionDesk>(env.services);
        form->show();
        return QTest::qWaitForWindowActive(form.get());
    }

    QLineEdit* field(int i) const { return form->fieldEdits[i]; }
    QWidget* focused() const { return QApplication::focusWidget(); }

    QStringList listTexts(QListWidget* list) const
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    void doubleClickRow(const QString& text)
    {
        const QList<QListWidgetItem*> items = form->resultList->findItems(text, Qt::MatchExactly);
        QVERIFY2(items.size() == 1, qPrintable(text));
        const QPoint at = form->resultList->visualItemRect(items.first()).center();
        QTest::mouseClick(form->resultList->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(form->resultList->viewport(), Qt::LeftButton, {}, at);
    }

    void addRows(const QString& category, int count, const QString& prefix)
    {
        env.db.run(QStringLiteral("begin"));
        for (int i = 0; i < count; ++i) {
            const QString name = prefix + QString::number(1000 + i);
            env.db.run(
                QStringLiteral(
                    "insert into \"商品\" (\"ID号\", \"分类\", \"名称\", \"查询\") values (?, ?, ?, ?)"),
                { QStringLiteral("8%1").arg(i), category, name, name });
        }
        env.db.run(QStringLiteral("commit"));
    }

    test::TestEnv env;
    test::FakeSettings settings;
    std::unique_ptr<PrescriptionDesk> form;
};

} // namespace

class PrescriptionDeskTest final : public QObject {
    Q_OBJECT

private slots:
    // The program's fonts, as it runs with them.
    void initTestCase() { installDesignFonts(); }

    void freshDeskShowsClockValuesSettingsNamesAndWesternDrugs()
    {
        Desk d;
        d.env.clock.set(QDateTime(QDate(2026, 3, 31), QTime(14, 5, 9)));
        QVERIFY(d.open());
        QCOMPARE(d.form->windowTitle(), QStringLiteral("销售管理"));
        QCOMPARE(d.field(1)->text(), QStringLiteral("20260331140509"));
        QCOMPARE(d.form->recordKey(), QStringLiteral("20260331140509"));
        QCOMPARE(d.field(6)->text(), QStringLiteral("2026-03-31"));
        QCOMPARE(d.field(7)->text(), d.settings.vet);
        QCOMPARE(d.field(8)->text(), d.settings.number);
        QCOMPARE(d.field(9)->text(), d.settings.dispenserName);
        for (int i : { 0, 2, 3, 4, 5, 10, 11, 12 })
            QVERIFY(d.field(i)->text().isEmpty());
        QCOMPARE(d.form->paperCaptions[0]->text(), d.settings.name);
        QVERIFY(!d.form->recordKeyLabel->isVisible());
        // The archive range runs from one month back to today.
        QCOMPARE(d.form->fromDate->text(), QStringLiteral("2026-02-28"));
        QCOMPARE(d.form->toDate->text(), QStringLiteral("2026-03-31"));

        QCOMPARE(d.form->currentCategory(), int(Western));
        QVERIFY(d.form->pickerSuppressed());
        for (int i = 0; i < kDrugCategoryCount; ++i)
            QCOMPARE(d.form->categoryButtons[i]->font().bold(), i == Western);
        QStringList western;
        for (const Row& row : d.env.rows(
                 QStringLiteral("select \"名称\" from \"商品\" where \"分类\" = '西药' order by \"名称\"")))
            western << row.text(QStringLiteral("名称"));
        QCOMPARE(d.form->resultList->count(), western.size());
        QVERIFY(d.listTexts(d.form->resultList).contains(kAmoxicillin));
        for (int i = 0; i < western.size(); ++i)
            QVERIFY(d.form->resultList->item(i)->text().startsWith(western[i]));
        QVERIFY(!d.form->diagnosisList->isVisible());
        QVERIFY(!d.form->speciesList->isVisible());
    }

    void titleIsCentredByItsOwnWidth()
    {
        Desk shortName;
        QVERIFY(shortName.open());
        Desk longName;
        longName.settings.name = QString(40, QChar(0x5b66)); // wider than the paper
        QVERIFY(longName.open());
        for (Desk* d : { &shortName, &longName }) {
            const QLabel* title = d->form->paperCaptions[0];
            QVERIFY(qAbs(2 * title->x() + title->width() - d->form->paper->width()) <= 1);
        }
        QVERIFY(shortName.form->paperCaptions[0]->x() > 0);
        QVERIFY(longName.form->paperCaptions[0]->x() < 0);
    }

    void controlsCarryTheDesignNamesAndLayout()
    {
        Desk d;
        QVERIFY(d.open());
        PrescriptionDesk& f = *d.form;
        QCOMPARE(f.findChild<QLineEdit*>(QStringLiteral("Text5(12)")), f.fieldEdits[12]);
        QCOMPARE(f.findChild<QListWidget*>(QStringLiteral("List3")), f.diagnosisList);
        QCOMPARE(f.findChild<QPlainTextEdit*>(QStringLiteral("R1")), f.body);
        QVERIFY(!f.findChild<QLabel*>(QStringLiteral("Label5(13)")));

        // The toolbar's screen order differs from its index order.
        QList<int> byPosition;
        for (int i = 0; i < PrescriptionDesk::kToolbarButtonCount; ++i)
            byPosition << i;
        std::sort(byPosition.begin(), byPosition.end(),
            [&](int a, int b) { return f.toolbarButtons[a]->x() < f.toolbarButtons[b]->x(); });
        QCOMPARE(byPosition, (QList<int> { 0, 1, 2, 3, 9, 10, 4, 7, 5, 8, 6 }));
        QCOMPARE(f.toolbarCaptions[5]->text(), QStringLiteral("存为组套"));
        QCOMPARE(f.toolbarButtons[8]->width(), twips(1455));
        QCOMPARE(f.quickInsertLabels[7]->text(), QStringLiteral("    用法：静脉滴注 每日1次"));
        QCOMPARE(f.quickInsertLabels[4]->y(), twips(90));

        // Each value starts 100 twips after its own caption, so a longer caption pushes it right.
        for (int i = 0; i < 10; ++i)
            QVERIFY2(qAbs(f.fieldEdits[i]->x() - f.fieldCaptions[i]->width() - twips(100)) <= 1,
                qPrintable(QString::number(i)));
        QVERIFY(f.fieldEdits[0]->x() > f.fieldEdits[1]->x());
        QVERIFY(!f.fieldUnderlines[10]->isVisible());
        QVERIFY(f.fieldUnderlines[0]->isVisible());
        QCOMPARE(f.fieldUnderlines[1]->line().x2(), 3075.0 + 25);
    }

    void sexFieldTurnsOneAndTwoIntoSexesAndClicksToggle()
    {
        Desk d;
        QVERIFY(d.open());
        QLineEdit* sex = d.field(3);
        sex->setFocus();
        typeText(sex, QStringLiteral("1"));
        QCOMPARE(sex->text(), QStringLiteral("公"));
        QCOMPARE(sex->cursorPosition(), 1);
        typeText(sex, QStringLiteral("2"));
        QCOMPARE(sex->text(), QStringLiteral("公2")); // only a text that is exactly "1" or "2" is replaced
        sex->clear();
        typeText(sex, QStringLiteral("2"));
        QCOMPARE(sex->text(), QStringLiteral("母"));

        QTest::mouseClick(sex, Qt::LeftButton);
        QCOMPARE(sex->text(), QStringLiteral("公"));
        QTest::mouseClick(sex, Qt::LeftButton);
        QCOMPARE(sex->text(), QStringLiteral("母"));
        sex->setText(QStringLiteral("x"));
        QTest::mouseClick(sex, Qt::LeftButton);
        QCOMPARE(sex->text(), QStringLiteral("公"));
        sex->clear();
        QTest::mouseClick(sex, Qt::LeftButton);
        QCOMPARE(sex->text(), QStringLiteral("公"));
        QCOMPARE(sex->cursorPosition(), 1);
    }

    void enterMovesAlongTheEntryPathToTheSearchBox()
    {
        Desk d;
        QVERIFY(d.open());
        d.field(0)->setFocus();
        QCOMPARE(d.focused(), d.field(0));
        for (int next : { 1, 2, 3, 4, 5, 6, 10, 11, 12 }) {
            pressKey(d.focused(), Qt::Key_Return);
            QCOMPARE(d.focused(), d.field(next));
            // The caret stands at the end, nothing selected.
            QCOMPARE(d.field(next)->cursorPosition(), d.field(next)->text().size());
            QVERIFY(!d.field(next)->hasSelectedText());
        }
        pressKey(d.focused(), Qt::Key_Enter);
        QCOMPARE(d.focused(), d.form->searchBox);
        QVERIFY(!d.form->diagnosisList->isVisible());
        QVERIFY(d.form->pickerSuppressed());
    }

    void aPrescriptionChangedAtAnotherDeskIsNeitherOverwrittenNorLost()
    {
        Desk d;
        QVERIFY(d.open());
        d.form->newPrescription();
        d.field(0)->setText(QStringLiteral("张三"));
        QVERIFY(d.form->savePrescription());
        const QString key = d.form->recordKey();
        Database other;
        QString error;
        QVERIFY(other.open(d.env.db.opener(), &error));
        std::optional<PrescriptionRecord> there = loadRecord(other, key);
        there->fields[0] = QStringLiteral("李四");
        QVERIFY(saveRecordFromDesk(other, *there).result.ok);

        // Changed here too: refused, asked; "否" keeps this desk's work as a new prescription.
        d.field(0)->setText(QStringLiteral("王五"));
        d.env.messages.setNextChoices({ Messages::Answer::No });
        QVERIFY(d.form->savePrescription());
        QVERIFY(d.env.messages.last().contains(QStringLiteral("另一台电脑修改")));
        QVERIFY(d.form->recordKey() != key);
        QCOMPARE(loadRecord(d.env.db, key)->fields[0], QStringLiteral("李四"));
        QCOMPARE(loadRecord(d.env.db, d.form->recordKey())->fields[0], QStringLiteral("王五"));

        // Deleted at the other desk: "否" saves nothing and keeps the work on screen.
        const QString mine = d.form->recordKey();
        QVERIFY(deleteRecord(other, mine).ok);
        d.field(0)->setText(QStringLiteral("赵六"));
        d.env.messages.setNextAnswers({ false });
        QVERIFY(!d.form->savePrescription());
        QVERIFY(d.env.messages.last().contains(QStringLiteral("另一台电脑删除")));
        QCOMPARE(d.field(0)->text(), QStringLiteral("赵六"));
        QCOMPARE(d.env.count(QStringLiteral("档案"), QStringLiteral("\"序号\" = ?"), { mine }), 0);
    }

    void enterMovesOnInsideTheMainWindowsWorkspaceToo()
    {
        Desk d;
        QMdiArea area;
        area.resize(1400, 900);
        auto* form = new PrescriptionDesk(d.env.services);
        area.addSubWindow(form)->show();
        area.show();
        QVERIFY(QTest::qWaitForWindowActive(&area));
        form->fieldEdits[11]->setFocus();
        pressKey(form->fieldEdits[11], Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), form->fieldEdits[12]);
        pressKey(form->fieldEdits[12], Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), form->searchBox);
    }

    void toolbarButtonLooksPressedWhileHeld()
    {
        Desk d;
        QVERIFY(d.open());
        ClickLabel* area = d.form->toolbarClickAreas[2];
        QTest::mousePress(area, Qt::RightButton);
        QCOMPARE(d.form->toolbarButtons[2]->frameShadow(), QFrame::Sunken);
        QTest::mouseRelease(area, Qt::RightButton);
        QCOMPARE(d.form->toolbarButtons[2]->frameShape(), QFrame::NoFrame);
    }

    void downInAFieldWithoutListIsConsumedAndChangesNothing()
    {
        Desk d;
        QVERIFY(d.open());
        d.field(5)->setFocus();
        typeText(d.field(5), QStringLiteral("3岁"));
        pressKey(d.field(5), Qt::Key_Down);
        QCOMPARE(d.focused(), d.field(5));
        QCOMPARE(d.field(5)->text(), QStringLiteral("3岁"));
        QVERIFY(!d.form->diagnosisList->isVisible() && !d.form->speciesList->isVisible());
    }

    void speciesListFollowsTypingAndAPickMovesToTheSexField()
    {
        Desk d;
        QVERIFY(d.open());
        QLineEdit* species = d.field(2);
        species->setFocus();
        QVERIFY(!d.form->pickerSuppressed());
        QVERIFY(d.form->speciesList->isVisible());
        QCOMPARE(d.form->speciesList->count(), 5);
        typeText(species, QStringLiteral("g"));
        QCOMPARE(d.listTexts(d.form->speciesList), QStringList { QStringLiteral("狗") });
        typeText(species, QStringLiteral("q"));
        QVERIFY(!d.form->speciesList->isVisible());
        pressKey(species, Qt::Key_Down); // hidden list: nothing happens
        QCOMPARE(d.focused(), species);
        pressKey(species, Qt::Key_Backspace);
        QVERIFY(d.form->speciesList->isVisible());

        pressKey(species, Qt::Key_Down);
        QCOMPARE(d.focused(), d.form->speciesList);
        QCOMPARE(d.form->speciesList->currentRow(), 0);
        pressKey(d.form->speciesList, Qt::Key_Return);
        QCOMPARE(species->text(), QStringLiteral("狗"));
        QCOMPARE(d.focused(), d.field(3));
        QVERIFY(!d.form->speciesList->isVisible());
        QVERIFY(!d.form->diagnosisList->isVisible());
    }

    void threeDiagnosesInARowWithDownAndEnter()
    {
        Desk d;
        QVERIFY(d.open());
        d.field(10)->setFocus();
        for (int line = 10; line <= 12; ++line) {
            QCOMPARE(d.focused(), d.field(line));
            QCOMPARE(d.form->currentDiagnosisField(), line);
            // The list opens with every diagnosis just under the focused line.
            QVERIFY(d.form->diagnosisList->isVisible());
            QCOMPARE(d.form->diagnosisList->count(), 3);
            QCOMPARE(d.form->diagnosisList->y(),
                d.form->fieldBoxes[line]->y() + d.form->fieldBoxes[line]->height());
            pressKey(d.field(line), Qt::Key_Down);
            QCOMPARE(d.focused(), d.form->diagnosisList);
            pressKey(d.form->diagnosisList, Qt::Key_Down);
            pressKey(d.form->diagnosisList, Qt::Key_Return);
            QCOMPARE(d.field(line)->text(), QStringLiteral("肠炎"));
        }
        QCOMPARE(d.focused(), d.form->searchBox);
        QVERIFY(!d.form->diagnosisList->isVisible());
    }

    void diagnosisPickedWithTheMouseReopensTheListUnderTheNextLine()
    {
        Desk d;
        QVERIFY(d.open());
        d.field(10)->setFocus();
        QListWidget* list = d.form->diagnosisList;
        QListWidgetItem* item = list->findItems(QStringLiteral("消化不良"), Qt::MatchExactly).value(0);
        QVERIFY(item);
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(d.field(10)->text(), QStringLiteral("消化不良"));
        QCOMPARE(d.focused(), d.field(11));
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->y(), d.form->fieldBoxes[11]->y() + d.form->fieldBoxes[11]->height());
    }

    void diagnosisChangeIsMatchedTrimmedButFocusUntrimmed()
    {
        Desk d;
        QVERIFY(d.open());
        QLineEdit* line = d.field(10);
        line->setFocus();
        typeText(line, QStringLiteral("肺 "));
        QCOMPARE(d.listTexts(d.form->diagnosisList), QStringList { QStringLiteral("肺炎") });
        QVERIFY(d.form->diagnosisList->isVisible());
        d.form->searchBox->setFocus();
        line->setFocus();
        QVERIFY(!d.form->diagnosisList->isVisible());
    }

    void programWritesWhileSuppressedOpenNoList()
    {
        Desk d;
        QVERIFY(d.open());
        d.field(2)->setText(QStringLiteral("狗"));
        d.field(10)->setText(QStringLiteral("肺炎"));
        QVERIFY(!d.form->diagnosisList->isVisible());
        QVERIFY(!d.form->speciesList->isVisible());
    }

    void clickOnThePaperOrTheBodyClosesTheLists()
    {
        Desk d;
        QVERIFY(d.open());
        d.field(2)->setFocus();
        QVERIFY(d.form->speciesList->isVisible());
        QTest::mouseClick(d.form->paper, Qt::LeftButton, {}, QPoint(twips(5000), twips(6900)));
        QVERIFY(!d.form->speciesList->isVisible());
        d.field(10)->setFocus();
        QVERIFY(d.form->diagnosisList->isVisible());
        QTest::mouseClick(d.form->body->viewport(), Qt::LeftButton);
        QVERIFY(!d.form->diagnosisList->isVisible());
    }

    void categoryButtonListsItsOwnRowsAndSearchSpansAllNonHerbs()
    {
        Desk d;
        QVERIFY(d.open());
        QTest::mouseClick(d.form->categoryButtons[Usage], Qt::LeftButton);
        QCOMPARE(d.form->currentCategory(), int(Usage));
        QVERIFY(d.form->categoryButtons[Usage]->font().bold());
        QVERIFY(!d.form->categoryButtons[Western]->font().bold());
        QCOMPARE(d.form->resultList->count(),
            d.env.count(QStringLiteral("商品"), QStringLiteral("\"分类\" = '用法'")));
        QVERIFY(!d.listTexts(d.form->resultList).contains(kAmoxicillin));

        typeText(d.form->searchBox, QStringLiteral("yf"));
        const QStringList found = d.listTexts(d.form->resultList);
        QVERIFY(found.contains(QStringLiteral("氧氟沙星片 0.1g×12片\\0.2g 口服 每日3次")));
        QVERIFY(found.contains(QStringLiteral("用法：静脉滴注 每日1次")));

        // Switching empties the box and lists the new category alone.
        QTest::mouseClick(d.form->categoryButtons[Herbs], Qt::LeftButton);
        QVERIFY(d.form->searchBox->text().isEmpty());
        QVERIFY(d.listTexts(d.form->resultList).contains(QStringLiteral("桂枝 10g")));
        QVERIFY(!d.listTexts(d.form->resultList).contains(QStringLiteral("用法：静脉滴注 每日1次")));
    }

    void catalogListsStopAtTwoHundredRows()
    {
        Desk d;
        d.addRows(QStringLiteral("中药"), 250, QStringLiteral("zz"));
        QVERIFY(d.open());
        QTest::mouseClick(d.form->categoryButtons[Herbs], Qt::LeftButton);
        QCOMPARE(d.form->resultList->count(), 200);
        typeText(d.form->searchBox, QStringLiteral("zz"));
        QCOMPARE(d.form->resultList->count(), 200);
        QCOMPARE(d.form->resultList->item(0)->text(), QStringLiteral("zz1000"));
    }

    void typedApostropheFindsTheRowsHoldingIt()
    {
        Desk d;
        d.addRows(QStringLiteral("西药"), 1, QStringLiteral("O'Brien "));
        QVERIFY(d.open());
        typeText(d.form->searchBox, QStringLiteral("'"));
        QCOMPARE(d.listTexts(d.form->resultList), QStringList { QStringLiteral("O'Brien 1000") });
        QVERIFY(d.env.messages.shown().isEmpty());
    }

    void herbsAreFoundByTheirEverydayReadingsAfterTheStoredCodesFinds()
    {
        Desk d;
        QVERIFY(d.open());
        QTest::mouseClick(d.form->categoryButtons[Herbs], Qt::LeftButton);
        const QList<QPair<QString, QString>> cases { { "ds", "丹参 10g" }, { "bz", "白术 10g" },
            { "rs", "人参 10g" }, { "wblx", "王不留行 10g" } };
        for (const auto& [typed, herb] : cases) {
            d.form->searchBox->clear();
            typeText(d.form->searchBox, typed);
            const QStringList shown = d.listTexts(d.form->resultList);
            // First what the stored codes find, as the store lists them; the herb comes after them.
            QStringList byCode;
            const PickerQuery query = searchListQuery(Herbs, typed);
            for (const Row& row : d.env.rows(query.sql, query.params))
                byCode << row.text(QStringLiteral("名称"));
            QVERIFY2(!byCode.contains(herb), qPrintable(typed));
            QCOMPARE(shown.mid(0, byCode.size()), byCode);
            QVERIFY2(shown.mid(byCode.size()).contains(herb), qPrintable(typed + ": " + shown.join(',')));
        }
        // The only herb read wblx goes into the body on Enter, as any single find does.
        QCOMPARE(d.listTexts(d.form->resultList), QStringList { QStringLiteral("王不留行 10g") });
        pressKey(d.form->searchBox, Qt::Key_Return);
        QVERIFY(d.form->bodyText().contains(QStringLiteral("王不留行 10g")));
        // The stored codes stay as the generator makes them.
        QCOMPARE(d.env.rows("select \"拼音\" from \"商品\" where \"名称\" = '丹参 10g'").first().text("拼音"),
            "dc");
    }

    void completionListsFindNamesByTheirEverydayReadings()
    {
        Desk d;
        d.env.rows("insert into \"诊断\" (\"名称\", \"拼音\", \"序号\") values ('行走困难', 'hzkn', "
                   "'行走困难hzkn')");
        d.env.rows(
            "insert into \"个人模板\" (\"序号\", \"名称\", \"内容\", \"拼音\", \"查询\", \"分类\") values "
            "('20261208000001', '参苓白术散', '党参 10g', 'clbss', '参苓白术散clbss', '中药方剂')");
        QVERIFY(d.open());
        d.field(10)->setFocus();
        typeText(d.field(10), QStringLiteral("xzkn"));
        QCOMPARE(d.listTexts(d.form->diagnosisList), QStringList { QStringLiteral("行走困难") });
        QTest::mouseClick(d.form->categoryButtons[Formulas], Qt::LeftButton);
        typeText(d.form->searchBox, QStringLiteral("slbz"));
        QCOMPARE(d.listTexts(d.form->resultList), QStringList { QStringLiteral("参苓白术散") });
    }

    void catalogWindowWritesReachTheDeskRowByRow()
    {
        Desk d;
        QVERIFY(d.open());
        DrugCatalogWindow catalog(d.env.services);
        QTest::mouseClick(d.form->categoryButtons[Herbs], Qt::LeftButton);
        const int loads = d.env.catalog.loads();
        QCOMPARE(loads, 1); // one catalog in memory for both windows

        catalog.categoryOptions[1]->click(); // 中药
        typeText(catalog.nameBox, QStringLiteral("丹参片 0.3g"));
        catalog.saveRecord();
        typeText(d.form->searchBox, QStringLiteral("dsp"));
        QCOMPARE(d.listTexts(d.form->resultList), QStringList { QStringLiteral("丹参片 0.3g") });
        catalog.searchBox->setText(QStringLiteral("dsp"));
        QCOMPARE(catalog.grid()->cellText(0, 0), QStringLiteral("丹参片 0.3g"));
        // The saved row was read again alone; the catalog was not read whole a second time.
        QCOMPARE(d.env.catalog.loads(), loads);
        QCOMPARE(d.env.catalog.rowsRefreshed(), 1);
    }

    void enterInTheSearchBoxAddsOnlyASingleMatch()
    {
        Desk d;
        QVERIFY(d.open());
        typeText(d.form->searchBox, QStringLiteral("amx"));
        QVERIFY(d.form->resultList->count() >= 1);
        typeText(d.form->searchBox, QStringLiteral("lj"));
        QCOMPARE(d.form->resultList->count(), 1);
        d.form->searchBox->setText(QStringLiteral("zsy")); // many injections
        QVERIFY(d.form->resultList->count() > 1);
        pressKey(d.form->searchBox, Qt::Key_Return);
        QCOMPARE(d.form->bodyText(), QString());
        QCOMPARE(d.form->searchBox->text(), QStringLiteral("zsy"));
        d.form->searchBox->setText(QStringLiteral("amxljn"));
        pressKey(d.form->searchBox, Qt::Key_Return);
        QCOMPARE(d.form->bodyText(),
            QStringLiteral("阿莫西林胶囊 0.25g×24粒\r\n    用法：0.5g 口服 每日3次\r\n\r\n"));
    }

    void drugRowGivesDrugLineUsageLineAndEmptyLine()
    {
        Desk d;
        QVERIFY(d.open());
        d.form->body->setFocus();
        d.form->body->moveCursor(QTextCursor::Start);
        d.doubleClickRow(kAmoxicillin);
        QCOMPARE(d.form->bodyText(),
            QStringLiteral("阿莫西林胶囊 0.25g×24粒\r\n    用法：0.5g 口服 每日3次\r\n\r\n"));
        QCOMPARE(d.form->body->textCursor().position(), d.form->body->toPlainText().size());
        QCOMPARE(d.focused(), d.form->searchBox);
        QVERIFY(d.form->resultList->selectedItems().isEmpty());

        // Appended at the end whatever the caret: a drug without usage, then another on the next line.
        d.form->body->moveCursor(QTextCursor::Start);
        d.doubleClickRow(QStringLiteral("0.9%氯化钠注射液  100ml"));
        d.doubleClickRow(QStringLiteral("0.9%氯化钠注射液  250ml"));
        QCOMPARE(d.form->bodyText(),
            QStringLiteral("阿莫西林胶囊 0.25g×24粒\r\n    用法：0.5g 口服 每日3次\r\n\r\n"
                           "0.9%氯化钠注射液  100ml\r\n0.9%氯化钠注射液  250ml\r\n"));
    }

    void fourHerbsMakeARowOfThreeAnEmptyLineAndTheFourth()
    {
        Desk d;
        QVERIFY(d.open());
        QTest::mouseClick(d.form->categoryButtons[Herbs], Qt::LeftButton);
        d.doubleClickRow(QStringLiteral("桂枝 10g"));
        d.doubleClickRow(QStringLiteral("荆芥 10g"));
        // Down from the search box and Enter in the list add the first row of a search.
        typeText(d.form->searchBox, QStringLiteral("ff"));
        pressKey(d.form->searchBox, Qt::Key_Down);
        QCOMPARE(d.form->resultList->item(0)->text(), QStringLiteral("防风 10g"));
        pressKey(d.form->resultList, Qt::Key_Return);
        QVERIFY(d.form->searchBox->text().isEmpty());
        d.doubleClickRow(QStringLiteral("白芷 10g"));
        QCOMPARE(d.form->bodyText(),
            QStringLiteral("     桂枝 10g     荆芥 10g     防风 10g\r\n\r\n     白芷 10g"));
    }

    void herbColumnsEndAtOneXOnScreen()
    {
        Desk d;
        QVERIFY(d.open());
        // Entries of different widths in each column; each dose is its own mark.
        const QStringList herbs
            = { QStringLiteral("丁香"), QStringLiteral("五倍子"), QStringLiteral("制何首乌") };
        QStringList rows;
        for (int row = 1; row <= 3; ++row) {
            QString line;
            for (int column = 1; column <= 3; ++column)
                line += alignHerbEntry(
                    QStringLiteral("%1 %2%3g").arg(herbs[(row + column) % 3]).arg(row).arg(column));
            rows << line;
        }
        d.form->body->setPlainText(rows.join(QStringLiteral("\n\n")));
        const QString text = d.form->body->toPlainText();
        for (int column = 1; column <= 3; ++column) {
            QList<int> ends;
            for (int row = 1; row <= 3; ++row) {
                const QString dose = QStringLiteral("%1%2g").arg(row).arg(column);
                QTextCursor cursor(d.form->body->document());
                cursor.setPosition(int(text.indexOf(dose) + dose.size()));
                ends << d.form->body->cursorRect(cursor).left();
            }
            QVERIFY2(qAbs(ends[0] - ends[1]) <= 1 && qAbs(ends[0] - ends[2]) <= 1,
                qPrintable(QStringLiteral("column %1 ends at %2, %3, %4")
                               .arg(column)
                               .arg(ends[0])
                               .arg(ends[1])
                               .arg(ends[2])));
        }
    }

    void herbGoesInAtTheCaretReplacingTheSelection()
    {
        Desk d;
        QVERIFY(d.open());
        d.form->setBodyText(QStringLiteral("上\r\nXY\r\n下"));
        QTextCursor cursor = d.form->body->textCursor();
        cursor.setPosition(2); // start of "XY"
        cursor.setPosition(4, QTextCursor::KeepAnchor); // "XY" selected
        d.form->body->setTextCursor(cursor);
        QTest::mouseClick(d.form->categoryButtons[Herbs], Qt::LeftButton);
        d.doubleClickRow(QStringLiteral("桂枝 10g"));
        QCOMPARE(d.form->bodyText(), QStringLiteral("上\r\n     桂枝 10g\r\n下"));
    }

    void prescriptionSetStartsOnItsOwnLineAndFormulaGoesInAsStored()
    {
        Desk d;
        QVERIFY(d.open());
        const QString set
            = d.env.rows(QStringLiteral("select \"内容\" from \"个人模板\" where \"名称\" = '肺炎组套'"))
                  .value(0)
                  .text(QStringLiteral("内容"));
        const QString formula
            = d.env.rows(QStringLiteral("select \"内容\" from \"个人模板\" where \"名称\" = '华佗汤'"))
                  .value(0)
                  .text(QStringLiteral("内容"));
        QVERIFY(set.endsWith(QStringLiteral("\r\n")));

        QTest::mouseClick(d.form->categoryButtons[PrescriptionSets], Qt::LeftButton);
        d.form->setBodyText(QStringLiteral("已有"));
        d.doubleClickRow(QStringLiteral("肺炎组套"));
        QCOMPARE(d.form->bodyText(), QStringLiteral("已有\r\n") + set + QStringLiteral("\r\n\r\n"));

        d.form->setBodyText(QStringLiteral("已有\r\n"));
        d.doubleClickRow(QStringLiteral("肺炎组套"));
        QCOMPARE(d.form->bodyText(), QStringLiteral("已有\r\n") + set + QStringLiteral("\r\n\r\n"));

        QTest::mouseClick(d.form->categoryButtons[Formulas], Qt::LeftButton);
        d.form->setBodyText(QStringLiteral("已有"));
        d.doubleClickRow(QStringLiteral("华佗汤"));
        QCOMPARE(d.form->bodyText(), QStringLiteral("已有") + formula);
    }

    void templateIsTakenByItsOwnRowEvenWhenTheSearchWouldListItElsewhere()
    {
        Desk d;
        // A set without a lookup text is listed by its button but found by no search.
        d.env.db.run(QStringLiteral("insert into \"个人模板\" (\"序号\", \"名称\", \"内容\", \"分类\") "
                                    "values ('1', '无码组套', '无码内容', '个人组套')"));
        QVERIFY(d.open());
        QTest::mouseClick(d.form->categoryButtons[PrescriptionSets], Qt::LeftButton);
        d.doubleClickRow(QStringLiteral("无码组套"));
        QCOMPARE(d.form->bodyText(), QStringLiteral("无码内容\r\n\r\n"));
    }

    void quickInsertGoesInAtTheCaretAndLeavesFocusInTheSearchBox()
    {
        Desk d;
        QVERIFY(d.open());
        d.form->setBodyText(QStringLiteral("2片"));
        QTextCursor cursor = d.form->body->textCursor();
        cursor.setPosition(1);
        d.form->body->setTextCursor(cursor);
        QTest::mouseClick(d.form->quickInsertLabels[4], Qt::LeftButton);
        QCOMPARE(d.form->bodyText(), QStringLiteral("2×片"));
        QCOMPARE(d.focused(), d.form->searchBox);

        d.form->body->moveCursor(QTextCursor::End);
        QTest::mouseClick(d.form->quickInsertLabels[14], Qt::LeftButton);
        QCOMPARE(d.form->bodyText(), QStringLiteral("2×片    用法：肌肉注射 每日1次\r\n\r\n"));
    }
};

QTEST_MAIN(PrescriptionDeskTest)
#include "tst_prescriptiondesk.moc"
