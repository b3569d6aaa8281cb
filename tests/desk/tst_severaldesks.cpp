// Two desks on one archive, each with a connection of its own (on the file, two programs on one file): keys
// made in the same second stay apart, a second save of a row changed at the other desk is refused, and the
// other desk's catalog index follows the notes the database writes.

#include "catalogs/catalogindex.h"
#include "catalogs/drugcatalog.h"
#include "catalogs/templatestore.h"
#include "desk/prescriptionrecord.h"
#include "settings/settingsstore.h"
#include "tests/support/testenv.h"

#include <QtTest>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

const QString kSecond = QStringLiteral("20261210090000");

PrescriptionRecord prescription(const QString& key, const QString& owner)
{
    PrescriptionRecord r;
    r.key = key;
    r.fields[0] = owner;
    r.fields[6] = QStringLiteral("2026-12-10");
    r.body = QStringLiteral("阿莫西林 1盒");
    return r;
}

// A second desk: its own connection to the same store.
std::unique_ptr<Database> otherDesk(TestEnv& env)
{
    auto db = std::make_unique<Database>();
    QString error;
    if (!db->open(env.db.opener(), &error))
        qFatal("%s", qPrintable(error));
    return db;
}

int rowsOf(TestEnv& env, const QString& table, const QString& where, const QVariantList& params)
{
    return env.count(table, where, params);
}

bool indexHolds(CatalogIndex& index, const QString& name)
{
    CatalogSearch search;
    search.typed = name;
    search.category = QStringLiteral("西药");
    const CatalogHits hits = index.search(search);
    return hits.ok && !hits.rows.empty() && hits.rows.front().name() == name;
}

} // namespace

class SeveralDesksTest final : public QObject {
    Q_OBJECT

private slots:
    void keysMadeInOneSecondAtTwoDesksNeverMeet()
    {
        // Both desks create from the same second, again and again: every record is stored once, under a key
        // of its own, and no save fails.
        TestEnv env;
        QVERIFY(env.db.run("delete from \"档案\"").ok);
        constexpr int kEach = 1000;
        constexpr int kCatalogEach = 200;
        std::unique_ptr<Database> desks[2] = { otherDesk(env), otherDesk(env) };
        QStringList failures[2];
        const auto work = [&](int desk) {
            Database& db = *desks[desk];
            for (int i = 0; i < kEach; ++i) {
                const DeskSave saved = saveRecordFromDesk(
                    db, prescription(kSecond, QStringLiteral("desk%1-%2").arg(desk).arg(i)));
                if (!saved.result)
                    failures[desk] << saved.result.error;
            }
            for (int i = 0; i < kCatalogEach; ++i) {
                DrugEntry drug { kSecond, QStringLiteral("药%1-%2").arg(desk).arg(i), {}, QStringLiteral("y"),
                    QStringLiteral("西药"), true, {} };
                const SaveResult d = saveDrug(db, drug, QStringLiteral("西药"));
                if (d.outcome != SaveOutcome::Inserted)
                    failures[desk] << d.error;
                TemplateRecord t { kSecond, QStringLiteral("模板%1-%2").arg(desk).arg(i), {},
                    QStringLiteral("内容"), kPersonalSets, true, {} };
                const TemplateSave s = saveTemplate(db, t);
                if (s.outcome != TemplateSave::Outcome::Added)
                    failures[desk] << s.error;
            }
        };
        std::thread first(work, 0);
        std::thread second(work, 1);
        first.join();
        second.join();
        QVERIFY2(failures[0].isEmpty(), qPrintable(failures[0].join('\n')));
        QVERIFY2(failures[1].isEmpty(), qPrintable(failures[1].join('\n')));

        QCOMPARE(env.count("档案"), 2 * kEach);
        QCOMPARE(env.rows("select count(distinct \"序号\") as n from \"档案\"").first().value("n").toInt(),
            2 * kEach);
        QCOMPARE(env.rows("select count(distinct \"0\") as n from \"档案\"").first().value("n").toInt(),
            2 * kEach);
        // The keys are the seconds that follow, one each, as the desk's own key maker would give them.
        const QList<Row> range = env.rows("select min(\"序号\") as lo, max(\"序号\") as hi from \"档案\"");
        QCOMPARE(range.first().text("lo"), kSecond);
        QCOMPARE(range.first().text("hi"),
            QDateTime::fromString(kSecond, "yyyyMMddHHmmss")
                .addSecs(2 * kEach - 1)
                .toString("yyyyMMddHHmmss"));
        QCOMPARE(rowsOf(env, "商品", "\"名称\" like '药%'", {}), 2 * kCatalogEach);
        QCOMPARE(env.rows("select count(distinct \"ID号\") as n from \"商品\" where \"名称\" like '药%'")
                     .first()
                     .value("n")
                     .toInt(),
            2 * kCatalogEach);
        QCOMPARE(rowsOf(env, "个人模板", "\"名称\" like '模板%'", {}), 2 * kCatalogEach);
        QCOMPARE(
            env.rows("select count(distinct \"序号\") as n from \"个人模板\" where \"名称\" like '模板%'")
                .first()
                .value("n")
                .toInt(),
            2 * kCatalogEach);
    }

    void aPrescriptionChangedAtTheOtherDeskIsNotOverwritten()
    {
        TestEnv env;
        std::unique_ptr<Database> other = otherDesk(env);
        QVERIFY(saveRecordFromDesk(env.db, prescription(kSecond, "张三")).result.ok);
        std::optional<PrescriptionRecord> here = loadRecord(env.db, kSecond);
        std::optional<PrescriptionRecord> there = loadRecord(*other, kSecond);
        QVERIFY(here && there);

        there->fields[0] = "李四";
        const DeskSave first = saveRecordFromDesk(*other, *there);
        QVERIFY(first.result.ok);
        here->body = "青霉素 1支";
        const DeskSave second = saveRecordFromDesk(env.db, *here);
        QVERIFY(!second.result.ok);
        QCOMPARE(second.conflict, RowConflict::Changed);
        QVERIFY(second.result.error.contains("另一台电脑"));
        QVERIFY(conflictQuestion(second.conflict).contains("另存为一张新处方"));
        QCOMPARE(loadRecord(env.db, kSecond)->fields[0], QString("李四"));
        QCOMPARE(loadRecord(env.db, kSecond)->body, QString("阿莫西林 1盒"));

        // The other desk saves again on what it saved: no conflict with itself.
        there->seen = first.seen;
        there->fields[1] = "A-1";
        QVERIFY(saveRecordFromDesk(*other, *there).result.ok);

        // Deleted at the other desk: refused as well; saved as a new prescription it is kept whole.
        QVERIFY(deleteRecord(*other, kSecond).ok);
        const DeskSave gone = saveRecordFromDesk(env.db, *here);
        QCOMPARE(gone.conflict, RowConflict::Deleted);
        QCOMPARE(env.count("档案", "\"序号\" = ?", { kSecond }), 0);
        here->seen.clear();
        const DeskSave asNew = saveRecordFromDesk(env.db, *here);
        QVERIFY(asNew.result.ok);
        QCOMPARE(loadRecord(env.db, asNew.key)->body, QString("青霉素 1支"));
    }

    void twoDesksSavingOneLoadedPrescriptionAtOnceStoreOneOfThem()
    {
        // Both desks loaded the same row and save at the same moment: exactly one save goes through, the
        // other is refused (the row is read locked inside the save on the server).
        TestEnv env;
        std::unique_ptr<Database> desks[2] = { otherDesk(env), otherDesk(env) };
        QVERIFY(saveRecordFromDesk(env.db, prescription(kSecond, "张三")).result.ok);
        for (int round = 0; round < 40; ++round) {
            const PrescriptionRecord stored = *loadRecord(env.db, kSecond);
            DeskSave outcome[2];
            const auto save = [&](int desk) {
                PrescriptionRecord mine = stored;
                mine.fields[0] = QStringLiteral("round%1-desk%2").arg(round).arg(desk);
                outcome[desk] = saveRecordFromDesk(*desks[desk], mine);
            };
            std::thread a(save, 0);
            std::thread b(save, 1);
            a.join();
            b.join();
            QCOMPARE(int(outcome[0].result.ok) + int(outcome[1].result.ok), 1);
            const int winner = outcome[0].result.ok ? 0 : 1;
            QCOMPARE(outcome[1 - winner].conflict, RowConflict::Changed);
            QCOMPARE(loadRecord(env.db, kSecond)->fields[0],
                QStringLiteral("round%1-desk%2").arg(round).arg(winner));
        }
    }

    void drugsTemplatesAndSettingsChangedElsewhereAreRefused()
    {
        TestEnv env;
        std::unique_ptr<Database> other = otherDesk(env);

        // A drug both desks show; the other desk renames it first.
        const QString key = "20170417174045";
        const QList<Row> drug = env.rows("select * from \"商品\" where \"ID号\" = ?", { key });
        QCOMPARE(drug.size(), 1);
        const QStringList seen
            = drugSeen(drug[0].text("名称"), drug[0].text("用法"), drug[0].text("拼音"), "西药");
        DrugEntry there { key, "改名", drug[0].text("用法"), drug[0].text("拼音"), "西药", false, seen };
        QCOMPARE(saveDrug(*other, there, "西药").outcome, SaveOutcome::Updated);
        DrugEntry here { key, "本机", drug[0].text("用法"), drug[0].text("拼音"), "西药", false, seen };
        SaveResult refused = saveDrug(env.db, here, "西药");
        QCOMPARE(refused.outcome, SaveOutcome::Failed);
        QCOMPARE(refused.conflict, RowConflict::Changed);
        QCOMPARE(env.rows("select \"名称\" from \"商品\" where \"ID号\" = ?", { key }).first().text("名称"),
            QString("改名"));
        // Moved to another category there: a rename here would move it back unasked.
        const QStringList renamed = drugSeen("改名", drug[0].text("用法"), drug[0].text("拼音"), "西药");
        DrugEntry moved { key, "改名", drug[0].text("用法"), drug[0].text("拼音"), "其他", false, renamed };
        QCOMPARE(saveDrug(*other, moved, "西药").outcome, SaveOutcome::Updated);
        here.seen = renamed;
        QCOMPARE(saveDrug(env.db, here, "西药").conflict, RowConflict::Changed);
        QCOMPARE(env.rows("select \"分类\" from \"商品\" where \"ID号\" = ?", { key }).first().text("分类"),
            QString("其他"));
        QVERIFY(deleteDrug(*other, key).ok);
        here.seen = drugSeen("改名", drug[0].text("用法"), drug[0].text("拼音"), "其他");
        refused = saveDrug(env.db, here, "西药");
        QCOMPARE(refused.conflict, RowConflict::Deleted);
        QCOMPARE(env.count("商品", "\"ID号\" = ?", { key }), 0);

        // A template.
        const TemplateRecord stored { kSecond, "组套", "zt", "内容甲", kPersonalSets, true, {} };
        QVERIFY(saveTemplate(env.db, stored).outcome == TemplateSave::Outcome::Added);
        TemplateRecord mine = *loadTemplate(env.db, kSecond, kPersonalSets);
        mine.seen = templateSeen(mine);
        TemplateRecord theirs = mine;
        theirs.body = "内容乙";
        QVERIFY(saveTemplate(*other, theirs).outcome == TemplateSave::Outcome::Changed);
        mine.body = "内容丙";
        const TemplateSave t = saveTemplate(env.db, mine);
        QCOMPARE(t.conflict, RowConflict::Changed);
        QCOMPARE(loadTemplate(env.db, kSecond, kPersonalSets)->body, QString("内容乙"));

        // The settings row.
        const std::optional<StoredSettings> read = readStoredSettings(env.db);
        QVERIFY(read);
        SettingsToSave values { "诊所", "王医生", "1", "发药", "0", "0", "", "" };
        QString error;
        QVERIFY(writeSettings(*other, { "别的诊所", "", "", "", "0", "0", "", "" }, &error, &*read));
        bool changedElsewhere = false;
        QVERIFY(!writeSettings(env.db, values, &error, &*read, &changedElsewhere));
        QVERIFY(changedElsewhere);
        QVERIFY(error.contains("另一台电脑"));
        QCOMPARE(readStoredSettings(env.db)->practiceName.value_or(""), QString("别的诊所"));
    }

    void aDrugAddedAtOneDeskIsFoundAtTheOther()
    {
        // The other desk's index was read before; the drug comes in through the notes the database wrote, on
        // the next search and, without one, by the index's own watch (a notification or the poll).
        TestEnv env;
        std::unique_ptr<Database> other = otherDesk(env);
        CatalogIndex there(*other);
        QVERIFY(there.load(nullptr));
        int woken = 0;
        there.setChangedCallback([&] { ++woken; });
        there.watch();

        DrugEntry drug { kSecond, "新药甲", {}, "xyj", "西药", true, {} };
        QCOMPARE(saveDrug(env.db, drug, "西药").outcome, SaveOutcome::Inserted);
        QTRY_VERIFY_WITH_TIMEOUT(woken > 0, 2000);
        QVERIFY(indexHolds(there, "新药甲"));
        QCOMPARE(there.loads(), 1);

        // Renamed and then deleted here: gone there too, still without reading the whole table again.
        drug.fresh = false;
        drug.seen = drugSeen("新药甲", {}, "xyj", "西药");
        drug.name = "新药乙";
        QCOMPARE(saveDrug(env.db, drug, "西药").outcome, SaveOutcome::Updated);
        QVERIFY(indexHolds(there, "新药乙"));
        QVERIFY(!indexHolds(there, "新药甲"));
        QVERIFY(deleteDrug(env.db, kSecond).ok);
        QVERIFY(!indexHolds(there, "新药乙"));
        QCOMPARE(there.loads(), 1);

        // A read that failed (a locked file, a server gone half way) leaves the index without rows, as
        // forget() does: its watch reads them again instead of following nothing until the next search.
        there.forget();
        woken = 0;
        drug = { kSecond, "新药丙", {}, "xyb", "西药", true, {} };
        QCOMPARE(saveDrug(env.db, drug, "西药").outcome, SaveOutcome::Inserted);
        QTRY_VERIFY_WITH_TIMEOUT(woken > 0, 10000);
        QCOMPARE(there.loads(), 2);
        QVERIFY(indexHolds(there, "新药丙"));
    }

    void aNoteCommittedAfterALaterOneIsNotMissed()
    {
        // On the server a writer that took the lower note number may commit after one that took a higher:
        // the index has applied the higher already and must still take the lower when it comes.
        if (!onServer())
            QSKIP("the file's writers commit one after another, in number order");
        TestEnv env;
        std::unique_ptr<Database> slow = otherDesk(env);
        std::unique_ptr<Database> quick = otherDesk(env);
        CatalogIndex index(env.db);
        QVERIFY(index.load(nullptr));
        const QString insert
            = "insert into \"商品\" (\"ID号\", \"名称\", \"分类\", \"查询\") values (?, ?, '西药', ?)";
        QVERIFY(slow->run("begin").ok);
        QVERIFY(slow->run(insert, { "90000000000001", "迟到药", "迟到药cdy" }).ok);
        QVERIFY(quick->run(insert, { "90000000000002", "先到药", "先到药xdy" }).ok);
        QVERIFY(indexHolds(index, "先到药"));
        QVERIFY(!indexHolds(index, "迟到药"));
        QVERIFY(slow->run("commit").ok);
        QVERIFY(indexHolds(index, "迟到药"));
        QCOMPARE(index.loads(), 1);
    }

    void aWriterSlowerThanTheWaitAndAnEmptiedCatalogAreStillSeen()
    {
        // A writer (an administrator at psql) holding its note number past the wait: the table is read whole
        // once, and its change still comes in when it commits. Emptying 商品 writes no note at all.
        if (!onServer())
            QSKIP("the file's writers commit one after another, in number order");
        TestEnv env;
        std::unique_ptr<Database> slow = otherDesk(env);
        CatalogIndex index(env.db);
        index.setNoteWaits(100, 100);
        QVERIFY(index.load(nullptr));
        const QString insert
            = "insert into \"商品\" (\"ID号\", \"名称\", \"分类\", \"查询\") values (?, ?, '西药', ?)";
        QVERIFY(slow->run("begin").ok);
        QVERIFY(slow->run(insert, { "90000000000001", "迟到药", "迟到药cdy" }).ok);
        QVERIFY(env.db.run(insert, { "90000000000002", "先到药", "先到药xdy" }).ok);
        QVERIFY(indexHolds(index, "先到药"));
        const auto loadsAfterASearch = [&] {
            indexHolds(index, "先到药");
            return index.loads();
        };
        QTRY_COMPARE_WITH_TIMEOUT(loadsAfterASearch(), 2, 5000);
        QVERIFY(slow->run("commit").ok);
        QTRY_VERIFY_WITH_TIMEOUT(indexHolds(index, "迟到药"), 5000);
        QCOMPARE(index.loads(), 2);

        QVERIFY(slow->run("truncate \"商品\"").ok);
        QVERIFY(!indexHolds(index, "先到药"));
        QCOMPARE(index.loads(), 3);
    }

    void theFileKeepsItsNotesForEveryProgramAndTrimsThem()
    {
        QV_FILE_ENGINE_ONLY();
        TestEnv env;
        // A second program on the same file sees the notes of this one's writes, and the notes stay bounded.
        std::unique_ptr<Database> other = otherDesk(env);
        QVERIFY(other->startCatalogNotes().ok);
        ChangeNotesState before;
        QVERIFY(other->catalogNotesState(&before).ok);
        QVERIFY(env.db.transaction([&] {
            Result r;
            for (int i = 0; i < 10050 && (i == 0 || r); ++i)
                r = env.db.run("update \"商品\" set \"库存\" = ? where \"ID号\" = '10000'", { i });
            return r;
        }));
        ChangeNotesState after;
        QVERIFY(other->catalogNotesState(&after).ok);
        QCOMPARE(after.session, before.session);
        QVERIFY(after.latest >= before.latest + 2 * 10050);
        QVERIFY(after.latest - after.earliest < 10000);
        QList<ChangeNote> notes;
        QVERIFY(other->catalogNotes(after.latest - 2, &notes).ok);
        QCOMPARE(notes.size(), 2);
        QCOMPARE(notes[0].rowId,
            env.rows("select rowid as r from \"商品\" where \"ID号\" = '10000'")
                .first()
                .value("r")
                .toLongLong());
    }
};

QTEST_MAIN(SeveralDesksTest)
#include "tst_severaldesks.moc"
