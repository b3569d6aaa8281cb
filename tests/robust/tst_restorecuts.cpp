// The power fails at every write and sync of a restore, the unsynced writes lost or torn sector by sector.
// When the power comes back the data folder holds one whole database: the one before the restore, or the
// restored copy when the restore had put it in place, never a mixture, never none. A file set aside is the
// whole previous database, and a restore reported done survives a cut just after it.

#include "desk/paperlayout.h"
#include "desk/prescriptionrecord.h"
#include "maintenance/restore.h"
#include "maintenance/startup.h"
#include "tests/support/files.h"
#include "tests/support/powercutvfs.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

using namespace qv;
using namespace qv::test;

namespace {

// Every prescription of the file at path with its owner, or one line saying why it cannot be read whole.
QStringList prescriptionsOf(const QString& path)
{
    Database db;
    QString error;
    if (!db.open(path, &error))
        return { QStringLiteral("(does not open: %1)").arg(error) };
    const Result check = db.checkIntegrity(Database::Check::Full);
    if (!check || check.rows.value(0).values().value(0).toString() != QStringLiteral("ok"))
        return { QStringLiteral("(not whole)") };
    const Result rows
        = db.run(QStringLiteral("select \"序号\" || '=' || ifnull(\"0\", '') from \"档案\" order by 1"));
    QStringList found;
    for (const Row& row : rows.rows)
        found << row.values().first().toString();
    return found;
}

void savePrescriptions(Database& db, const QString& prefix, int count)
{
    for (int i = 0; i < count; ++i) {
        PrescriptionRecord r;
        r.key = prefix + QString::number(i);
        r.fields[0] = QStringLiteral("主人%1").arg(i);
        r.fields[kDateField] = QStringLiteral("2026-12-08");
        r.body = QString(300, QLatin1Char('x'));
        QVERIFY2(saveRecord(db, r).ok, qPrintable(r.key));
    }
}

QString setAsideIn(const QString& folder)
{
    const QStringList found = QDir(folder).entryList({ QStringLiteral("数据库.dat.恢复前-*") }, QDir::Files);
    for (const QString& name : found) {
        if (!name.endsWith(QStringLiteral("-wal")) && !name.endsWith(QStringLiteral("-shm")))
            return folder + QLatin1Char('/') + name;
    }
    return {};
}

} // namespace

class RestoreCutsTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installPowerCutVfs(); }

    void everyCutLeavesTheOldOrTheRestoredDatabaseWhole()
    {
        TestEnv env;
        const QString database = env.context.databasePath;
        QVERIFY(env.db.run("pragma synchronous = off").ok);
        savePrescriptions(env.db, QStringLiteral("A"), 120);
        QVERIFY(env.db.run("pragma synchronous = full").ok);
        const QDate day(2026, 12, 7);
        QCOMPARE(backUpDatabase(env.drives, day, env.db), QString());
        const QString copy = todaysBackupFolder(env.drives, day) + QStringLiteral("/数据库.dat");
        // Saved after the backup, still in the write-ahead log when the restore begins.
        savePrescriptions(env.db, QStringLiteral("B"), 8);
        restorePower();
        const QStringList restored = prescriptionsOf(copy);
        const QStringList old = prescriptionsOf(database);
        QVERIFY(restored.size() > 100 && old.size() == restored.size() + 8);
        const QMap<QString, QByteArray> scene = filesBelow(env.dir.path());
        QVERIFY(scene.contains(QStringLiteral("Quorvela数据库/数据库.dat-wal")));

        auto replay = [&] {
            env.db.close();
            restorePower();
            putBack(env.dir.path(), scene);
            QString error;
            if (!env.db.open(database, &error))
                qFatal("reopen: %s", qPrintable(error));
        };
        const RestoreSource source(copy);
        QVERIFY2(source.facts().ok, qPrintable(source.facts().error));

        // Without a cut: the disk events of a restore.
        replay();
        int first = diskEvents();
        RestoreOutcome clean = replaceDatabase(env.db, database, source, env.clock.now());
        QVERIFY2(clean.ok, qPrintable(clean.error));
        const QByteArray events = diskEventLog().mid(first);
        qInfo("a restore: disk events %s", events.constData());
        QVERIFY2(events.count('s') >= 2, events); // the staged copy, the log folded back

        int cuts = 0, restoredAfterCut = 0;
        for (int k = 0; k < events.size(); ++k) {
            for (const CutLoss loss : { CutLoss::AllUnsynced, CutLoss::TornSectors }) {
                const QByteArray where = "cut at disk event " + QByteArray::number(k) + " ("
                    + events.mid(k, 1) + ") of " + events + (loss == CutLoss::TornSectors ? ", torn" : "");
                replay();
                first = diskEvents();
                cutPowerAtEvent(first + k, loss, quint32(k * 31 + 7));
                const RestoreOutcome outcome = replaceDatabase(env.db, database, source, env.clock.now());
                QVERIFY2(powerIsCut(), where + ": the power did not fail");
                QVERIFY2(!outcome.ok, where + ": reported done with the power off");
                env.db.close();
                restorePower();
                // The program starts again on what the disk kept.
                const QStringList found = prescriptionsOf(database);
                QVERIFY2(found == old || found == restored,
                    where + ": " + found.value(0).toUtf8() + ", " + QByteArray::number(found.size())
                        + " rows");
                restoredAfterCut += found == restored;
                const QString aside = setAsideIn(env.dataFolder());
                if (!aside.isEmpty())
                    QVERIFY2(
                        prescriptionsOf(aside) == old, where + ": the file set aside is not the old one");
                ++cuts;
            }
        }
        qInfo("%d cuts, the restored database in place after %d of them", cuts, restoredAfterCut);

        // Reported done, it survives a cut just after.
        replay();
        const RestoreOutcome done = replaceDatabase(env.db, database, source, env.clock.now());
        QVERIFY2(done.ok, qPrintable(done.error));
        cutPowerNow(CutLoss::TornSectors, 99);
        env.db.close();
        restorePower();
        QCOMPARE(prescriptionsOf(database), restored);
        QCOMPARE(prescriptionsOf(done.setAside), old);
    }
};

QTEST_MAIN(RestoreCutsTest)
#include "tst_restorecuts.moc"
