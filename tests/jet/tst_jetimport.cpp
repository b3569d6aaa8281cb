// The Windows program's archive imported into the store, on both engines: every table against mdbtools' own
// mdb-export of the same file, nulls kept apart from empty texts, and the refusals that leave the store as
// it was.

#include "maintenance/importcommand.h"
#include "maintenance/jetimport.h"
#include "maintenance/singleinstance.h"
#include "maintenance/startoffers.h"
#include "maintenance/startup.h"
#include "store/jet/jetfile.h"
#include "store/tables.h"
#include "tests/support/files.h"
#include "tests/support/mdbexport.h"
#include "tests/support/testenv.h"
#include "tests/support/testserver.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;

namespace {

// mdb-export prints a date at midnight with its time and an amount to four decimals; the store keeps neither.
QString asExported(const QString& stored, JetType type)
{
    return type == JetType::DateTime ? test::dateAsExported(stored) : stored;
}

QList<TableTally> talliesOf(Database& db)
{
    QList<TableTally> tallies;
    const Result r = tallyStore(db, &tallies);
    return r ? tallies : QList<TableTally>();
}

bool sameTallies(const QList<TableTally>& a, const QList<TableTally>& b)
{
    if (a.isEmpty() || a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].rows != b[i].rows || a[i].checksum != b[i].checksum)
            return false;
    return true;
}

} // namespace

class JetImportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QProcess xz;
        xz.start(QStringLiteral("xz"), { QStringLiteral("-dc"), QStringLiteral(QV_JET_SAMPLE) });
        QVERIFY2(xz.waitForFinished(60000) && xz.exitCode() == 0, "xz (./setup.sh --test installs it)");
        m_path = m_dir.filePath(QStringLiteral("数据库.dat"));
        QVERIFY(test::writeFile(m_path, xz.readAllStandardOutput()));
    }

    void everyTableAsMdbExportReadsIt()
    {
        test::TestEnv env;
        ImportReport report;
        qint64 lastDone = 0, lastTotal = 0;
        const Result r = importJetFile(m_path, env.db, &report, [&](qint64 done, qint64 total) {
            lastDone = done;
            lastTotal = total;
        });
        QVERIFY2(r, qPrintable(r.error));
        QVERIFY(report.matches());
        QVERIFY2(report.differences.isEmpty(), qPrintable(report.differences.join(u'\n')));
        QVERIFY(lastTotal > 0 && lastDone == lastTotal);
        qInfo().noquote() << report.text();

        JetFile file;
        QString error;
        QVERIFY2(file.open(m_path, &error), qPrintable(error));
        for (const StoreTable& table : storeTables()) {
            const JetTable* jet = file.table(table.name);
            QVERIFY(jet);
            const QList<QStringList> exported = test::mdbExport(m_path, table.name);
            QVERIFY2(!exported.isEmpty(), "mdb-export");
            QStringList quoted;
            for (const QString& c : table.columns)
                quoted << QLatin1Char('"') + c + QLatin1Char('"');
            const QList<Row> rows = env.rows(QStringLiteral("select rowid, %1 from \"%2\" order by rowid")
                                                 .arg(quoted.join(QStringLiteral(", ")), table.name));
            QCOMPARE(rows.size(), exported.size() - 1);
            for (int r = 0; r < rows.size(); ++r) {
                QCOMPARE(rows[r].text(QStringLiteral("rowid")), QString::number(r + 1));
                for (const QString& column : table.columns) {
                    const int at = jet->columnIndex(column);
                    const JetType type = jet->columns[at].type;
                    const QString ours = asExported(rows[r].text(column), type);
                    const QString theirs = exported[r + 1].value(exported[0].indexOf(jet->columns[at].name));
                    if (type == JetType::Currency ? ours != test::amountAsStored(theirs) : ours != theirs)
                        QFAIL(qPrintable(QStringLiteral("%1 row %2 column %3: “%4”, mdb-export “%5”")
                                             .arg(table.name)
                                             .arg(r + 1)
                                             .arg(column, ours, theirs)));
                }
            }
        }

        // mdb-export prints a null and an empty text alike: the archive's T3 and the herbs' 用法 hold both.
        QVERIFY(env.count(QStringLiteral("档案"), QStringLiteral("\"T3\" is null")) > 0);
        QVERIFY(env.count(QStringLiteral("档案"), QStringLiteral("\"T3\" = ''")) > 0);
        int nullT3 = 0;
        QVERIFY(file.forEachRow(
            QStringLiteral("档案"),
            [&](const QVariantList& row) {
                nullT3 += row[file.table(QStringLiteral("档案"))->columnIndex(QStringLiteral("T3"))].isNull();
                return true;
            },
            &error));
        QCOMPARE(env.count(QStringLiteral("档案"), QStringLiteral("\"T3\" is null")), nullT3);
        const QList<Row> herb = env.rows(QStringLiteral("select * from \"商品\" where rowid = 1"));
        QVERIFY(!herb.value(0).isNull(QStringLiteral("用法"))
            && herb.value(0).text(QStringLiteral("用法")).isEmpty());
    }

    // An archive already in the store is refused untouched; so is a damaged file, and nothing of it stays.
    void refusalsLeaveTheStoreAsItWas()
    {
        test::TestEnv env;
        const QList<TableTally> fresh = talliesOf(env.db);

        QFile whole(m_path);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QString cut = m_dir.filePath(QStringLiteral("cut.dat"));
        QVERIFY(test::writeFile(cut, whole.read(whole.size() / 2)));
        ImportReport report;
        Result r = importJetFile(cut, env.db, &report);
        QVERIFY(!r && !r.error.isEmpty());
        QVERIFY(sameTallies(talliesOf(env.db), fresh));

        bool asked = false;
        r = importJetFile(m_path, env.db, &report, {}, [&] { return asked = true; });
        QVERIFY(!r && asked);
        QVERIFY2(r.error.contains(QStringLiteral("取消")), qPrintable(r.error));
        QVERIFY(sameTallies(talliesOf(env.db), fresh));

        r = importJetFile(m_path, env.db, &report);
        QVERIFY2(r, qPrintable(r.error));
        const QList<TableTally> imported = talliesOf(env.db);
        r = importJetFile(m_path, env.db, &report);
        QVERIFY(!r);
        QVERIFY2(r.error.contains(QStringLiteral("已经有档案（处方 2000 张）")), qPrintable(r.error));
        QVERIFY(sameTallies(talliesOf(env.db), imported));
    }

    // quorvela --import into a data folder with no database yet: the database is made from the Jet file; a
    // second import into it is refused and exits non-zero. In the run on the server: into a server database.
    void commandLineMakesTheDatabaseFromTheFile()
    {
        if (test::onServer()) {
            const QString connection = test::newServerDatabase();
            QCOMPARE(importFromCommandLine(m_path, connection, {}), 0);
            QCOMPARE(importFromCommandLine(m_path, connection, {}), 1);
            Database db;
            QString error;
            QVERIFY2(db.openServer(connection, &error), qPrintable(error));
            const Result r = db.run(QStringLiteral("select count(*) as n from \"档案\""));
            QCOMPARE(r.rows.value(0).text(QStringLiteral("n")), QStringLiteral("2000"));
            db.close();
            test::dropServerDatabase(connection);
            return;
        }
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("数据库.dat"));
        QCOMPARE(importFromCommandLine(m_path, {}, folder.path()), 0);
        Database db;
        QString error;
        QVERIFY2(db.open(path, &error), qPrintable(error));
        const Result r = db.run(QStringLiteral("select count(*) as n from \"档案\""));
        QVERIFY2(r, qPrintable(r.error));
        QCOMPARE(r.rows.value(0).text(QStringLiteral("n")), QStringLiteral("2000"));
        db.close();
        QCOMPARE(importFromCommandLine(m_path, {}, folder.path()), 1);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList({ QStringLiteral("数据库.dat") }));

        // The folder's database is the Windows program's file: imported in place, the original kept.
        QTemporaryDir copied;
        const QString jetInFolder = copied.filePath(QStringLiteral("数据库.dat"));
        QVERIFY(QFile::copy(m_path, jetInFolder));
        QCOMPARE(importFromCommandLine(m_path, {}, copied.path()), 1); // another Jet file than the folder's
        QCOMPARE(importFromCommandLine(jetInFolder, {}, copied.path()), 0);
        const QStringList left = QDir(copied.path()).entryList(QDir::Files);
        QCOMPARE(left.size(), 2);
        QVERIFY2(left.last().startsWith(QStringLiteral("数据库.dat.旧版-")), qPrintable(left.join(u' ')));
        QCOMPARE(test::contentsOf(copied.filePath(left.last())), test::contentsOf(m_path));
        QVERIFY2(db.open(jetInFolder, &error), qPrintable(error));
    }

    // A program open on the data folder (or another import into it) holds the folder's lock: the import is
    // refused and the folder stays as it was, the Jet file in its place and no new file begun beside it.
    void commandLineLeavesAFolderInUseAlone()
    {
        QV_FILE_ENGINE_ONLY();
        QTemporaryDir folder;
        const QString jet = folder.filePath(QStringLiteral("数据库.dat"));
        QVERIFY(QFile::copy(m_path, jet));
        QLockFile running(SingleInstance::lockPath(folder.path()));
        QVERIFY(running.tryLock(0));
        QCOMPARE(importFromCommandLine(jet, {}, folder.path()), 1);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
            QStringList({ QStringLiteral("quorvela.lock"), QStringLiteral("数据库.dat") }));
        QCOMPARE(test::contentsOf(jet), test::contentsOf(m_path));
    }

    // A row the store refuses stops the import, named by its table and key, and nothing of it stays. A Jet
    // file with two 诊断 of one 序号 cannot be written here, so the store is made to refuse one row the way
    // a unique index refuses the second of two.
    void aRefusedRowIsNamedByTableAndKey()
    {
        QV_FILE_ENGINE_ONLY();
        test::TestEnv env;
        JetFile file;
        QString error;
        QVERIFY2(file.open(m_path, &error), qPrintable(error));
        QString key;
        QVERIFY(file.forEachRow(
            QStringLiteral("诊断"),
            [&](const QVariantList& row) {
                key = row.value(file.table(QStringLiteral("诊断"))->columnIndex(QStringLiteral("序号")))
                          .toString();
                return false;
            },
            &error));
        QVERIFY(!key.isEmpty());
        env.rows(QStringLiteral("create trigger refuse before insert on \"诊断\" when new.\"序号\" = '%1' "
                                "begin select raise(abort, 'UNIQUE constraint failed: 诊断.序号'); end")
                     .arg(QString(key).replace(QLatin1Char('\''), QStringLiteral("''"))));
        const QList<TableTally> before = talliesOf(env.db);
        ImportReport report;
        const Result r = importJetFile(m_path, env.db, &report);
        QVERIFY(!r);
        QVERIFY2(r.error.contains(QStringLiteral("“诊断”表中“序号”为“%1”的一行无法存入").arg(key)),
            qPrintable(r.error));
        QVERIFY(sameTallies(talliesOf(env.db), before));
    }

    // The Windows program's database where start-up looks for its own: quitting leaves it; a cancelled
    // import leaves it and is offered again; the import then puts the new file in place, keeps the original
    // under its new name, and the next start holds the practice's password.
    void startUpOffersTheImportOfTheDataFolder()
    {
        QV_FILE_ENGINE_ONLY();
        test::TestEnv env;
        env.db.close();
        const QString database = env.context.databasePath;
        const QByteArray jet = test::contentsOf(m_path);
        QVERIFY(QFile::remove(database));
        QVERIFY(test::writeFile(database, jet));

        // Start-up alone does not take it for a damaged file (which a backup would replace).
        StartupResult started = startUp(env.drives, env.context, env.db);
        QVERIFY(!started.ok);
        QVERIFY2(started.error.contains(QStringLiteral("Windows 版程序的数据库")), qPrintable(started.error));
        QVERIFY(!started.error.contains(failureSentence(FailureKind::Damaged)));

        QStringList questions;
        QList<bool> answers { false };
        JetImportHooks hooks;
        hooks.ask = [&](const QString& question) {
            questions << question;
            return !answers.isEmpty() && answers.takeFirst();
        };
        QVERIFY(!offerImportOfJetDatabase(env.services, database, hooks));
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions[0].contains(QStringLiteral("Windows 版程序的数据库")), qPrintable(questions[0]));
        QCOMPARE(test::contentsOf(database), jet);

        // The first import is cancelled halfway, the second goes through.
        answers = { true, true, false };
        int bars = 0;
        hooks.startProgress = [&]() -> std::function<bool(qint64, qint64)> {
            const bool cancel = ++bars == 1;
            return [cancel](qint64 done, qint64 total) { return !(cancel && done > total / 2); };
        };
        QVERIFY(offerImportOfJetDatabase(env.services, database, hooks));
        QCOMPARE(questions.size(), 3);
        QCOMPARE(bars, 2);
        const auto shown = env.messages.shown();
        QVERIFY(shown.size() >= 2);
        QVERIFY2(shown[shown.size() - 2].text.contains(QStringLiteral("取消")),
            qPrintable(shown[shown.size() - 2].text));
        QVERIFY2(shown.last().text.contains(QStringLiteral("核对一致")), qPrintable(shown.last().text));
        const QStringList kept
            = QDir(env.dataFolder()).entryList({ QStringLiteral("数据库.dat.旧版-*") }, QDir::Files);
        QCOMPARE(kept, QStringList { QStringLiteral("数据库.dat.旧版-20261208093000") });
        QCOMPARE(test::contentsOf(env.dataFolder() + QLatin1Char('/') + kept[0]), jet);
        QVERIFY(!QFileInfo::exists(importStagingPath(database)));

        // Once imported, nothing more is offered, and the start-up reads the practice's password.
        QVERIFY(!offerImportOfJetDatabase(env.services, database, hooks));
        QCOMPARE(questions.size(), 3);
        started = startUp(env.drives, env.context, env.db);
        QVERIFY2(started.ok, qPrintable(started.error));
        QCOMPARE(env.context.heldPassword, QStringLiteral("1234"));
        QCOMPARE(env.count(QStringLiteral("档案")), 2000);
    }
};

QTEST_GUILESS_MAIN(JetImportTest)
#include "tst_jetimport.moc"
