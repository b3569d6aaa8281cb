// The power fails during the import of the Windows program's database found in the data folder, at write
// and sync events spread over the whole import, the unsynced writes lost or torn sector by sector. When the
// power comes back the folder holds the Jet file, byte for byte (the next start offers the import again), or
// the whole imported database; a kept original is always the Jet file's bytes. An import reported done
// survives a cut just after it, and an import after a cut succeeds on what the cut left behind.

#include "maintenance/importcommand.h"
#include "store/jet/jetformat.h"
#include "tests/support/files.h"
#include "tests/support/powercutvfs.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;
using namespace qv::test;

namespace {

const QDateTime kNow(QDate(2026, 12, 10), QTime(8, 15, 0));

// Prescriptions of the new database at path, or a line saying why it is not whole.
QString stateOfNewDatabase(const QString& path)
{
    Database db;
    QString error;
    if (!db.open(path, &error))
        return QStringLiteral("(does not open: %1)").arg(error);
    const Result check = db.checkIntegrity(Database::Check::Full);
    if (!check || check.rows.value(0).values().value(0).toString() != QStringLiteral("ok"))
        return QStringLiteral("(not whole)");
    const Result n = db.run(QStringLiteral("select count(*) as n, max(\"序号\") as k from \"档案\""));
    return n.rows.value(0).text(QStringLiteral("n")) + QLatin1Char('/')
        + n.rows.value(0).text(QStringLiteral("k"));
}

QStringList keptIn(const QString& folder)
{
    QStringList kept;
    for (const QString& name : QDir(folder).entryList({ QStringLiteral("数据库.dat.旧版-*") }, QDir::Files))
        kept << folder + QLatin1Char('/') + name;
    return kept;
}

} // namespace

class JetImportCutsTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_jet;

private slots:
    void initTestCase()
    {
        installPowerCutVfs();
        QProcess xz;
        xz.start(QStringLiteral("xz"), { QStringLiteral("-dc"), QStringLiteral(QV_JET_SAMPLE) });
        QVERIFY2(xz.waitForFinished(60000) && xz.exitCode() == 0, "xz (./setup.sh --test installs it)");
        m_jet = xz.readAllStandardOutput();
        QCOMPARE(jetFormatOf(m_jet), JetFormat::Jet4);
    }

    void everyCutLeavesTheJetFileOrTheWholeNewDatabase()
    {
        const QString folder = m_dir.filePath(QStringLiteral("Quorvela数据库"));
        const QString database = folder + QStringLiteral("/数据库.dat");
        const QMap<QString, QByteArray> scene { { QStringLiteral("Quorvela数据库/数据库.dat"), m_jet } };
        auto replay = [&] {
            restorePower();
            putBack(m_dir.path(), scene);
        };

        // Without a cut: the disk events of an import, and what it leaves.
        replay();
        int first = diskEvents();
        ImportReport report;
        JetReplaceOutcome clean = replaceJetDatabase(database, kNow, &report);
        QVERIFY2(clean.result, qPrintable(clean.result.error));
        const QByteArray events = diskEventLog().mid(first);
        const QString imported = stateOfNewDatabase(database);
        QVERIFY2(imported.startsWith(QStringLiteral("2000/")), qPrintable(imported));
        QCOMPARE(contentsOf(clean.keptAs), m_jet);
        QVERIFY(clean.keptAs.endsWith(QStringLiteral("数据库.dat.旧版-20261210081500")));
        qInfo("an import: %lld disk events, %lld syncs", qint64(events.size()), qint64(events.count('s')));
        QVERIFY(events.count('s') >= 2);

        // Cuts at every sync and at writes spread evenly over the import, the last ones included.
        QList<int> at;
        for (int k = 0; k < events.size(); ++k)
            if (events[k] == 's' || k % qMax<qsizetype>(1, events.size() / 24) == 0 || k >= events.size() - 3)
                at << k;
        int cuts = 0, newAfterCut = 0;
        for (const int k : std::as_const(at)) {
            const CutLoss loss = cuts % 2 ? CutLoss::TornSectors : CutLoss::AllUnsynced;
            const QByteArray where = "cut at disk event " + QByteArray::number(k) + " (" + events.mid(k, 1)
                + ") of " + QByteArray::number(events.size())
                + (loss == CutLoss::TornSectors ? ", torn" : "");
            replay();
            first = diskEvents();
            cutPowerAtEvent(first + k, loss, quint32(k * 31 + 7));
            const JetReplaceOutcome outcome = replaceJetDatabase(database, kNow, &report);
            QVERIFY2(powerIsCut(), where + ": the power did not fail");
            QVERIFY2(!outcome.result, where + ": reported done with the power off");
            restorePower();
            const bool stillJet = contentsOf(database) == m_jet;
            if (!stillJet) {
                const QString state = stateOfNewDatabase(database);
                QVERIFY2(state == imported,
                    where + ": neither the Jet file nor the new database: " + state.toUtf8());
                ++newAfterCut;
            }
            for (const QString& kept : keptIn(folder))
                QVERIFY2(contentsOf(kept) == m_jet, where + ": a kept original is not the Jet file");
            ++cuts;
        }
        qInfo("%d cuts, the new database in place after %d of them", cuts, newAfterCut);
        QVERIFY(cuts > 20);

        // The next start offers the import again: it succeeds on what the last cut left behind.
        restorePower();
        QVERIFY(contentsOf(database) == m_jet);
        clean = replaceJetDatabase(database, kNow, &report);
        QVERIFY2(clean.result, qPrintable(clean.result.error));
        QCOMPARE(stateOfNewDatabase(database), imported);
        QVERIFY(!QFileInfo::exists(importStagingPath(database)));

        // Reported done, it survives a cut just after.
        cutPowerNow(CutLoss::TornSectors, 99);
        restorePower();
        QCOMPARE(stateOfNewDatabase(database), imported);
        QCOMPARE(contentsOf(clean.keptAs), m_jet);
    }
};

QTEST_GUILESS_MAIN(JetImportCutsTest)
#include "tst_jetimportcuts.moc"
