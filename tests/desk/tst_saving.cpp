// The stored prescription without the window: saving by key, refusing what the store cannot keep, keys that
// stay unique, and the archive query whose lines carry their own keys.

#include "catalogs/drugcatalog.h"
#include "catalogs/templatestore.h"
#include "desk/archive.h"
#include "desk/prescriptionrecord.h"
#include "maintenance/migration.h"
#include "store/template/templatedb.h"
#include "tests/support/commitproxy.h"
#include "tests/support/failingvfs.h"
#include "tests/support/testenv.h"
#include "tests/support/testserver.h"

#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

PrescriptionRecord record(const QString& key, const QString& owner, const QString& date = "2026-12-08")
{
    PrescriptionRecord r;
    r.key = key;
    r.fields[0] = owner;
    r.fields[1] = "20261208093000";
    r.fields[2] = "犬";
    r.fields[3] = "公";
    r.fields[5] = "3";
    r.fields[6] = date;
    r.body = "阿莫西林 1盒\r\n    用法：口服 每日2次";
    return r;
}

QString column(TestEnv& env, const QString& key, const QString& name)
{
    const QList<Row> rows = env.rows(QString("select * from \"档案\" where \"序号\" = ?"), { key });
    return rows.size() == 1 ? rows.first().text(name) : QString("<%1 rows>").arg(rows.size());
}

// The template database carries one sample prescription; these tests count from an empty archive.
void emptyArchive(TestEnv& env) { QVERIFY(env.db.run("delete from \"档案\"").ok); }

QStringList texts(const ArchiveResult& result)
{
    QStringList t;
    for (int i = 0; i < result.lines.size(); ++i)
        t << result.lines.text(i);
    return t;
}

} // namespace

class SavingTest final : public QObject {
    Q_OBJECT

private slots:
    void savingTwiceKeepsOneRowWithTheLaterValues()
    {
        TestEnv env;
        emptyArchive(env);
        PrescriptionRecord r = record("K1", "张三");
        QVERIFY(saveRecord(env.db, r).ok);
        r.fields[0] = "李四";
        r.fields[1] = "A-77"; // the archive number is a field like any other; the key decides the row
        r.body = "头孢 2盒";
        QVERIFY(saveRecord(env.db, r).ok);
        QCOMPARE(env.count("档案"), 1);
        QCOMPARE(column(env, "K1", "0"), QString("李四"));
        QCOMPARE(column(env, "K1", "1"), QString("A-77"));
        QCOMPARE(column(env, "K1", "T1"), QString("头孢 2盒"));
        // Another key is another row.
        QVERIFY(saveRecord(env.db, record("K2", "张三")).ok);
        QCOMPARE(env.count("档案"), 2);
    }

    void anEmptyPrescriptionStoresEmptyTextsAndLeavesTheSpareColumnsNull()
    {
        TestEnv env;
        emptyArchive(env);
        PrescriptionRecord r;
        r.key = "20261208093000-TAG";
        r.fields[1] = "20261208093000";
        r.fields[6] = "2026-12-08";
        r.fields[7] = "林志远";
        r.fields[8] = "37010220170001";
        r.fields[9] = "王晓梅";
        QVERIFY(saveRecord(env.db, r).ok);
        const QList<Row> rows = env.rows("select * from \"档案\"");
        QCOMPARE(rows.size(), 1);
        const Row& row = rows.first();
        for (int i : { 0, 2, 3, 4, 5, 10, 11, 12 }) {
            QVERIFY2(!row.isNull(QString::number(i)), qPrintable(QString::number(i)));
            QCOMPARE(row.text(QString::number(i)), QString());
        }
        QVERIFY(!row.isNull("T1"));
        QCOMPARE(row.text("1"), QString("20261208093000"));
        QCOMPARE(row.text("6"), QString("2026-12-08"));
        QCOMPARE(row.text("9"), QString("王晓梅"));
        QCOMPARE(row.text("序号"), r.key);
        for (int i = 13; i <= 22; ++i)
            QVERIFY2(row.isNull(QString::number(i)), qPrintable(QString::number(i)));
        QVERIFY(row.isNull("T2") && row.isNull("T3"));
    }

    void theDateIsStoredAsADateOrRefused()
    {
        TestEnv env;
        emptyArchive(env);
        QVERIFY(saveRecord(env.db, record("K1", "张三", " 2026-1-3 ")).ok);
        QCOMPARE(column(env, "K1", "6"), QString("2026-01-03"));

        // A date the store cannot compare is refused, and the stored row keeps its values.
        for (const QString& bad :
            { QString("2026-02-30"), QString("明天"), QString(), QString("2026-12-08x") }) {
            PrescriptionRecord changed = record("K1", "李四", bad);
            const Result saved = saveRecord(env.db, changed);
            QVERIFY2(!saved.ok, qPrintable(bad));
            QVERIFY(saved.error.contains("2016-01-03"));
            QVERIFY(notSavedMessage(saved.error).contains("没有保存"));
            QCOMPARE(column(env, "K1", "0"), QString("张三"));
        }
        QVERIFY(!saveRecord(env.db, record("K2", "王五", "2026/13/01")).ok);
        QCOMPARE(env.count("档案"), 1);
    }

    void aStoreThatRefusesTheWriteIsReportedAndKeepsTheEarlierRow()
    {
        TestEnv env;
        emptyArchive(env);
        env.reopenOnFailingDisk();
        QVERIFY(saveRecord(env.db, record("K1", "张三")).ok);
        env.refuseWrites();
        const Result saved = saveRecord(env.db, record("K1", "李四"));
        const Result added = saveRecord(env.db, record("K2", "王五"));
        env.allowWrites();
        QVERIFY(!saved.ok && !saved.error.isEmpty());
        QVERIFY(!added.ok);
        env.reopen();
        QCOMPARE(column(env, "K1", "0"), QString("张三"));
        QCOMPARE(env.count("档案"), 1);

        env.db.close();
        QVERIFY(!saveRecord(env.db, record("K3", "赵六")).ok);
    }

    // The connection breaks at the commit: after the server stored it (its answer lost), or before the
    // server heard it. A save is then neither doubled under the next key, nor refused as changed elsewhere
    // when saved again, nor reported as saved when it was not.
    void aCommitWhoseAnswerIsLostIsCheckedNotGuessed()
    {
        if (!onServer())
            QSKIP("a file's commit never loses its answer");
        const QString connection = newServerDatabase();
        CommitProxy proxy(connection);
        Database db;
        QString error;
        QVERIFY2(db.openServer(proxy.connection(), &error), qPrintable(error));
        QVERIFY(db.run("delete from \"档案\"").ok);
        const auto stored = [&](const QString& owner) {
            return db.run("select count(*) as n from \"档案\" where \"0\" = ?", { owner })
                .rows.value(0)
                .value("n")
                .toInt();
        };
        const auto named = [&](const QString& table, const QString& name) {
            return db
                .run(QStringLiteral("select count(*) as n from \"%1\" where \"名称\" = ?").arg(table),
                    { name })
                .rows.value(0)
                .value("n")
                .toInt();
        };

        proxy.cutNextCommit(CommitProxy::Cut::AfterTheServerAnswers);
        PrescriptionRecord first = record("20261208093000", "张三");
        const DeskSave saved = saveRecordFromDesk(db, first);
        QVERIFY(proxy.cutDone());
        QVERIFY2(saved.result, qPrintable(saved.result.error));
        QCOMPARE(stored("张三"), 1);
        first.seen = saved.seen;
        first.body = "头孢 1盒";
        proxy.cutNextCommit(CommitProxy::Cut::AfterTheServerAnswers);
        const DeskSave changed = saveRecordFromDesk(db, first);
        QVERIFY2(changed.result, qPrintable(changed.result.error));
        first.seen = changed.seen;
        QVERIFY2(saveRecordFromDesk(db, first).result, "saved again: no false conflict");
        QCOMPARE(stored("张三"), 1);

        proxy.cutNextCommit(CommitProxy::Cut::BeforeTheServerHearsIt);
        const DeskSave lost = saveRecordFromDesk(db, record("20261208093100", "李四"));
        QVERIFY(proxy.cutDone());
        QVERIFY(!lost.result);
        QVERIFY(!lost.result.outcomeUnknown);
        QCOMPARE(stored("李四"), 0);
        QVERIFY(saveRecordFromDesk(db, record("20261208093100", "李四")).result);
        QCOMPARE(stored("李四"), 1);

        proxy.cutNextCommit(CommitProxy::Cut::AfterTheServerAnswers);
        const SaveResult drug
            = saveDrug(db, { "20261208093200", "新药", {}, "xy", "西药", true, {} }, "西药");
        QCOMPARE(drug.outcome, SaveOutcome::Inserted);
        QCOMPARE(named("商品", "新药"), 1);

        // The server cannot be reached to ask either: saving again once it is back stores it once, whether
        // the lost commit was stored or not, without a false conflict when it changes a stored one. Saved as
        // the desk does: after an unknown outcome it keeps the key and what was sent.
        const auto saveUnknown = [&](PrescriptionRecord& r, CommitProxy::Cut cut) {
            proxy.refuseNewConnections(true);
            proxy.cutNextCommit(cut);
            const DeskSave lost = saveRecordFromDesk(db, r);
            proxy.refuseNewConnections(false);
            r.key = lost.key;
            r.seen = lost.seen;
            r.unconfirmed = lost.unconfirmed;
            return lost.result.outcomeUnknown && !lost.result;
        };
        const auto saveAgain = [&](PrescriptionRecord& r) {
            const DeskSave saved = saveRecordFromDesk(db, r);
            r.seen = saved.seen;
            r.unconfirmed = saved.unconfirmed;
            return saved.conflict == RowConflict::None && saved.result;
        };

        for (const auto cut :
            { CommitProxy::Cut::AfterTheServerAnswers, CommitProxy::Cut::BeforeTheServerHearsIt }) {
            const QString owner = cut == CommitProxy::Cut::AfterTheServerAnswers ? "王五" : "赵六";
            PrescriptionRecord r = record(owner == "王五" ? "20261208093400-T" : "20261208093500-T", owner);
            QVERIFY(saveUnknown(r, cut));
            QVERIFY2(saveAgain(r), qPrintable(owner));
            QCOMPARE(stored(owner), 1);
            // A change of the stored prescription, lost the same way, then saved again.
            r.body = "头孢 1盒";
            QVERIFY(saveUnknown(r, cut));
            QVERIFY2(saveAgain(r), qPrintable(owner));
            QCOMPARE(stored(owner), 1);
            QCOMPARE(
                db.run("select \"T1\" from \"档案\" where \"序号\" = ?", { r.key }).rows.value(0).text("T1"),
                QString("头孢 1盒"));
        }
        // A new drug, as the catalog window saves it again: under the key the lost save wrote, not fresh.
        for (const auto cut :
            { CommitProxy::Cut::AfterTheServerAnswers, CommitProxy::Cut::BeforeTheServerHearsIt }) {
            const QString name = cut == CommitProxy::Cut::AfterTheServerAnswers ? "新药甲" : "新药乙";
            DrugEntry drug { name == "新药甲" ? "20261208093600" : "20261208093700", name, {}, "xy", "西药",
                true, {} };
            proxy.refuseNewConnections(true);
            proxy.cutNextCommit(cut);
            const SaveResult lost = saveDrug(db, drug, "西药");
            proxy.refuseNewConnections(false);
            QVERIFY(lost.outcome == SaveOutcome::Failed && lost.outcomeUnknown);
            drug.key = lost.key;
            drug.fresh = false;
            QVERIFY(saveDrug(db, drug, "西药").outcome != SaveOutcome::Failed);
            QCOMPARE(named("商品", name), 1);
            // A new template, as the templates window saves it again.
            TemplateRecord set { drug.key, name, "xy", "内容", QStringLiteral("个人组套"), true, {} };
            proxy.refuseNewConnections(true);
            proxy.cutNextCommit(cut);
            const TemplateSave lostSet = saveTemplate(db, set);
            proxy.refuseNewConnections(false);
            QVERIFY(lostSet.outcome == TemplateSave::Outcome::Failed && lostSet.outcomeUnknown);
            set.key = lostSet.key;
            set.fresh = false;
            QVERIFY(saveTemplate(db, set).outcome != TemplateSave::Outcome::Failed);
            QCOMPARE(named("个人模板", name), 1);
        }
        db.close();
        dropServerDatabase(connection);

        // Moving a file's archive onto the server: the copy is counted and checksummed there afresh.
        QTemporaryDir files;
        const QString path = files.filePath("数据库.dat");
        Database file;
        QVERIFY(writeTemplateDatabase(path, &error) && file.open(path, &error));
        QVERIFY(file.run("insert into \"档案\" (\"0\", \"序号\") values ('王五', 'k1')").ok);
        const QString target = newServerDatabase();
        CommitProxy toTarget(target);
        Database server;
        QVERIFY2(server.openServer(toTarget.connection(), &error), qPrintable(error));
        // The set-up's check of the database commits first; the copy's commit is the one cut.
        toTarget.cutNextCommit(CommitProxy::Cut::AfterTheServerAnswers, 1);
        MigrationReport report;
        const Result moved = migrateToServer(file, server, &report);
        QVERIFY(toTarget.cutDone());
        QVERIFY2(moved, qPrintable(moved.error));
        QVERIFY(report.matches());
        server.close();
        dropServerDatabase(target);
    }

    void loadingGivesTheStoredFieldsAndNullColumnsAsEmpty()
    {
        TestEnv env;
        emptyArchive(env);
        QVERIFY(saveRecord(env.db, record("K1", "张三")).ok);
        const auto loaded = loadRecord(env.db, "K1");
        QVERIFY(loaded);
        QCOMPARE(loaded->fields[0], QString("张三"));
        QCOMPARE(loaded->fields[6], QString("2026-12-08"));
        QCOMPARE(loaded->body, record("K1", "").body);
        QCOMPARE(loaded->key, QString("K1"));

        // A row written elsewhere, with nulls and a date carrying a time.
        QVERIFY(env.db
                    .run("insert into \"档案\" (\"序号\", \"0\", \"6\") values ('OLD', '老王', '2015-03-04 "
                         "00:00:00')")
                    .ok);
        const auto old = loadRecord(env.db, "OLD");
        QVERIFY(old);
        QCOMPARE(old->fields[0], QString("老王"));
        QCOMPARE(old->fields[2], QString());
        QCOMPARE(old->fields[6], QString("2015-03-04"));
        QCOMPARE(old->body, QString());

        QString error;
        QVERIFY(!loadRecord(env.db, "NONE", &error));
        QVERIFY(!error.isEmpty());
    }

    void deletingRemovesOnlyTheRowOfTheKey()
    {
        TestEnv env;
        emptyArchive(env);
        QVERIFY(saveRecord(env.db, record("K1", "张三")).ok);
        QVERIFY(saveRecord(env.db, record("K2", "张三")).ok);
        QVERIFY(deleteRecord(env.db, "K1").ok);
        QCOMPARE(env.count("档案"), 1);
        QCOMPARE(column(env, "K2", "0"), QString("张三"));
        QVERIFY(deleteRecord(env.db, "NONE").ok);
        QCOMPARE(env.count("档案"), 1);

        env.reopenOnFailingDisk();
        env.refuseWrites();
        const Result refused = deleteRecord(env.db, "K2");
        env.allowWrites();
        QVERIFY(!refused.ok);
    }

    void keysWithinOneSecondStayUnique()
    {
        TestEnv env;
        emptyArchive(env);
        RecordKeys keys(&env.db, env.context.installationTag);
        const QDateTime now(QDate(2026, 12, 8), QTime(9, 30, 0));
        const QString first = keys.nextTagged(now);
        const QString second = keys.nextTagged(now);
        QCOMPARE(first, "20261208093000" + env.context.installationTag);
        QCOMPARE(second, "20261208093001" + env.context.installationTag);
        QCOMPARE(keys.nextPlain(now), QString("20261208093000"));
        QCOMPARE(keys.nextPlain(now), QString("20261208093001"));
        // A later second is taken as it is.
        QCOMPARE(keys.nextTagged(now.addSecs(5)), "20261208093005" + env.context.installationTag);
    }

    void aKeyAlreadyStoredIsNotHandedOutAgain()
    {
        TestEnv env;
        emptyArchive(env);
        const QDateTime now(QDate(2026, 12, 8), QTime(9, 30, 59));
        QVERIFY(saveRecord(env.db, record("20261208093059" + env.context.installationTag, "张三")).ok);
        QVERIFY(saveRecord(env.db, record("20261208093100" + env.context.installationTag, "李四")).ok);
        // A new run (a fresh key maker) in the same second.
        RecordKeys keys(&env.db, env.context.installationTag);
        QCOMPARE(keys.nextTagged(now), "20261208093101" + env.context.installationTag);
        // Without a store the keys of the run still differ.
        RecordKeys unstored(nullptr, "");
        QVERIFY(unstored.nextTagged(now) != unstored.nextTagged(now));
    }

    void archiveLinesShowTheRowNewestKeyFirstAndCarryTheirKeys()
    {
        TestEnv env;
        emptyArchive(env);
        PrescriptionRecord a = record("20261201080000", "张三", "2026-12-01");
        a.fields[5] = "2岁";
        PrescriptionRecord b = record("20261205080000-T", "李四", "2026-12-05");
        b.fields[2] = "猫";
        b.fields[3] = "母";
        b.fields[5] = "";
        QVERIFY(saveRecord(env.db, a).ok);
        QVERIFY(saveRecord(env.db, b).ok);
        const ArchiveResult all = queryArchive(env.db, "", "2026-11-08", "2026-12-08");
        QVERIFY(all.ok);
        QCOMPARE(texts(all), QStringList({ "李四[猫,母,,2026-12-05]", "张三[犬,公,2岁,2026-12-01]" }));
        QCOMPARE(all.lines.key(0), b.key);
        QCOMPARE(all.lines.key(1), a.key);
    }

    void archiveDatesAreInclusiveAndAStartAfterTheEndFindsNothing()
    {
        TestEnv env;
        emptyArchive(env);
        QVERIFY(saveRecord(env.db, record("K1", "张三", "2026-12-01")).ok);
        QVERIFY(saveRecord(env.db, record("K2", "张三", "2026-12-08")).ok);
        QCOMPARE(queryArchive(env.db, "", "2026-12-01", "2026-12-01").lines.size(), 1);
        QCOMPARE(queryArchive(env.db, "", "2026-12-08", "2026-12-08").lines.size(), 1);
        QCOMPARE(queryArchive(env.db, "", "2026-12-1", "2026-12-8").lines.size(), 2);
        const ArchiveResult reversed = queryArchive(env.db, "", "2026-12-08", "2026-12-01");
        QVERIFY(reversed.ok);
        QVERIFY(reversed.lines.isEmpty());
    }

    void anArchiveQueryWithABadDateOrNoStoreFails()
    {
        TestEnv env;
        emptyArchive(env);
        QVERIFY(saveRecord(env.db, record("K1", "张三")).ok);
        for (const auto& [start, end] : QList<QPair<QString, QString>> {
                 { "2026-02-30", "2026-12-08" }, { "2026-11-08", "十二月" }, { "", "2026-12-08" } }) {
            const ArchiveResult r = queryArchive(env.db, "", start, end);
            QVERIFY2(!r.ok, qPrintable(start + " " + end));
            QVERIFY(r.lines.isEmpty());
        }
        env.db.close();
        QVERIFY(!queryArchive(env.db, "", "2026-11-08", "2026-12-08").ok);
    }

    void theOwnerFilterFindsTypedTextLiterally()
    {
        TestEnv env;
        emptyArchive(env);
        QVERIFY(saveRecord(env.db, record("K1", "张三丰")).ok);
        QVERIFY(saveRecord(env.db, record("K2", "O'Brien 100%")).ok);
        QVERIFY(saveRecord(env.db, record("K3", "O_Brien")).ok);
        auto keys = [&](const QString& owner) {
            QStringList k;
            const ArchiveLines lines = queryArchive(env.db, owner, "2026-12-01", "2026-12-31").lines;
            for (int i = 0; i < lines.size(); ++i)
                k << lines.key(i);
            return k;
        };
        QCOMPARE(keys("三"), QStringList({ "K1" }));
        QCOMPARE(keys("'"), QStringList({ "K2" }));
        QCOMPARE(keys("%"), QStringList({ "K2" }));
        QCOMPARE(keys("_"), QStringList({ "K3" }));
        QCOMPARE(keys(""), QStringList({ "K3", "K2", "K1" }));
    }

    void theDateButtonsGiveSingleDaysAndOwnerTypingTenYears()
    {
        const QDate today(2024, 2, 29);
        QCOMPARE(todayRange(today).start, QString("2024-02-29"));
        QCOMPARE(todayRange(today).end, QString("2024-02-29"));
        QCOMPARE(ownerTypingRange(today).start, QString("2014-02-28"));
        QCOMPARE(ownerTypingRange(today).end, QString("2024-02-29"));

        const ArchiveRange back = steppedDayRange("2026-02-01", "2026-03-01", -1);
        QCOMPARE(back.start, QString("2026-02-28"));
        QCOMPARE(back.end, QString("2026-02-28"));
        QCOMPARE(steppedDayRange("2026-02-01", "2026-12-31", 1).start, QString("2027-01-01"));
        // An end that is no date: the start stays and the end takes it.
        const ArchiveRange kept = steppedDayRange("2026-02-01", "昨天", 1);
        QCOMPARE(kept.start, QString("2026-02-01"));
        QCOMPARE(kept.end, QString("2026-02-01"));
    }

    void theDeletePanelOpensBesideTheMouseAndNoLowerThan6960()
    {
        const QPointF list(60, 6300);
        QCOMPARE(deletePanelPosition(list, QPointF(300, 200)), QPointF(420, 6560));
        QCOMPARE(deletePanelPosition(list, QPointF(300, 620)), QPointF(420, 6960));
        QCOMPARE(deletePanelPosition(list, QPointF(300, 2000)), QPointF(420, 6960));
    }
};

QTEST_GUILESS_MAIN(SavingTest)
#include "tst_saving.moc"
