// A process killed in the middle of a stream of saves: the file stays whole and every save it reported done
// is there, with the content it reported.

#include "tests/robust/savestream.h"
#include "tests/support/testenv.h"

#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

using namespace qv;
using namespace qv::test;

namespace {

struct Reported {
    QMap<QString, int> versions; // the newest version reported done for each key
    QStringList failures;
    int count = 0;
};

void readReports(const QByteArray& output, Reported& reported)
{
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.value(0) == "saved" && parts.size() == 3) {
            const QString key = QString::fromUtf8(parts[1]);
            reported.versions[key] = qMax(reported.versions.value(key), parts[2].toInt());
            ++reported.count;
        } else if (parts.value(0) == "failed") {
            reported.failures << QString::fromUtf8(line);
        }
    }
}

} // namespace

class KilledSavesTest final : public QObject {
    Q_OBJECT

private slots:
    void everySaveReportedDoneSurvivesAKill()
    {
        TestEnv env;
        const QString path = env.context.databasePath;
        env.db.close();
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);

        Reported all;
        for (int run = 0; run < 12; ++run) {
            QProcess saver;
            saver.start(QStringLiteral(QV_SAVER), { path, QString::number(run) });
            QVERIFY2(saver.waitForStarted(), qPrintable(saver.errorString()));
            // Kill after a random number of reported saves, at a random moment inside the next one.
            const int target = random.bounded(1, 80);
            QByteArray output;
            Reported thisRun;
            while (thisRun.count < target) {
                QVERIFY2(saver.waitForReadyRead(20000), "the saver stopped reporting");
                const QByteArray chunk = saver.readAll();
                output += chunk;
                thisRun = {};
                readReports(output, thisRun);
            }
            QThread::usleep(random.bounded(0, 3000));
            saver.kill(); // SIGKILL: no clean-up of any kind
            QVERIFY(saver.waitForFinished(10000));
            QCOMPARE(saver.exitStatus(), QProcess::CrashExit);
            output += saver.readAll(); // lines already in the pipe were reported done as well
            readReports(output, all);
            QVERIFY2(all.failures.isEmpty(), qPrintable(all.failures.join('\n')));

            Database db;
            QString error;
            QVERIFY2(db.open(path, &error), qPrintable(error));
            const Result check = db.run(QStringLiteral("pragma integrity_check"));
            QVERIFY2(check.ok, qPrintable(check.error));
            QCOMPARE(check.rows.value(0).values().value(0).toString(), QStringLiteral("ok"));
            for (auto it = all.versions.cbegin(); it != all.versions.cend(); ++it) {
                const auto stored = loadRecord(db, it.key(), &error);
                QVERIFY2(stored, qPrintable(it.key() + QStringLiteral(": ") + error));
                // The save in flight at the kill may have landed as well; nothing older than reported may
                // show.
                const int version = stored->fields[kVersionField].toInt();
                QVERIFY2(version >= it.value(), qPrintable(it.key()));
                QCOMPARE(stored->body, streamBody(it.key(), version));
                QCOMPARE(stored->fields[0], QStringLiteral("主人") + it.key());
            }
        }
        QVERIFY(all.count >= 12);
    }
};

QTEST_GUILESS_MAIN(KilledSavesTest)
#include "tst_killedsaves.moc"
