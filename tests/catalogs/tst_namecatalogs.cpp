// The diagnosis names window and the animal species window: search, add, duplicate refusal, delete.

#include "catalogs/diagnoseswindow.h"
#include "catalogs/specieswindow.h"
#include "tests/catalogs/listrows.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <sqlcipher/sqlite3.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace qv;
using namespace qv::test;

class TestNameCatalogs final : public QObject {
    Q_OBJECT
private slots:
    void searchFindsByInitialsOrCharacters();
    void searchTextIsTakenLiterally();
    void deletingFromFilteredListDeletesSelectedEntry();
    void savingClearsSearchAndAddsOnce();
    void emptyNameSavesNothing();
    void enterTwiceInSpeciesNameAddsOneRow();
    void deleteWithNothingSelectedChangesNothing();
    void clickingAnEntryOnlySelectsIt();
    void refusedWriteIsReported();
    void nameDifferingOnlyInLetterCaseIsRefusedSilently();
};

void TestNameCatalogs::searchFindsByInitialsOrCharacters()
{
    TestEnv env;
    DiagnosesWindow w(env.services);
    QCOMPARE(w.windowTitle(), QStringLiteral("诊断名称维护"));
    QCOMPARE(listed(w.nameList),
        (QStringList { QStringLiteral("肺炎"), QStringLiteral("肠炎"), QStringLiteral("消化不良") }));

    typeText(w.searchBox, QStringLiteral("fy"));
    QCOMPARE(listed(w.nameList), QStringList { QStringLiteral("肺炎") });
    w.searchBox->clear();
    typeText(w.searchBox, QStringLiteral("炎"));
    QCOMPARE(listed(w.nameList), (QStringList { QStringLiteral("肺炎"), QStringLiteral("肠炎") }));
    w.searchBox->clear();
    QCOMPARE(w.nameList->count(), 3);
}

void TestNameCatalogs::searchTextIsTakenLiterally()
{
    TestEnv env;
    env.rows(QStringLiteral("insert into \"诊断\" values ('50%脱水', '50ts', '50%脱水50ts')"));
    DiagnosesWindow w(env.services);
    for (const QString& typed : { QStringLiteral("'"), QStringLiteral("' or '1'='1"), QStringLiteral("_") }) {
        w.searchBox->setText(typed);
        QVERIFY2(w.nameList->count() == 0, qPrintable(typed));
    }
    w.searchBox->setText(QStringLiteral("%"));
    QCOMPARE(listed(w.nameList), QStringList { QStringLiteral("50%脱水") });
    QCOMPARE(env.count(QStringLiteral("诊断")), 4);
}

void TestNameCatalogs::deletingFromFilteredListDeletesSelectedEntry()
{
    TestEnv env;
    DiagnosesWindow w(env.services);
    w.show();
    typeText(w.searchBox, QStringLiteral("炎"));
    clickRow(w.nameList, QStringLiteral("肠炎"));
    QTest::mouseClick(w.deleteButton, Qt::LeftButton);

    const QList<Row> left = env.rows(QStringLiteral("select \"名称\" from \"诊断\" order by \"名称\""));
    QCOMPARE(left.size(), 2);
    QCOMPARE(env.count(QStringLiteral("诊断"), QStringLiteral("\"名称\" = '肠炎'")), 0);
    QCOMPARE(listed(w.nameList), QStringList { QStringLiteral("肺炎") });
    QVERIFY(env.messages.texts().isEmpty());
}

void TestNameCatalogs::savingClearsSearchAndAddsOnce()
{
    TestEnv env;
    DiagnosesWindow w(env.services);
    w.show();
    typeText(w.searchBox, QStringLiteral("xh"));
    typeText(w.nameBox, QStringLiteral("胃炎"));
    QCOMPARE(w.codeBox->text(), QStringLiteral("wy"));
    QTest::mouseClick(w.saveButton, Qt::LeftButton);
    QVERIFY(w.searchBox->text().isEmpty());
    QCOMPARE(w.nameList->count(), 4);
    QCOMPARE(env.count(QStringLiteral("诊断"),
                 QStringLiteral("\"名称\" = '胃炎' and \"拼音\" = 'wy' and \"序号\" = '胃炎wy'")),
        1);
    QCOMPARE(w.nameBox->text(), QStringLiteral("胃炎"));

    // A name already stored is refused by its unique key, without a word, and listed once.
    w.nameBox->setText(QStringLiteral("肺炎"));
    w.saveName();
    QCOMPARE(env.count(QStringLiteral("诊断"), QStringLiteral("\"名称\" = '肺炎'")), 1);
    QCOMPARE(w.nameList->findItems(QStringLiteral("肺炎"), Qt::MatchExactly).size(), 1);
    QVERIFY(env.messages.texts().isEmpty());
}

void TestNameCatalogs::emptyNameSavesNothing()
{
    TestEnv env;
    DiagnosesWindow w(env.services);
    typeText(w.searchBox, QStringLiteral("fy"));
    pressKey(w.nameBox, Qt::Key_Return);
    QCOMPARE(env.count(QStringLiteral("诊断")), 3);
    QCOMPARE(w.searchBox->text(), QStringLiteral("fy"));
}

void TestNameCatalogs::enterTwiceInSpeciesNameAddsOneRow()
{
    TestEnv env;
    SpeciesWindow w(env.services);
    QCOMPARE(w.windowTitle(), QStringLiteral("动物种类维护"));
    QCOMPARE(w.nameList->count(), 5);
    typeText(w.nameBox, QStringLiteral("兔"));
    pressKey(w.nameBox, Qt::Key_Return);
    pressKey(w.nameBox, Qt::Key_Enter);
    QCOMPARE(env.count(QStringLiteral("动物种类"), QStringLiteral("\"序号\" = '兔t'")), 1);
    QCOMPARE(env.count(QStringLiteral("动物种类")), 6);
    QCOMPARE(w.nameList->findItems(QStringLiteral("兔"), Qt::MatchExactly).size(), 1);
    QCOMPARE(w.nameBox->text(), QStringLiteral("兔"));
    QCOMPARE(w.codeBox->text(), QStringLiteral("t"));
    QVERIFY(env.messages.texts().isEmpty());
}

void TestNameCatalogs::deleteWithNothingSelectedChangesNothing()
{
    TestEnv env;
    SpeciesWindow w(env.services);
    w.deleteSelected();
    QCOMPARE(env.count(QStringLiteral("动物种类")), 5);

    w.show();
    clickRow(w.nameList, QStringLiteral("鸡"));
    w.deleteSelected();
    QCOMPARE(env.count(QStringLiteral("动物种类")), 4);
    QCOMPARE(env.count(QStringLiteral("动物种类"), QStringLiteral("\"名称\" = '鸡'")), 0);
    QCOMPARE(listed(w.nameList),
        (QStringList {
            QStringLiteral("猪"), QStringLiteral("狗"), QStringLiteral("牛"), QStringLiteral("猫") }));
}

void TestNameCatalogs::clickingAnEntryOnlySelectsIt()
{
    TestEnv env;
    SpeciesWindow w(env.services);
    w.show();
    clickRow(w.nameList, QStringLiteral("猫"));
    QVERIFY(w.nameBox->text().isEmpty());
    QVERIFY(w.codeBox->text().isEmpty());
    QCOMPARE(w.nameList->selectedItems().size(), 1);
}

void TestNameCatalogs::refusedWriteIsReported()
{
    TestEnv env;
    env.failEveryWrite(SQLITE_FULL);
    SpeciesWindow w(env.services);
    typeText(w.nameBox, QStringLiteral("羊"));
    w.saveName();
    QCOMPARE(env.messages.shown().size(), 1);
    QVERIFY2(env.messages.last().startsWith(
                 QStringLiteral("没有保存！\n") + test::refusalSentence(FailureKind::DiskFull)),
        qPrintable(env.messages.last()));
    QCOMPARE(env.count(QStringLiteral("动物种类")), 5);
    QCOMPARE(w.nameBox->text(), QStringLiteral("羊"));
}

void TestNameCatalogs::nameDifferingOnlyInLetterCaseIsRefusedSilently()
{
    TestEnv env;
    DiagnosesWindow diagnoses(env.services);
    SpeciesWindow species(env.services);
    for (NameCatalogWindow* w :
        { static_cast<NameCatalogWindow*>(&diagnoses), static_cast<NameCatalogWindow*>(&species) }) {
        const int before = w->nameList->count();
        typeText(w->nameBox, QStringLiteral("Catcat"));
        pressKey(w->nameBox, Qt::Key_Return);
        w->nameBox->clear();
        typeText(w->nameBox, QStringLiteral("catcat"));
        pressKey(w->nameBox, Qt::Key_Return);
        QCOMPARE(w->nameList->count(), before + 1);
        QCOMPARE(w->nameList->findItems(QStringLiteral("catcat"), Qt::MatchFixedString).size(), 1);
    }
    QCOMPARE(env.count(QStringLiteral("诊断"), QStringLiteral("lower(\"名称\") = 'catcat'")), 1);
    QCOMPARE(env.count(QStringLiteral("动物种类"), QStringLiteral("lower(\"名称\") = 'catcat'")), 1);
    QVERIFY(env.messages.texts().isEmpty());
}

QTEST_MAIN(TestNameCatalogs)
#include "tst_namecatalogs.moc"
