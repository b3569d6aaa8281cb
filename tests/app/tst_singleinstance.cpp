// One program per data folder, with real second processes: a second start on the folder brings the first to
// the front and ends; a lock left by a killed program or cut short by a power cut is taken over; another
// folder is never blocked.

#include "maintenance/singleinstance.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace qv;

namespace {

struct Probe {
    int exitCode = -1;
    QString said;
};

// Runs the probe to its end on folder.
Probe secondStart(const QString& folder)
{
    QProcess p;
    p.start(QStringLiteral(QV_INSTANCE_PROBE), { folder });
    Probe probe;
    // The first program answers from this process's event loop, so wait in it.
    QDeadlineTimer deadline(20000);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        probe.said = QStringLiteral("(still running)");
        return probe;
    }
    probe.exitCode = p.exitCode();
    probe.said = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return probe;
}

} // namespace

class SingleInstanceTest final : public QObject {
    Q_OBJECT

private slots:
    void aSecondStartRaisesTheFirstAndEnds()
    {
        QTemporaryDir folder;
        SingleInstance first(folder.path());
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QCOMPARE(first.claim(), SingleInstance::Claim::First);

        const Probe second = secondStart(folder.path());
        QCOMPARE(second.said, QStringLiteral("raised"));
        QCOMPARE(second.exitCode, 3);
        QTRY_COMPARE(raised.count(), 1);

        // Twice more, twice more to the front; the first still holds the folder.
        QCOMPARE(secondStart(folder.path()).said, QStringLiteral("raised"));
        QCOMPARE(secondStart(folder.path()).said, QStringLiteral("raised"));
        QTRY_COMPARE(raised.count(), 3);
    }

    void anotherFolderIsNotBlocked()
    {
        QTemporaryDir mine, theirs;
        SingleInstance first(mine.path());
        QCOMPARE(first.claim(), SingleInstance::Claim::First);
        const Probe other = secondStart(theirs.path());
        QCOMPARE(other.said, QStringLiteral("first"));
        QCOMPARE(other.exitCode, 0);
        QVERIFY(SingleInstance::serverName(mine.path()) != SingleInstance::serverName(theirs.path()));
        // The same folder named another way is the same folder.
        QCOMPARE(SingleInstance::serverName(mine.path() + QStringLiteral("/.")),
            SingleInstance::serverName(mine.path()));
    }

    void aLockLeftByAKilledProgramIsTakenOver()
    {
        QTemporaryDir folder;
        QProcess holder;
        holder.start(QStringLiteral(QV_INSTANCE_PROBE), { folder.path(), QStringLiteral("hold") });
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(QString::fromUtf8(holder.readAllStandardOutput()).trimmed(), QStringLiteral("first"));
        QCOMPARE(secondStart(folder.path()).said, QStringLiteral("raised"));

        // Killed as a crash kills it: the lock file stays behind.
        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(20000));
        QVERIFY(QFile::exists(SingleInstance::lockPath(folder.path())));

        SingleInstance next(folder.path());
        QSignalSpy raised(&next, &SingleInstance::raiseRequested);
        QCOMPARE(next.claim(), SingleInstance::Claim::First);
        // And it is the one a later start finds, not the dead one's socket.
        QCOMPARE(secondStart(folder.path()).said, QStringLiteral("raised"));
        QTRY_COMPARE(raised.count(), 1);
    }

    void aLockCutShortByAPowerCutIsTakenOver()
    {
        QTemporaryDir folder;
        const QString lock = SingleInstance::lockPath(folder.path());
        {
            QFile f(lock);
            QVERIFY(f.open(QIODevice::WriteOnly)); // empty: its content never reached the disk
            QVERIFY(
                f.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime));
        }
        SingleInstance first(folder.path());
        QCOMPARE(first.claim(), SingleInstance::Claim::First);
        QCOMPARE(secondStart(folder.path()).said, QStringLiteral("raised"));
    }

    void aProgramThatEndedLeavesTheFolderFree()
    {
        QTemporaryDir folder;
        {
            SingleInstance first(folder.path());
            QCOMPARE(first.claim(), SingleInstance::Claim::First);
        }
        QVERIFY(!QFile::exists(SingleInstance::lockPath(folder.path())));
        QCOMPARE(secondStart(folder.path()).said, QStringLiteral("first"));
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
