// Faults of the database file itself: damaged, truncated, empty, foreign or unwritable files at start-up, a
// damaged file at the exit backup, and what the files on disk reveal of a saved prescription.

#include "desk/prescriptionrecord.h"
#include "maintenance/startup.h"
#include "store/template/templatedb.h"
#include "tests/support/fakes.h"
#include "tests/support/files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace qv;
using namespace qv::test;

namespace {

// A data folder under a temporary drive C:, with a started database holding some prescriptions.
struct StartedDrive {
    StartedDrive()
    {
        drives.c = root.path();
        databasePath = dataFolderFor(root.path()) + QStringLiteral("/数据库.dat");
    }
    StartupResult start()
    {
        db.close();
        return startUp(drives, context, db);
    }
    void addPrescriptions(int count)
    {
        // Setting the scene needs no durability; it only needs a file of some size.
        QVERIFY(db.run("pragma synchronous = off").ok);
        for (int i = 0; i < count; ++i) {
            PrescriptionRecord r;
            r.key = QStringLiteral("K%1").arg(i, 5, 10, QLatin1Char('0'));
            r.fields[0] = QStringLiteral("主人%1").arg(i);
            r.fields[kDateField] = QStringLiteral("2026-12-08");
            r.body = QString(400, QLatin1Char('x'));
            QVERIFY(saveRecord(db, r).ok);
        }
    }
    QTemporaryDir root;
    FolderDrives drives;
    AppContext context;
    Database db;
    QString databasePath;
};

} // namespace

class FileFaultsTest final : public QObject {
    Q_OBJECT

private slots:
    void damagedFilesAreReportedAndKept_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("empty file") << "empty";
        QTest::newRow("first bytes only") << "head";
        QTest::newRow("half of the file") << "half";
        QTest::newRow("last page missing") << "lastpage";
        QTest::newRow("first page overwritten") << "firstpage";
        QTest::newRow("another key") << "otherkey";
    }

    void damagedFilesAreReportedAndKept()
    {
        QFETCH(QString, damage);
        StartedDrive drive;
        QVERIFY(drive.start().ok);
        drive.addPrescriptions(300);
        drive.db.close();
        QByteArray bytes = contentsOf(drive.databasePath);
        QVERIFY(bytes.size() > 100000);
        if (damage == "empty")
            bytes.clear();
        else if (damage == "head")
            bytes.truncate(2000);
        else if (damage == "half")
            bytes.truncate(bytes.size() / 2);
        else if (damage == "lastpage")
            bytes.truncate(bytes.size() - 1024);
        else if (damage == "firstpage")
            bytes.replace(100, 900, QByteArray(900, '\0'));
        if (damage == "otherkey") {
            Database other;
            QString error;
            QVERIFY(QFile::remove(drive.databasePath));
            QVERIFY(other.create(drive.databasePath, &error));
            QVERIFY(other.run("pragma rekey = 'not-the-key'").ok);
            QVERIFY(
                other.script("create table \"设置\" (\"密码\" text); insert into \"设置\" values ('1');").ok);
            other.close();
            bytes = contentsOf(drive.databasePath);
        } else {
            QVERIFY(writeFile(drive.databasePath, bytes));
        }

        const StartupResult r = drive.start();
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(QDir::toNativeSeparators(drive.databasePath)), qPrintable(r.error));
        // Told what it means and how to get the data back, before the store's own words.
        QVERIFY2(r.error.contains(QStringLiteral(
                     "\n数据库文件已损坏，或者不是本程序的数据库。有完好的备份时可以用它恢复：程序"
                     "启动时会提出用最近一份完好的备份恢复")),
            qPrintable(r.error));
        // The damaged file is what the user may still rescue: never replaced by the template, never changed.
        QCOMPARE(contentsOf(drive.databasePath), bytes);
        QCOMPARE(QDir(dataFolderFor(drive.root.path())).entryList(QDir::Files),
            QStringList { QStringLiteral("数据库.dat") });
    }

    void aFolderWhereTheFileShouldBeIsReported()
    {
        StartedDrive drive;
        QVERIFY(QDir().mkpath(drive.databasePath + QStringLiteral("/inside")));
        const StartupResult r = drive.start();
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains(QDir::toNativeSeparators(drive.databasePath)));
        QVERIFY2(
            r.error.contains(QStringLiteral("\n这个位置上是一个文件夹，而不是文件。")), qPrintable(r.error));
        QVERIFY(QFileInfo(drive.databasePath + QStringLiteral("/inside")).isDir());
    }

    void aTemplateThatCannotBeWrittenLeavesNoPartialFile()
    {
        StartedDrive drive;
        rlimit before {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = before;
        limited.rlim_cur = templateImage().size() / 2; // a disk that fills up half way through the template
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
        const StartupResult r = drive.start();
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(QStringLiteral("无法创建数据库文件")), qPrintable(r.error));
        QVERIFY2(r.error.contains(QStringLiteral("\n磁盘已满")), qPrintable(r.error));
        // Nothing half written that the next start would take for the database.
        QCOMPARE(QDir(dataFolderFor(drive.root.path())).entryList(QDir::Files | QDir::Hidden), QStringList());
        const StartupResult again = drive.start();
        QVERIFY2(again.ok, qPrintable(again.error));
        QCOMPARE(drive.context.heldPassword, QStringLiteral("947"));
    }

    void aStartAfterAKilledWriteRollsItBack()
    {
        // A write-ahead log left by a process that died inside a save: the next start opens the file as it
        // was before, the half-written transaction ignored.
        StartedDrive drive;
        QVERIFY(drive.start().ok);
        drive.addPrescriptions(5);
        drive.db.close();
        QVERIFY(drive.start().ok);
        QVERIFY(drive.db.run("begin immediate").ok);
        QVERIFY(drive.db.run("delete from \"档案\" where \"序号\" like 'K%'").ok);
        // Copy the file and its log as a crash would leave them: uncommitted pages already spilled into the
        // log.
        const QString journal = drive.databasePath + QStringLiteral("-wal");
        QVERIFY(drive.db.run("pragma cache_size = 1").ok);
        for (int i = 0; i < 50; ++i)
            QVERIFY(drive.db
                        .run("insert into \"档案\" (\"序号\", \"T1\") values (?, ?)",
                            { QStringLiteral("X%1").arg(i), QString(3000, QLatin1Char('y')) })
                        .ok);
        QVERIFY(QFile::exists(journal));
        const QByteArray crashedFile = contentsOf(drive.databasePath);
        const QByteArray crashedJournal = contentsOf(journal);
        QVERIFY(crashedJournal.size() > 50 * 3000); // the uncommitted rows are in the log
        QVERIFY(drive.db.run("rollback").ok);
        drive.db.close();
        QVERIFY(writeFile(drive.databasePath, crashedFile));
        QVERIFY(writeFile(journal, crashedJournal));

        const StartupResult r = drive.start();
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(drive.db.run("select count(*) as n from \"档案\" where \"序号\" like 'K%'")
                     .rows.value(0)
                     .text("n"),
            QStringLiteral("5"));
        QCOMPARE(drive.db.run("select count(*) as n from \"档案\" where \"序号\" like 'X%'")
                     .rows.value(0)
                     .text("n"),
            QStringLiteral("0"));
        QCOMPARE(drive.db.run("pragma integrity_check").rows.value(0).values().value(0).toString(),
            QStringLiteral("ok"));
    }

    void aDamagedFileNeverReplacesTheBackupOfTheDay()
    {
        StartedDrive drive;
        QVERIFY(drive.start().ok);
        drive.addPrescriptions(300);
        const QDate day(2026, 12, 8);
        QCOMPARE(backUpDatabase(drive.drives, day, drive.db), QString());
        const QString backup = backupRootFor(drive.root.path()) + QStringLiteral("/8日/数据库.dat");
        const QByteArray goodCopy = contentsOf(backup);
        QVERIFY(!goodCopy.isEmpty());
        drive.db.close();

        // A page in the middle of the prescriptions goes bad on disk; the start-up reads only the settings.
        QByteArray bytes = contentsOf(drive.databasePath);
        bytes.replace(bytes.size() / 2, 200, QByteArray(200, 'z'));
        QVERIFY(writeFile(drive.databasePath, bytes));
        // Whether the start-up notices it or the backup does, the good copy of the day stays.
        if (drive.start().ok)
            QVERIFY(!backUpDatabase(drive.drives, day, drive.db).isEmpty());
        QCOMPARE(contentsOf(backup), goodCopy);
        QCOMPARE(QDir(backupRootFor(drive.root.path()) + QStringLiteral("/8日")).entryList(QDir::Files),
            QStringList { QStringLiteral("数据库.dat") });
    }

    void filesOnDiskHoldNoPlaintextOfAPrescription()
    {
        StartedDrive drive;
        QVERIFY(drive.start().ok);
        PrescriptionRecord r;
        r.key = QStringLiteral("20261208093000-SECRET");
        r.fields[0] = QStringLiteral("Zebediah Quorn");
        r.fields[kFirstDiagnosisField] = QStringLiteral("犬细小病毒感染独有标记");
        r.fields[kDateField] = QStringLiteral("2026-12-08");
        r.body = QStringLiteral("Xylophonicillin 250mg\r\n阿莫西林独有标记");
        QVERIFY(saveRecord(drive.db, r).ok);
        QCOMPARE(backUpDatabase(drive.drives, QDate(2026, 12, 8), drive.db), QString());
        drive.db.close();

        const QList<QByteArray> secrets { "Zebediah", "Xylophonicillin", "SECRET",
            QStringLiteral("独有标记").toUtf8(), QStringLiteral("独有标记").toUtf8().toHex(),
            QByteArray::fromRawData(reinterpret_cast<const char*>(u"Zebediah"), 16) };
        const QStringList files { drive.databasePath,
            backupRootFor(drive.root.path()) + QStringLiteral("/8日/数据库.dat") };
        for (const QString& path : files) {
            const QByteArray bytes = contentsOf(path);
            QVERIFY(!bytes.isEmpty());
            QVERIFY(!bytes.startsWith("SQLite format 3"));
            for (const QByteArray& secret : secrets)
                QVERIFY2(!bytes.contains(secret),
                    qPrintable(path + QStringLiteral(": ") + QString::fromUtf8(secret)));
        }
        // And the key opens them.
        for (const QString& path : files) {
            Database copy;
            QString error;
            QVERIFY2(copy.open(path, &error), qPrintable(error));
            QCOMPARE(loadRecord(copy, r.key)->fields[0], QStringLiteral("Zebediah Quorn"));
        }
    }
};

QTEST_GUILESS_MAIN(FileFaultsTest)
#include "tst_filefaults.moc"
