// The drug catalog window driven through its controls: listing, searching, editing names, saving, deleting.

#include "catalogs/drugcatalog.h"
#include "catalogs/drugcatalogwindow.h"
#include "pinyin/searchcode.h"
#include "platform/units.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace qv;
using qv::test::TestEnv;
using qv::test::typeText;

namespace {

QStringList storeNames(TestEnv& env, const QString& category)
{
    QStringList names;
    for (const Row& row :
        env.rows(QStringLiteral("select \"名称\" from \"商品\" where \"分类\" = ? order by \"ID号\" desc"),
            { category }))
        names << row.text(QStringLiteral("名称"));
    return names;
}

QStringList shownNames(const DrugCatalogWindow& w)
{
    QStringList names;
    for (int j = 0; j < w.grid()->rowCount(); ++j)
        names << w.grid()->cellText(j, 0);
    return names;
}

void clickRow(DrugCatalogWindow& w, int row)
{
    QWidget* body = w.grid()->findChild<QWidget*>(QStringLiteral("Pt2"));
    QTest::mouseClick(
        body, Qt::LeftButton, {}, QPoint(twips(1500), twips(LabelGrid::backgroundTop(row) + 160)));
}

QList<Row> rowOf(TestEnv& env, const QString& key)
{
    return env.rows(QStringLiteral("select * from \"商品\" where \"ID号\" = ?"), { key });
}

} // namespace

class TestDrugCatalogWindow final : public QObject {
    Q_OBJECT
private slots:
    void opensOnWesternDrugsNewestFirst()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        QCOMPARE(w.windowTitle(), QStringLiteral("药物名称维护"));
        QCOMPARE(w.currentCategory(), QStringLiteral("西药"));
        QCOMPARE(w.currentKey(), QStringLiteral("20261208093000"));
        QVERIFY(!w.deleteButton->isEnabled());
        const QStringList expected = storeNames(env, QStringLiteral("西药"));
        QCOMPARE(w.grid()->recordCount(), expected.size());
        QCOMPARE(shownNames(w), expected.mid(0, 14));
        QCOMPARE(w.entryHelp->text().split(QLatin1Char('\n')).size(), 9);
        QCOMPARE(w.quickWords.size(), 7);
        QCOMPARE(w.quickWords[13]->text(), QStringLiteral("口服"));
    }

    void anotherDesksChangesShowWithoutASearchWhereTheUserIsLooking()
    {
        // A second desk (a connection of its own; on the file, a second program) adds and then deletes the
        // newest drug while this window is open and scrolled: the grid follows by itself, at the same place.
        TestEnv env;
        DrugCatalogWindow w(env.services);
        w.show();
        w.grid()->scrollBar->setValue(2);
        const QStringList before = shownNames(w);
        QCOMPARE(before, storeNames(env, QStringLiteral("西药")).mid(2, 14));
        Database other;
        QString error;
        QVERIFY2(other.open(env.db.opener(), &error), qPrintable(error));

        const DrugEntry drug { "29991231235959", "远方新药", {}, "yfxy", "西药", true, {} };
        QCOMPARE(saveDrug(other, drug, "西药").outcome, SaveOutcome::Inserted);
        QTRY_COMPARE_WITH_TIMEOUT(shownNames(w), storeNames(env, QStringLiteral("西药")).mid(2, 14), 3000);
        QCOMPARE(w.grid()->scrollValue(), 2);
        QCOMPARE(storeNames(env, QStringLiteral("西药")).first(), QStringLiteral("远方新药"));

        QVERIFY(deleteDrug(other, drug.key).ok);
        QTRY_COMPARE_WITH_TIMEOUT(shownNames(w), before, 3000);
        QCOMPARE(w.grid()->scrollValue(), 2);

        // Another search of the program's catalog (the desk's drug picker) may take the change in before the
        // window's watch looks: the window lists it all the same.
        QCOMPARE(saveDrug(other, drug, "西药").outcome, SaveOutcome::Inserted);
        CatalogSearch picker;
        picker.typed = drug.name;
        picker.category = drug.category;
        QCOMPARE(env.catalog.search(picker).rows.size(), size_t(1));
        QTRY_COMPARE_WITH_TIMEOUT(shownNames(w), storeNames(env, QStringLiteral("西药")).mid(2, 14), 3000);
    }

    void herbsAreFoundByTheirEverydayReadingsAfterTheStoredCodesFinds()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        w.categoryOptions[1]->click(); // 中药
        typeText(w.searchBox, QStringLiteral("bz"));
        QStringList byCode;
        for (const Row& row :
            env.rows("select \"名称\" from \"商品\" where \"查询\" like '%bz%' and \"分类\" = '中药' "
                     "order by \"ID号\" desc"))
            byCode << row.text("名称");
        QVERIFY(w.grid()->recordCount() > byCode.size());
        QCOMPARE(shownNames(w).mid(0, byCode.size()), byCode);
        QVERIFY(shownNames(w).mid(byCode.size()).contains(QStringLiteral("白术 10g")));
        // Selecting the row found by its reading edits that row, with its stored code.
        clickRow(w, int(shownNames(w).indexOf(QStringLiteral("白术 10g"))));
        QCOMPARE(w.nameBox->text(), QStringLiteral("白术 10g"));
        QCOMPARE(w.codeBox->text(), QStringLiteral("bs"));
        QCOMPARE(w.currentKey(), QStringLiteral("10012"));
    }

    void partOfTheNameOrItsInitialsFindARow()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        typeText(w.searchBox, QStringLiteral("莫西"));
        QCOMPARE(w.grid()->recordCount(), 1);
        QCOMPARE(w.grid()->cellText(0, 0), QStringLiteral("阿莫西林胶囊 0.25g×24粒"));
        w.searchBox->clear();
        typeText(w.searchBox, QStringLiteral("TBA"));
        QCOMPARE(w.grid()->recordCount(), 2); // 头孢氨苄 capsules and granules
        QCOMPARE(w.grid()->cellText(1, 2), QStringLiteral("tbabjn"));
        // Typed text is literal: a quote or a percent sign finds nothing here instead of failing or finding
        // all.
        w.searchBox->clear();
        typeText(w.searchBox, QStringLiteral("'"));
        QCOMPARE(w.grid()->recordCount(), 0);
        w.searchBox->setText(QStringLiteral("%"));
        QCOMPARE(w.grid()->recordCount(),
            env.count(QStringLiteral("商品"),
                QStringLiteral("\"分类\" = '西药' and \"名称\" like '%\\%%' escape '\\'")));
        QVERIFY(
            w.grid()->recordCount() < env.count(QStringLiteral("商品"), QStringLiteral("\"分类\" = '西药'")));
    }

    void aSearchTextChangeStartsANewEntry()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        clickRow(w, 2);
        QVERIFY(w.deleteButton->isEnabled());
        QVERIFY(!w.nameBox->text().isEmpty());
        env.clock.advanceSeconds(5);
        typeText(w.searchBox, QStringLiteral("a"));
        QVERIFY(w.nameBox->text().isEmpty() && w.usageBox->text().isEmpty() && w.codeBox->text().isEmpty());
        QCOMPARE(w.currentKey(), QStringLiteral("20261208093005"));
        QVERIFY(!w.deleteButton->isEnabled());
        QCOMPARE(w.grid()->rowColour(2), LabelGrid::kEvenRow);
    }

    void nameEditsTidyTheNameKeepTheCaretAndRecomputeTheCode()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        w.nameBox->setFocus();
        typeText(w.nameBox, QStringLiteral("阿莫西林胶囊 0.25g24粒"));
        QCOMPARE(w.codeBox->text(), QStringLiteral("amxljn"));
        w.nameBox->setCursorPosition(12); // between "g" and "24"
        typeText(w.nameBox, QStringLiteral("*"));
        QCOMPARE(w.nameBox->text(), QStringLiteral("阿莫西林胶囊 0.25g×24粒"));
        QCOMPARE(w.nameBox->cursorPosition(), 13);
        w.nameBox->setCursorPosition(2);
        typeText(w.nameBox, QStringLiteral("["));
        QCOMPARE(w.nameBox->text(), QStringLiteral("阿莫(西林胶囊 0.25g×24粒"));
        QCOMPARE(w.nameBox->cursorPosition(), 3);
        typeText(w.nameBox, QStringLiteral("（"));
        QCOMPARE(w.nameBox->text(), QStringLiteral("阿莫((西林胶囊 0.25g×24粒"));
        QCOMPARE(w.codeBox->text(), QStringLiteral("amxljn")); // brackets add nothing to the code
    }

    void addSaveAddSaveWithinOneSecondGivesTwoRows()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        const int before = env.count(QStringLiteral("商品"));
        QTest::mouseClick(w.addButton, Qt::LeftButton);
        typeText(w.nameBox, QStringLiteral("美洛昔康片 7.5mg"));
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        QTest::mouseClick(w.addButton, Qt::LeftButton);
        typeText(w.nameBox, QStringLiteral("美洛昔康注射液 10ml"));
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        QCOMPARE(env.count(QStringLiteral("商品")), before + 2);
        QCOMPARE(rowOf(env, QStringLiteral("20261208093000")).value(0).text(QStringLiteral("名称")),
            QStringLiteral("美洛昔康片 7.5mg"));
        const QList<Row> second = rowOf(env, QStringLiteral("20261208093001"));
        QCOMPARE(second.size(), 1);
        QCOMPARE(second[0].text(QStringLiteral("名称")), QStringLiteral("美洛昔康注射液 10ml"));
        QCOMPARE(second[0].text(QStringLiteral("拼音")), QStringLiteral("mlxkzsy"));
        QCOMPARE(second[0].text(QStringLiteral("查询")), QStringLiteral("美洛昔康注射液 10mlmlxkzsy"));
        QCOMPARE(second[0].text(QStringLiteral("分类")), QStringLiteral("西药"));
        // The new row is listed first and highlighted; the key still names it, so saving again rewrites it.
        QCOMPARE(w.grid()->cellText(0, 0), QStringLiteral("美洛昔康注射液 10ml"));
        QCOMPARE(w.grid()->rowColour(0), LabelGrid::kSelected);
        QCOMPARE(w.currentKey(), QStringLiteral("20261208093001"));
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        QCOMPARE(env.count(QStringLiteral("商品")), before + 2);
        QVERIFY(env.messages.shown().isEmpty());
    }

    void aNewRowWithABlankNameIsRefused()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        const int before = env.count(QStringLiteral("商品"));
        typeText(w.nameBox, QStringLiteral("  "));
        typeText(w.usageBox, QStringLiteral("口服"));
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        QCOMPARE(env.messages.texts(), QStringList { QStringLiteral("请输入药物名称！") });
        QCOMPARE(env.count(QStringLiteral("商品")), before);
        QCOMPARE(w.usageBox->text(), QStringLiteral("口服"));
    }

    void closingTheWindowLeavesTheProgramsWatchRunning()
    {
        TestEnv env;
        env.catalog.watch(); // as the program's start does
        delete new DrugCatalogWindow(env.services);
        int woken = 0;
        env.catalog.setChangedCallback([&] { ++woken; });
        QVERIFY(env.db
                    .run("insert into \"商品\" (\"ID号\", \"名称\", \"分类\", \"查询\") "
                         "values ('90000000000001', '新药丁', '西药', '新药丁xyd')")
                    .ok);
        QTRY_VERIFY_WITH_TIMEOUT(woken > 0, 10000);
    }

    void aRowMovesToAnotherCategoryThroughTheComboBox()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        w.show();
        const QStringList before = storeNames(env, QStringLiteral("西药"));
        clickRow(w, 1);
        const QString key = w.currentKey();
        QCOMPARE(w.nameBox->text(), before[1]);
        QCOMPARE(w.grid()->rowColour(1), LabelGrid::kSelected);
        w.categoryBox->setCurrentText(QStringLiteral("其他"));
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        QTest::qWait(2500); // the watch of other desks' changes looks meanwhile (every second)
        QCOMPARE(w.nameBox->text(), before[1]);
        QCOMPARE(w.currentKey(), key);
        QCOMPARE(rowOf(env, key).value(0).text(QStringLiteral("分类")), QStringLiteral("其他"));
        QVERIFY(!shownNames(w).contains(before[1]));
        QCOMPARE(w.grid()->cellText(1, 0), before[2]); // the highlight marks what now stands in row 1
        QCOMPARE(w.grid()->rowColour(1), LabelGrid::kSelected);
        QVERIFY(!w.deleteButton->isEnabled());

        // Saving again rewrites the row the panel shows, now under 其他: no second row, nothing refused.
        env.messages.clear();
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        QVERIFY(env.messages.shown().isEmpty());
        QCOMPARE(env.count(QStringLiteral("商品"), QStringLiteral("\"ID号\" = ?"), { key }), 1);
        QCOMPARE(rowOf(env, key).value(0).text(QStringLiteral("名称")), before[1]);
    }

    void selectingAfterAScrollEditsTheRecordShown()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        const QStringList names = storeNames(env, QStringLiteral("西药"));
        clickRow(w, 0);
        QVERIFY(w.deleteButton->isEnabled());
        w.grid()->scrollBar->setValue(5);
        QVERIFY(!w.deleteButton->isEnabled());
        clickRow(w, 3);
        QCOMPARE(w.nameBox->text(), names[8]);
        typeText(w.usageBox, QStringLiteral(" 饭后"));
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        QCOMPARE(w.grid()->scrollValue(), 5);
        QCOMPARE(w.grid()->rowColour(3), LabelGrid::kSelected);
        QCOMPARE(w.grid()->cellText(3, 0), names[8]);
        QVERIFY(w.grid()->cellText(3, 1).endsWith(QStringLiteral(" 饭后")));
    }

    void deletingAStockedRowAsksAndNoKeepsIt()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        const QStringList names = storeNames(env, QStringLiteral("西药"));
        clickRow(w, 0);
        const QString stocked = w.currentKey();
        env.rows(QStringLiteral("update \"商品\" set \"库存\" = 3 where \"ID号\" = ?"), { stocked });
        env.messages.setNextAnswers({ false });
        QTest::mouseClick(w.deleteButton, Qt::LeftButton);
        QCOMPARE(env.messages.texts(), QStringList { QStringLiteral("该商品已有库存，确认要删除吗!") });
        QCOMPARE(env.messages.shown().first().kind, QStringLiteral("yesno"));
        QCOMPARE(rowOf(env, stocked).size(), 1);
        QVERIFY(w.nameBox->text().isEmpty()); // back to a new entry all the same
        QVERIFY(!w.deleteButton->isEnabled());

        clickRow(w, 0);
        env.messages.setNextAnswers({ true });
        QTest::mouseClick(w.deleteButton, Qt::LeftButton);
        QCOMPARE(rowOf(env, stocked).size(), 0);
        QCOMPARE(w.grid()->cellText(0, 0), names[1]);

        // No stock: deleted without a question.
        env.messages.clear();
        clickRow(w, 0);
        const QString plain = w.currentKey();
        QTest::mouseClick(w.deleteButton, Qt::LeftButton);
        QVERIFY(env.messages.shown().isEmpty());
        QCOMPARE(rowOf(env, plain).size(), 0);
    }

    void clickingAnEmptyRowKeepsTheEntry()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        QTest::mouseClick(w.categoryOptions[3], Qt::LeftButton); // 用法: fewer rows than the grid shows
        QCOMPARE(w.currentCategory(), QStringLiteral("用法"));
        QCOMPARE(w.categoryBox->currentText(), QStringLiteral("用法"));
        const QStringList usage = storeNames(env, QStringLiteral("用法"));
        QVERIFY(usage.size() < 13);
        QCOMPARE(w.grid()->cellText(0, 0), usage[0]);
        clickRow(w, 1);
        const QString key = w.currentKey();
        clickRow(w, 13);
        QCOMPARE(w.currentKey(), key);
        QCOMPARE(w.nameBox->text(), usage[1]);
        QVERIFY(w.deleteButton->isEnabled());
        QCOMPARE(w.grid()->rowColour(1), LabelGrid::kOddRow);
    }

    void quickWordsGoToTheLastFocusedBoxAtItsCaret()
    {
        TestEnv env;
        DrugCatalogWindow w(env.services);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.usageBox->setFocus();
        QTRY_VERIFY(w.usageBox->hasFocus());
        typeText(w.usageBox, QStringLiteral("0.5 每日3次"));
        w.usageBox->setCursorPosition(3);
        QTest::mouseClick(w.quickWords[2], Qt::LeftButton); // "g"
        QTest::mouseClick(w.quickWords[13], Qt::LeftButton); // "口服"
        QCOMPARE(w.usageBox->text(), QStringLiteral("0.5g口服 每日3次"));
        w.nameBox->setFocus();
        QTRY_VERIFY(w.nameBox->hasFocus());
        typeText(w.nameBox, QStringLiteral("片"));
        QTest::mouseClick(w.quickWords[17], Qt::LeftButton);
        QCOMPARE(w.nameBox->text(), QStringLiteral("片×"));
        QCOMPARE(w.usageBox->text(), QStringLiteral("0.5g口服 每日3次"));
    }

    void aQuickWordReplacesTheSelectionInsideTheMainWindowsFrame()
    {
        // In the main window the catalog sits in a frame that would take the focus on a click that hits no
        // control, and the box would drop its selection before the quick word arrives.
        TestEnv env;
        QMdiArea area;
        auto* w = new DrugCatalogWindow(env.services);
        QMdiSubWindow* frame = area.addSubWindow(w);
        area.resize(1200, 800);
        area.show();
        frame->show();
        QVERIFY(QTest::qWaitForWindowActive(&area));
        w->usageBox->setFocus();
        QTRY_VERIFY(w->usageBox->hasFocus());
        typeText(w->usageBox, QStringLiteral("0.5克 口服"));
        w->usageBox->setSelection(3, 1); // "克"
        QTest::mouseClick(w->quickWords[2], Qt::LeftButton); // "g"
        QCOMPARE(w->usageBox->text(), QStringLiteral("0.5g 口服"));
        QVERIFY(w->usageBox->hasFocus());
        QCOMPARE(w->usageBox->cursorPosition(), 4);
        // The next word goes on at the caret; typing goes on in the box.
        QTest::mouseClick(w->quickWords[16], Qt::LeftButton); // "每日3次"
        QCOMPARE(w->usageBox->text(), QStringLiteral("0.5g每日3次 口服"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
        QCOMPARE(w->usageBox->text(), QStringLiteral("0.5g每日3次x 口服"));

        // The name box too, and from elsewhere the word still goes to the box that had the focus last.
        w->nameBox->setFocus();
        QTRY_VERIFY(w->nameBox->hasFocus());
        typeText(w->nameBox, QStringLiteral("阿莫西林片 0.25gx24片"));
        w->nameBox->setSelection(11, 1); // "x"
        QTest::mouseClick(w->quickWords[17], Qt::LeftButton);
        QCOMPARE(w->nameBox->text(), QStringLiteral("阿莫西林片 0.25g×24片"));
        w->nameBox->setSelection(0, 5);
        QTest::mouseClick(w->quickWords[13], Qt::LeftButton); // "口服" over "阿莫西林片"
        QCOMPARE(w->nameBox->text(), QStringLiteral("口服 0.25g×24片"));
        QVERIFY(w->nameBox->hasFocus());
        QCOMPARE(w->codeBox->text(), searchCode(QStringLiteral("口服 0.25g×24片")));
        w->searchBox->setFocus();
        QTRY_VERIFY(w->searchBox->hasFocus());
        QTest::mouseClick(w->quickWords[0], Qt::LeftButton); // "mg"
        QCOMPARE(w->searchBox->text(), QString());
        QCOMPARE(w->nameBox->text(), QStringLiteral("口服mg 0.25g×24片"));
        QVERIFY(w->nameBox->hasFocus());
    }
};

QTEST_MAIN(TestDrugCatalogWindow)
#include "tst_drugcatalogwindow.moc"
