// The drug catalog's logic without a window: the in-memory search against the store's own query, keys that
// never collide, name tidying, saving and the store refusing a save.

#include "catalogs/catalogindex.h"
#include "catalogs/drugcatalog.h"
#include "catalogs/drugrows.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QTest>
#include <QThread>

using namespace qv;
using qv::test::TestEnv;

namespace {

void insertDrug(
    TestEnv& env, const QString& key, const QString& category, const QString& name, const QString& code)
{
    env.rows(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"拼音\", \"分类\", \"查询\", "
                            "\"库存\") values (?, ?, ?, ?, ?, 0)"),
        { key, name, code, category, name + code });
}

// The catalog window's search of the index.
CatalogHits windowSearch(CatalogIndex& index, const QString& typed, const QString& category)
{
    CatalogSearch search;
    search.typed = typed;
    search.category = category;
    search.order = CatalogOrder::NewestKeyFirst;
    return index.search(search);
}

// The keys of the rows the lookup text found (the finds by readings follow them).
QStringList keysOf(const CatalogHits& hits)
{
    QStringList keys;
    for (int i = 0; i < hits.byLookup; ++i)
        keys << hits.rows[size_t(i)].key();
    return keys;
}

// What the store itself answers for the catalog's search.
QStringList storeKeys(TestEnv& env, const QString& typed, const QString& category)
{
    QStringList keys;
    const QList<Row> rows = env.rows(
        QStringLiteral(
            "select \"ID号\" from \"商品\" where lower(\"查询\") like ? escape '\\' and \"分类\" = ? "
            "order by \"ID号\" desc"),
        { containsPattern(typed), category });
    for (const Row& row : rows)
        keys << row.text(QStringLiteral("ID号"));
    return keys;
}

} // namespace

class TestDrugCatalog final : public QObject {
    Q_OBJECT
private slots:
    void theIndexFindsWhatTheStoreFinds()
    {
        TestEnv env;
        insertDrug(env, QStringLiteral("20250101000001"), QStringLiteral("西药"),
            QStringLiteral("O'Neil氏液"), QStringLiteral("oneils"));
        insertDrug(env, QStringLiteral("20250101000002"), QStringLiteral("西药"),
            QStringLiteral("葡萄糖 50%"), QStringLiteral("ptt"));
        insertDrug(env, QStringLiteral("20250101000003"), QStringLiteral("西药"), QStringLiteral("VC_片"),
            QStringLiteral("vcp"));
        insertDrug(env, QStringLiteral("20250101000004"), QStringLiteral("其他"), QStringLiteral("AMX试剂"),
            QStringLiteral("amxsj"));
        insertDrug(env, QStringLiteral("20250101000005"), QStringLiteral("西药"),
            QStringLiteral("维生素Ｃ片"), QStringLiteral("wssp"));
        env.rows(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"分类\") values "
                                "('20250101000006', '无查询', '西药')"));

        CatalogIndex index(env.db);
        const QStringList typed = { QString(), QStringLiteral("a"), QStringLiteral("AMX"),
            QStringLiteral("'"), QStringLiteral("%"), QStringLiteral("50%"), QStringLiteral("_"),
            QStringLiteral("c_"), QStringLiteral("阿莫"), QStringLiteral("zsy"), QStringLiteral("ｃ"),
            QStringLiteral("Ｃ"), QStringLiteral("\\"), QStringLiteral("0.9%氯"), QStringLiteral("无") };
        const QStringList categories = { QStringLiteral("西药"), QStringLiteral("中药"),
            QStringLiteral("其他"), QStringLiteral("用法"), QStringLiteral("没有") };
        for (const QString& category : categories) {
            for (const QString& text : typed) {
                QCOMPARE(keysOf(windowSearch(index, text, category)), storeKeys(env, text, category));
            }
        }
        // The search is not vacuous: these find rows.
        QCOMPARE(windowSearch(index, QStringLiteral("'"), QStringLiteral("西药")).byLookup, 1);
        QCOMPARE(windowSearch(index, QStringLiteral("amx"), QStringLiteral("西药")).rows.at(0).name(),
            QStringLiteral("阿莫西林胶囊 0.25g×24粒"));
        QCOMPARE(index.loads(), 1);
    }

    void changedRowsTakeTheirPlacesWithoutReadingTheCatalogAgain()
    {
        TestEnv env;
        CatalogIndex index(env.db);
        QVERIFY(index.load(nullptr));
        const int before = index.size();
        // A key in the middle of the seed keys, one newer than all, and a deleted row.
        QCOMPARE(saveDrug(env.db,
                     { QStringLiteral("20170417174300"), QStringLiteral("新药甲"), {}, QStringLiteral("xyj"),
                         QStringLiteral("西药") },
                     QStringLiteral("西药"))
                     .outcome,
            SaveOutcome::Inserted);
        QCOMPARE(saveDrug(env.db,
                     { QStringLiteral("20991231235959"), QStringLiteral("新药乙"), {}, QStringLiteral("xyy"),
                         QStringLiteral("西药") },
                     QStringLiteral("西药"))
                     .outcome,
            SaveOutcome::Inserted);
        QVERIFY(deleteDrug(env.db, QStringLiteral("20170417174045")));
        // A row moved to another category and renamed, and a write that the store refuses (a key taken).
        QCOMPARE(saveDrug(env.db,
                     { QStringLiteral("10001"), QStringLiteral("荆芥穗 10g"), {}, QStringLiteral("jjs"),
                         QStringLiteral("其他") },
                     QStringLiteral("中药"))
                     .outcome,
            SaveOutcome::Updated);
        QVERIFY(
            !env.db
                 .run(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"分类\", \"查询\") values "
                                     "('10002', '重复', '西药', '重复cf')"))
                 .ok);

        for (const QString& category :
            { QStringLiteral("西药"), QStringLiteral("中药"), QStringLiteral("其他") })
            QCOMPARE(keysOf(windowSearch(index, QString(), category)), storeKeys(env, QString(), category));
        QCOMPARE(index.size(), before + 1);
        QCOMPARE(windowSearch(index, QString(), QStringLiteral("西药")).rows.at(0).name(),
            QStringLiteral("新药乙"));
        QCOMPARE(windowSearch(index, QStringLiteral("jjs"), QStringLiteral("其他")).rows.at(0).key(),
            QStringLiteral("10001"));
        // Only the changed rows were read again.
        QCOMPARE(index.loads(), 1);
        QCOMPARE(index.rowsRefreshed(), 4);
    }

    void aReadInTheBackgroundTakesInTheChangesMadeWhileItRan()
    {
        // Whether a change lands before the background read begins, while it runs or after it is done, the
        // first search answers what the store holds, from the one read.
        for (const int pause : { 0, 5, 200 }) {
            TestEnv env;
            CatalogIndex index(env.db);
            index.startReading();
            QThread::msleep(pause);
            QCOMPARE(saveDrug(env.db,
                         { QStringLiteral("20991231235959"), QStringLiteral("新药乙"), {},
                             QStringLiteral("xyy"), QStringLiteral("西药") },
                         QStringLiteral("西药"))
                         .outcome,
                SaveOutcome::Inserted);
            QVERIFY(deleteDrug(env.db, QStringLiteral("20170417174045")));
            QVERIFY(env.db
                        .run(QStringLiteral("update \"商品\" set \"分类\" = '其他', \"查询\" = '荆芥穗jjs' "
                                            "where \"ID号\" = '10001'"))
                        .ok);
            for (const QString& category :
                { QStringLiteral("西药"), QStringLiteral("中药"), QStringLiteral("其他") })
                QCOMPARE(
                    keysOf(windowSearch(index, QString(), category)), storeKeys(env, QString(), category));
            QCOMPARE(windowSearch(index, QString(), QStringLiteral("西药")).rows.at(0).name(),
                QStringLiteral("新药乙"));
            QCOMPARE(index.loads(), 1);
        }
    }

    void aBackgroundReadThatCannotOpenTheFileLeavesTheReadToTheFirstSearch()
    {
        QV_FILE_ENGINE_ONLY();
        TestEnv env;
        CatalogIndex index(env.db);
        // The connection stays open, but its file is gone from the folder: a second connection cannot open
        // it.
        const QString moved = env.dataFolder() + QStringLiteral("/elsewhere.dat");
        QVERIFY(QFile::rename(env.dataFolder() + QStringLiteral("/数据库.dat"), moved));
        index.startReading();
        const CatalogHits hits = windowSearch(index, QStringLiteral("amx"), QStringLiteral("西药"));
        QVERIFY(hits.ok);
        QCOMPARE(hits.rows.at(0).name(), QStringLiteral("阿莫西林胶囊 0.25g×24粒"));
        QCOMPARE(index.loads(), 1);
        QVERIFY(QFile::rename(moved, env.dataFolder() + QStringLiteral("/数据库.dat")));
    }

    void rowsAlreadyShownOutliveARefresh()
    {
        TestEnv env;
        CatalogIndex index(env.db);
        const DrugRows shown(windowSearch(index, QStringLiteral("amx"), QStringLiteral("西药")).rows);
        QVERIFY(deleteDrug(env.db, shown.at(0).key()));
        QVERIFY(env.db
                    .run(QStringLiteral(
                        "update \"商品\" set \"名称\" = '改了' where \"ID号\" = '20170417174115'"))
                    .ok);
        QVERIFY(windowSearch(index, QStringLiteral("amx"), QStringLiteral("西药")).rows.empty());
        QCOMPARE(shown.text(0, DrugRows::Name), QStringLiteral("阿莫西林胶囊 0.25g×24粒"));
    }

    void aNewKeyMovesToTheNextFreeSecond()
    {
        TestEnv env;
        const QDateTime t(QDate(2026, 12, 31), QTime(23, 59, 58));
        QCOMPARE(newDrugKey(env.db, t), QStringLiteral("20261231235958"));
        insertDrug(env, QStringLiteral("20261231235958"), QStringLiteral("西药"), QStringLiteral("甲"),
            QStringLiteral("j"));
        insertDrug(env, QStringLiteral("20261231235959"), QStringLiteral("中药"), QStringLiteral("乙"),
            QStringLiteral("y"));
        // Taken in any category; the next second is in the next year and still 14 digits.
        QCOMPARE(newDrugKey(env.db, t), QStringLiteral("20270101000000"));
    }

    void namesGetRoundBracketsAndTimesSigns()
    {
        QCOMPARE(tidyDrugName(QStringLiteral("（复方）[甘草]片*2")), QStringLiteral("(复方)(甘草)片×2"));
        const QString typed = QStringLiteral("a（b[c*");
        QCOMPARE(tidyDrugName(typed).size(), typed.size()); // one for one, so a caret stays put
    }

    void blankNamesAreRefusedOnlyForNewRows()
    {
        TestEnv env;
        const int before = env.count(QStringLiteral("商品"));
        const SaveResult refused = saveDrug(env.db,
            { QStringLiteral("20261208093000"), QStringLiteral("   "), QStringLiteral("口服"), {},
                QStringLiteral("西药") },
            QStringLiteral("西药"));
        QCOMPARE(refused.outcome, SaveOutcome::NameMissing);
        QCOMPARE(env.count(QStringLiteral("商品")), before);

        const SaveResult cleared = saveDrug(env.db,
            { QStringLiteral("20170417174045"), QString(), QStringLiteral("口服"), QString(),
                QStringLiteral("西药") },
            QStringLiteral("西药"));
        QCOMPARE(cleared.outcome, SaveOutcome::Updated);
        const QList<Row> row
            = env.rows(QStringLiteral("select * from \"商品\" where \"ID号\" = '20170417174045'"));
        QCOMPARE(row.size(), 1);
        QCOMPARE(row[0].text(QStringLiteral("名称")), QString());
        QCOMPARE(row[0].text(QStringLiteral("用法")), QStringLiteral("口服"));
        QCOMPARE(row[0].text(QStringLiteral("查询")), QString());
        QCOMPARE(env.count(QStringLiteral("商品")), before);
    }

    void aSaveTheStoreRefusesSaysSoAndWritesNothing()
    {
        TestEnv env;
        // The key belongs to a 中药 row, so under 西药 it looks new, and the store's unique key refuses it.
        const SaveResult r = saveDrug(env.db,
            { QStringLiteral("10000"), QStringLiteral("桂枝 20g"), {}, QStringLiteral("gz"),
                QStringLiteral("西药") },
            QStringLiteral("西药"));
        QCOMPARE(r.outcome, SaveOutcome::Failed);
        QVERIFY(!r.error.isEmpty());
        const QList<Row> row
            = env.rows(QStringLiteral("select \"名称\", \"分类\" from \"商品\" where \"ID号\" = '10000'"));
        QCOMPARE(row.size(), 1);
        QCOMPARE(row[0].text(QStringLiteral("名称")), QStringLiteral("桂枝 10g"));
        QCOMPARE(row[0].text(QStringLiteral("分类")), QStringLiteral("中药"));
    }
};

QTEST_MAIN(TestDrugCatalog)
#include "tst_drugcatalog.moc"
