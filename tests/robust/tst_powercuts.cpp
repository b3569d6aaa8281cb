// The power fails in the middle of each kind of write the program makes: at every sync, at writes between
// syncs and just after the write is over, with the unsynced writes lost or torn sector by sector. The program
// then starts again on what the disk kept: the file is sound, what was reported done is there with its latest
// content, nothing else changed, and the day's backup is the previous good copy or a complete new one.

#include "desk/prescriptionrecord.h"
#include "maintenance/startup.h"
#include "store/file/fileengine.h"
#include "tests/robust/powerworkload.h"
#include "tests/support/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <functional>
#include <sqlcipher/sqlite3.h>

using namespace qv;
using namespace qv::test;

namespace {

// A working day in short: every writing window once, the backup twice on one day (the second one replaces a
// good copy).
const Operation kScenario[] = { Operation::DeskNew, Operation::DeskChange, Operation::DeskContinue,
    Operation::DeskDelete, Operation::DrugAdd, Operation::DrugChange, Operation::DrugDelete,
    Operation::TemplateAdd, Operation::TemplateChange, Operation::TemplateDelete, Operation::DiagnosisAdd,
    Operation::DiagnosisDelete, Operation::SpeciesAdd, Operation::SpeciesDelete, Operation::SettingsSave,
    Operation::PasswordChange, Operation::LogMargins, Operation::ExitBackup, Operation::DeskNew,
    Operation::ExitBackup };

// Everything on the test's drive, to be put back before each cut.
struct Scene {
    QMap<QString, QByteArray> files; // path below the drive: contents
    StoreModel model;
    QRandomGenerator random;
    QDateTime time;
};

// The events to cut at. When every unsynced write is lost, the disk holds what the last sync left, wherever
// between two syncs the power fails: cutting at the syncs covers it. Torn writes differ by the moment: the
// syncs, and about three writes between them (the sanitizer build keeps to the syncs).
QList<int> cutPoints(const QByteArray& events, CutLoss loss, quint32 seed)
{
    QList<int> points;
    QRandomGenerator random(seed);
    const int writes = qMax(int(events.count('w')), 1);
    for (int k = 0; k < events.size(); ++k) {
        if (events[k] == 's'
            || (!kSanitizerBuild && loss == CutLoss::TornSectors && k > 0 && random.bounded(writes) < 3))
            points << k;
    }
    return points;
}

constexpr int kSecondsBetweenOperations = 7;

void savePrescriptions(Database& db, const QString& prefix, int count)
{
    for (int i = 0; i < count; ++i) {
        PrescriptionRecord r;
        r.key = prefix + QString::number(i);
        r.fields[0] = QStringLiteral("主人%1").arg(i);
        r.fields[kDateField] = QStringLiteral("2026-12-08");
        r.body = QString(400, QLatin1Char('x'));
        QVERIFY2(saveRecord(db, r).ok, qPrintable(r.key));
    }
}

// The exit backup of `day` made again and again, its disk failing at each of the disk events `points`
// (indexes into `events`, what a backup without faults does) in turn: the power cut there (unsynced writes
// lost, then torn), and at a write the disk full from there on. Every time the failure is reported and the
// day's copy stays exactly the previous good one. setScene() makes the store ready for a backup, endScene()
// ends what it opened before the program starts again.
void failBackupAt(TestEnv& env, const QDate& day, const QByteArray& events, const QList<int>& points,
    const std::function<void()>& setScene, const std::function<void()>& endScene)
{
    const QString backup = backupPath(env, day);
    const QByteArray previousBytes = contentsOf(backup);
    const QStringList previous = backupRows(backup);
    QVERIFY(!previousBytes.isEmpty());
    auto restart = [&] {
        endScene();
        env.db.close();
        restorePower();
        QString error;
        QVERIFY2(env.db.open(env.context.databasePath, &error), qPrintable(error));
    };
    auto previousStays = [&](const QByteArray& where) {
        QVERIFY2(contentsOf(backup) == previousBytes, where + ": the day's copy changed");
        QVERIFY2(backupRows(backup) == previous, where + ": the day's copy no longer reads as before");
    };
    for (const int k : points) {
        for (const CutLoss loss : { CutLoss::AllUnsynced, CutLoss::TornSectors }) {
            const QByteArray where = "cut at disk event " + QByteArray::number(k) + " (" + events.mid(k, 1)
                + ") of " + events + (loss == CutLoss::TornSectors ? ", torn" : "");
            setScene();
            cutPowerAtEvent(diskEvents() + k, loss, quint32(k));
            const QString error = backUpDatabase(env.drives, day, env.db);
            QVERIFY2(powerIsCut(), where + ": the power did not fail");
            QVERIFY2(!error.isEmpty(), where + ": reported done");
            restart();
            previousStays(where);
        }
        if (events[k] != 'w')
            continue;
        const QByteArray where = "disk full at disk event " + QByteArray::number(k) + " of " + events;
        setScene();
        fillDiskAfter(int(events.left(k).count('w')));
        const QString error = backUpDatabase(env.drives, day, env.db);
        fillDiskAfter(-1);
        QVERIFY2(error.contains(failureSentence(FailureKind::DiskFull)), where + ": " + error.toUtf8());
        QVERIFY2(QDir(QFileInfo(backup).path()).entryList({ QStringLiteral("数据库.dat.part*") }).isEmpty(),
            where + ": the cut-short copy was left");
        restart();
        previousStays(where);
    }
}

} // namespace

class PowerCutsTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installPowerCutVfs(); }

    // The disk really forgets: a save that was never synced is gone after the cut, one that was synced stays.
    void aCutLosesWhatWasNotSynced()
    {
        TestEnv env;
        PrescriptionRecord record;
        record.fields[0] = QStringLiteral("王先生");
        record.fields[kDateField] = QStringLiteral("2026-12-08");
        for (const bool synced : { false, true }) {
            record.key = synced ? QStringLiteral("K-SYNCED") : QStringLiteral("K-UNSYNCED");
            QVERIFY(env.db.run(synced ? "pragma synchronous = full" : "pragma synchronous = off").ok);
            QVERIFY(saveRecord(env.db, record).ok);
            cutPowerNow(CutLoss::AllUnsynced, 1);
            env.db.close();
            restorePower();
            QString error;
            QVERIFY2(env.db.open(env.context.databasePath, &error), qPrintable(error));
            QCOMPARE(loadRecord(env.db, record.key).has_value(), synced);
        }
    }

    void everyCutKeepsWhatWasReportedDone()
    {
        TestEnv env;
        Session session(env);
        QString error;
        QVERIFY2(session.start(&error), qPrintable(error));
        StoreModel model = readStore(env.db, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QRandomGenerator random(20261208);
        int allCuts = 0;
        for (int step = 0; step < int(std::size(kScenario)); ++step) {
            const Operation op = kScenario[step];
            session.end();
            restorePower();
            const Scene scene { filesBelow(env.dir.path()), model, random, env.clock.now() };
            QByteArray events;
            auto replay = [&](const StepFaults& faults) {
                session.end();
                restorePower();
                putBack(env.dir.path(), scene.files);
                model = scene.model;
                random = scene.random;
                env.clock.set(scene.time.addSecs(kSecondsBetweenOperations));
                QString why;
                if (!session.start(&why))
                    qFatal("start-up: %s", qPrintable(why));
                const int first = diskEvents();
                const StepOutcome o = runStep(session, model, op, random, faults);
                events = diskEventLog().mid(first, o.events);
                return o;
            };

            int cuts = 0, took = 0;
            QByteArray cleanEvents;
            for (const CutLoss loss : { CutLoss::AllUnsynced, CutLoss::TornSectors }) {
                // Without a cut the operation takes, and tells how its disk events go.
                const StepOutcome clean = replay({});
                QVERIFY2(clean.failure.isEmpty(), qPrintable(clean.failure));
                QVERIFY2(clean.took && !clean.skipped && !clean.refused, qPrintable(clean.detail));
                cleanEvents = events;
                QVERIFY2(
                    cleanEvents.contains('s'), qPrintable(clean.detail + QStringLiteral(": never synced")));
                for (const int k : cutPoints(cleanEvents, loss, quint32(step))) {
                    const StepOutcome o = replay({ k, false, -1, loss, quint32(k * 7919 + step) });
                    const QByteArray where = operationName(op).toUtf8() + ", cut at disk event "
                        + QByteArray::number(k) + " (" + cleanEvents.mid(k, 1) + ") of " + cleanEvents
                        + (loss == CutLoss::TornSectors ? ", torn" : ", all unsynced lost");
                    QVERIFY2(o.failure.isEmpty(), where + ": " + o.failure.toUtf8());
                    QVERIFY2(o.cut, where + ": the power did not fail");
                    ++cuts;
                    took += o.took;
                }
                // Just after the operation: everything it reported done was synced.
                const StepOutcome after = replay({ -1, true, -1, loss, quint32(step) });
                QVERIFY2(after.failure.isEmpty(), qPrintable(after.failure));
                QVERIFY2(
                    after.took, qPrintable(after.detail + QStringLiteral(": lost by a cut just after it")));
                ++cuts;
            }
            allCuts += cuts;
            qInfo("%s: %d disk events (%lld syncs), %d cuts survived, %d of them after the write took",
                qPrintable(operationName(op)), int(cleanEvents.size()), qlonglong(cleanEvents.count('s')),
                cuts, took);
            // The next operation starts where a run without any cut leaves this one.
            const StepOutcome clean = replay({});
            QVERIFY2(clean.took, qPrintable(clean.detail));
        }
        qInfo("%d operations, %d power cuts, nothing reported done was lost", int(std::size(kScenario)),
            allCuts);
    }

    // With the write-ahead log folded back, the backup is the file's bytes written through the disk, then
    // synced once: cut short anywhere, it keeps the day's previous copy; reported done, it survives a cut.
    void aBackupOfTheFileCutShortKeepsThePreviousCopy()
    {
        TestEnv env;
        const QDate day = env.clock.now().date();
        QCOMPARE(backUpDatabase(env.drives, day, env.db), QString());
        // Enough prescriptions that the copy takes several writes, all of them on the disk before the backup.
        QVERIFY(env.db.run("pragma synchronous = off").ok);
        savePrescriptions(env.db, QStringLiteral("K"), 300);
        QVERIFY(env.db.run("pragma synchronous = full").ok);
        QVERIFY(env.db.run("pragma wal_checkpoint(truncate)").ok);
        const QStringList fresh = readStore(env.db).rows();

        // The day after: the copy's writes, then one sync.
        const int first = diskEvents();
        QCOMPARE(backUpDatabase(env.drives, day.addDays(1), env.db), QString());
        const QByteArray events = diskEventLog().mid(first);
        qInfo("the copy of the file: disk events %s", events.constData());
        QVERIFY2(events.count('w') >= 3 && events.count('s') == 1 && events.endsWith('s'), events);
        QCOMPARE(backupRows(backupPath(env, day.addDays(1))), fresh);

        QList<int> everyEvent;
        for (int k = 0; k < events.size(); ++k)
            everyEvent << k;
        failBackupAt(
            env, day, events, everyEvent, [] {}, [] {});
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(backUpDatabase(env.drives, day, env.db), QString());
        cutPowerNow(CutLoss::TornSectors, 7);
        env.db.close();
        restorePower();
        QCOMPARE(backupRows(backupPath(env, day)), fresh);
        // And the program opens it as its own file with the key.
        Database copy;
        QString error;
        QVERIFY2(copy.open(backupPath(env, day), &error), qPrintable(error));
        QVERIFY(loadRecord(copy, QStringLiteral("K299")).has_value());
    }

    // While another connection still reads an older state, the log cannot be folded back: the pages are
    // copied instead, the latest state with them, and that copy too is whole or leaves the previous one.
    void aBackupWhileTheLogCannotBeFoldedBackCopiesThePages()
    {
        TestEnv env;
        const QDate day = env.clock.now().date();
        QCOMPARE(backUpDatabase(env.drives, day, env.db), QString());
        Database reader;
        auto readOlderState = [&] {
            reader.close();
            QVERIFY(env.db.run("pragma wal_checkpoint(truncate)").ok);
            QString error;
            QVERIFY2(reader.open(env.context.databasePath, &error), qPrintable(error));
            QVERIFY(reader.run("begin").ok);
            QVERIFY(reader.run("select count(*) from \"档案\"").ok);
            // The backup must not wait for the reader to go.
            sqlite3_busy_timeout(fileHandleOf(env.db), 0);
            savePrescriptions(env.db, QStringLiteral("LATER"), 1);
        };
        auto endReading = [&] { reader.close(); };

        readOlderState();
        const int first = diskEvents();
        QCOMPARE(backUpDatabase(env.drives, day.addDays(1), env.db), QString());
        const QByteArray events = diskEventLog().mid(first);
        // A copy of the file's bytes would miss the prescription saved after the reader's state.
        QCOMPARE(backupRows(backupPath(env, day.addDays(1))), readStore(env.db).rows());
        qInfo("the page copy: disk events %s", events.constData());
        QVERIFY2(events.count('s') >= 2, events); // the page copy's journal, then the copy

        // At every sync, the write before it, the first write and one in the middle.
        QList<int> points { int(events.indexOf('w')), int(events.size() / 2) };
        for (int k = 0; k < events.size(); ++k) {
            if (events[k] == 's')
                points << k << k - 1;
        }
        std::sort(points.begin(), points.end());
        points.erase(std::unique(points.begin(), points.end()), points.end());
        points.removeIf([](int k) { return k < 0; });
        failBackupAt(env, day, events, points, readOlderState, endReading);
        if (QTest::currentTestFailed())
            return;
        readOlderState();
        QCOMPARE(backUpDatabase(env.drives, day, env.db), QString());
        QCOMPARE(backupRows(backupPath(env, day)), readStore(env.db).rows());
        endReading();
    }
};

QTEST_MAIN(PowerCutsTest)
#include "tst_powercuts.moc"
