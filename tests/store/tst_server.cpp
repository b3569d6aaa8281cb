// The server engine's own matters, on a PostgreSQL server of this test's own (it is stopped and started
// again here): setting up a database, refusing one that is not ours, upgrade steps, the server's names, and
// the faults of a server that goes away, refuses the password or takes too long.

#include "store/database.h"
#include "store/server/serverengine.h"
#include "store/server/serverschema.h"
#include "store/tables.h"
#include "store/template/templatedb.h"
#include "tests/support/testserver.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;
using qv::test::tableRows;

namespace {

const QString kPassword = QStringLiteral("qv-test-947");

} // namespace

class ServerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_state;
    int m_made = 0;

    bool server(const QString& action)
    {
        QStringList args = { action, m_state };
        if (action == QLatin1String("start"))
            args << kPassword;
        const int code = QProcess::execute(QStringLiteral(QV_PGSERVER), args);
        return code == 0;
    }

    QString folder() const
    {
        QFile f(m_state);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }

    QString connection(const QString& database, const QString& password = kPassword) const
    {
        return QStringLiteral("host=%1 user=postgres password=%2 dbname=%3")
            .arg(folder(), password, database);
    }

    // A new empty database on the server, connected.
    QString emptyDatabase(Database& db)
    {
        const QString name = QStringLiteral("qv_s_%1").arg(++m_made);
        Database admin;
        QString error;
        if (!admin.openServer(connection(QStringLiteral("postgres")), &error)
            || !admin.run(QStringLiteral("create database %1").arg(name)))
            qFatal("new database: %s", qPrintable(error));
        if (!db.openServer(connection(name), &error))
            qFatal("new database: %s", qPrintable(error));
        return name;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_state = m_dir.filePath(QStringLiteral("state"));
        QVERIFY2(server(QStringLiteral("start")), "the tests' PostgreSQL server did not start");
    }

    void cleanupTestCase() { server(QStringLiteral("stop")); }

    void aNewServerDatabaseHoldsWhatANewFileHolds()
    {
        Database db;
        emptyDatabase(db);
        ServerPreparation done;
        const Result prepared = prepareServerFromTemplate(db, &done);
        QVERIFY2(prepared, qPrintable(prepared.error));
        QVERIFY(done.created);
        QTemporaryDir files;
        const QString path = files.filePath(QStringLiteral("数据库.dat"));
        Database file;
        QString error;
        QVERIFY(writeTemplateDatabase(path, &error) && file.open(path, &error));
        for (const StoreTable& table : storeTables()) {
            const QStringList fromFile = tableRows(file, table);
            QVERIFY(!fromFile.isEmpty());
            QCOMPARE(tableRows(db, table), fromFile);
        }
        QCOMPARE(db.run(QStringLiteral("select count(*) as n from \"商品\"")).rows.value(0).text("n"),
            QStringLiteral("241"));
        QCOMPARE(db.run(QStringLiteral("select \"密码\" from \"设置\"")).rows.value(0).text("密码"),
            QStringLiteral("947"));
        // Rows added later continue the insertion order after the copied ones.
        QVERIFY(
            db.run(QStringLiteral("insert into \"诊断\" (\"名称\", \"拼音\", \"序号\") values ('腹泻', 'fx', "
                                  "'腹泻fx')")));
        const Result last
            = db.run(QStringLiteral("select \"名称\" from \"诊断\" order by rowid desc limit 1"));
        QCOMPARE(last.rows.value(0).text("名称"), QStringLiteral("腹泻"));

        // A second start finds it set up and writes nothing.
        QVERIFY(prepareServerFromTemplate(db, &done));
        QVERIFY(!done.created && done.applied.isEmpty());
        QCOMPARE(db.run(QStringLiteral("select count(*) as n from \"商品\"")).rows.value(0).text("n"),
            QStringLiteral("241"));
    }

    void databasesNotOursOrNewerAreRefusedUntouched()
    {
        Database foreign;
        emptyDatabase(foreign);
        QVERIFY(foreign.run(QStringLiteral("create table invoices (n integer)")));
        Result r = prepareServerFromTemplate(foreign);
        QVERIFY(!r);
        QVERIFY2(r.error.contains(QStringLiteral("不是本程序的数据库")), qPrintable(r.error));
        QCOMPARE(foreign
                     .run(QStringLiteral("select count(*) as n from information_schema.tables where "
                                         "table_schema = current_schema()"))
                     .rows.value(0)
                     .text("n"),
            QStringLiteral("1"));

        Database newer;
        emptyDatabase(newer);
        QVERIFY(prepareServerFromTemplate(newer));
        QVERIFY(newer.run(QStringLiteral("update \"qv_schema\" set \"version\" = 99")));
        r = prepareServerFromTemplate(newer);
        QVERIFY(!r);
        QVERIFY2(r.error.contains(QStringLiteral("较新版本")) && r.error.contains(QStringLiteral("99")),
            qPrintable(r.error));
        QCOMPARE(
            newer.run(QStringLiteral("select \"version\" from \"qv_schema\"")).rows.value(0).text("version"),
            QStringLiteral("99"));
    }

    void pendingUpgradeStepsApplyOnce()
    {
        Database db;
        emptyDatabase(db);
        QVERIFY(prepareServerFromTemplate(db));
        const int next = kServerSchemaVersion + 1;
        const QList<ServerUpgradeStep> steps
            = { { next, QStringLiteral("create index \"档案.主人\" on \"档案\" (\"0\")") } };
        const auto seed = [](Database&) { return Result { false, QStringLiteral("must not seed again") }; };
        ServerPreparation done;
        Result r = prepareServerDatabase(db, seed, &done, steps, next);
        QVERIFY2(r, qPrintable(r.error));
        QCOMPARE(done.applied, QList<int>({ next }));
        r = prepareServerDatabase(db, seed, &done, steps, next);
        QVERIFY2(r, qPrintable(r.error));
        QVERIFY(done.applied.isEmpty());
        QCOMPARE(
            db.run(QStringLiteral("select \"version\" from \"qv_schema\"")).rows.value(0).text("version"),
            QString::number(next));
        QCOMPARE(db.run(QStringLiteral("select count(*) as n from pg_indexes where indexname = '档案.主人'"))
                     .rows.value(0)
                     .text("n"),
            QStringLiteral("1"));
    }

    void aFirstVersionDatabaseGainsTheCatalogNotifications()
    {
        // Version 1 noted catalog changes without notifying anyone.
        Database db;
        emptyDatabase(db);
        QVERIFY(prepareServerFromTemplate(db));
        QVERIFY(db.script(QStringLiteral(R"(update "qv_schema" set "version" = 1;
create or replace function "qv_note_catalog_change"() returns trigger language plpgsql as $$
begin
    if tg_op <> 'INSERT' then insert into "qv_catalog_changed" ("rid") values (old."rowid"); end if;
    if tg_op <> 'DELETE' then insert into "qv_catalog_changed" ("rid") values (new."rowid"); end if;
    return null;
end $$;)")));
        ServerPreparation done;
        QVERIFY(prepareServerFromTemplate(db, &done));
        QCOMPARE(done.applied, QList<int>({ 2 }));
        const QString function
            = db.run(QStringLiteral("select pg_get_functiondef('\"qv_note_catalog_change\"'::regproc) "
                                    "as f"))
                  .rows.value(0)
                  .text("f");
        QVERIFY2(function.contains(QStringLiteral("pg_notify('qv_catalog'")), qPrintable(function));
        QVERIFY(db.run(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\") values ('x1', '新')")));
        ChangeNotesState state;
        QVERIFY(db.startCatalogNotes() && db.catalogNotesState(&state));
        QList<ChangeNote> notes;
        QVERIFY(db.catalogNotes(state.latest - 1, &notes));
        QCOMPARE(notes.size(), 1);
    }

    // PostgreSQL cuts longer names to 63 bytes without an error: every name the program makes must fit.
    void everyNameTheProgramMakesFitsTheServersLimit()
    {
        const QRegularExpression quoted(QStringLiteral("\"([^\"]+)\""));
        QStringList names;
        for (auto it = quoted.globalMatch(serverSchemaScript()); it.hasNext();)
            names << it.next().captured(1);
        QVERIFY(names.contains(QStringLiteral("动物种类.序号不分大小写")));
        for (const QString& name : names)
            QVERIFY2(name.toUtf8().size() <= 63, qPrintable(name));
        Database db;
        emptyDatabase(db);
        QVERIFY(prepareServerFromTemplate(db));
        const Result indexes = db.run(QStringLiteral(
            "select indexname from pg_indexes where schemaname = current_schema() order by indexname"));
        QVERIFY(indexes.rows.size() >= 7);
        for (const Row& row : indexes.rows) {
            const QString name = row.text(QStringLiteral("indexname"));
            QVERIFY2(name.endsWith(QLatin1String("_pkey")) || names.contains(name), qPrintable(name));
        }
    }

    void placeholdersAreNumberedOutsideQuotesOnly()
    {
        QCOMPARE(ServerEngine::numberPlaceholders(
                     QStringLiteral("select '?', \"a?\", ?, ? from t -- ?\nwhere x = ?2 and y = 'it''s?'")),
            QByteArray("select '?', \"a?\", $1, $2 from t -- ?\nwhere x = $2 and y = 'it''s?'"));
    }

    void refusedLoginAndUnreachableServerSaySo()
    {
        Database db;
        QString error;
        QVERIFY(!db.openServer(connection(QStringLiteral("postgres"), QStringLiteral("wrong")), &error));
        QVERIFY2(error.startsWith(serverFailureSentence(FailureKind::LoginRefused)), qPrintable(error));
        QVERIFY(!db.openServer(QStringLiteral("host=%1/nowhere user=postgres").arg(folder()), &error));
        QVERIFY2(error.startsWith(serverFailureSentence(FailureKind::ServerGone)), qPrintable(error));
        QVERIFY(!db.openServer(QStringLiteral("host=%1 nonsense").arg(folder()), &error));
        QVERIFY2(error.contains(QStringLiteral("连接设置写得不对")), qPrintable(error));
        QVERIFY(!db.isOpen());
    }

    void aStatementThatTakesTooLongIsBusy()
    {
        Database db;
        emptyDatabase(db);
        QVERIFY(db.run(QStringLiteral("set statement_timeout = 100")));
        const Result r = db.run(QStringLiteral("select pg_sleep(2)"));
        QVERIFY(!r);
        QCOMPARE(r.failure, FailureKind::Busy);
        QVERIFY(db.run(QStringLiteral("select 1")));
    }

    // The server stops in the middle of a save and comes back: the save is refused and left no trace, what
    // was stored before is whole, and the next action works on the same Database without a restart.
    void aServerThatGoesAwayLosesNothingAndIsUsedAgainWhenBack()
    {
        Database db;
        emptyDatabase(db);
        QVERIFY(prepareServerFromTemplate(db));
        QVERIFY(db.run(QStringLiteral("insert into \"档案\" (\"序号\", \"0\") values ('K1', '张三')")));
        bool halted = false;
        const Result save = db.transaction([&]() -> Result {
            Result r = db.run(QStringLiteral("insert into \"档案\" (\"序号\", \"0\") values ('K2', '李四')"));
            halted = server(QStringLiteral("halt"));
            return r;
        });
        QVERIFY(halted);
        QVERIFY(!save);
        QCOMPARE(save.failure, FailureKind::ServerGone);
        QVERIFY2(
            save.error.startsWith(serverFailureSentence(FailureKind::ServerGone)), qPrintable(save.error));
        const Result whileAway = db.run(QStringLiteral("select 1"));
        QVERIFY(!whileAway);
        QCOMPARE(whileAway.failure, FailureKind::ServerGone);

        QVERIFY(server(QStringLiteral("resume")));
        const Result keys
            = db.run(QStringLiteral("select \"序号\" from \"档案\" where \"序号\" like 'K%' order by 1"));
        QVERIFY2(keys, qPrintable(keys.error));
        QCOMPARE(keys.rows.size(), 1);
        QCOMPARE(keys.rows.value(0).text("序号"), QStringLiteral("K1"));
        QVERIFY(db.transaction([&] {
            return db.run(QStringLiteral("insert into \"档案\" (\"序号\", \"0\") values ('K2', '李四')"));
        }));

        // A restart while the desk is idle is not even noticed.
        QVERIFY(server(QStringLiteral("halt")) && server(QStringLiteral("resume")));
        const Result afterRestart = db.run(QStringLiteral("select count(*) from \"档案\""));
        QVERIFY2(afterRestart, qPrintable(afterRestart.error));
    }

    // A backup of the server is the encrypted file the file engine keeps, holding every row of every table as
    // of one moment: a row another desk adds while it is written is not in it. Cancelled, or cut short by the
    // server going away, it leaves no file, and the connection works on.
    void aBackupOfTheServerIsOneMomentWrittenAsTheFile()
    {
        Database db;
        const QString name = emptyDatabase(db);
        QVERIFY(prepareServerFromTemplate(db));
        QVERIFY(db.run(QStringLiteral("insert into \"档案\" (\"序号\", \"0\", \"6\", \"T1\", \"12\") values "
                                      "(?, ?, ?, ?, null)"),
            { QStringLiteral("K1"), QStringLiteral("张\t三 'x' \\"), QStringLiteral("2026-12-08"),
                QStringLiteral("阿莫西林 0.25g×10\r\n甘草 10g\r\n") }));
        QVERIFY(db.run(QStringLiteral(
            "update \"商品\" set \"进价\" = 12.5, \"售价\" = 0.3333 where \"ID号\" = '10000'")));
        Database other;
        QString error;
        QVERIFY(other.openServer(connection(name), &error));

        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("数据库.dat"));
        bool added = false;
        qint64 lastDone = -1, lastTotal = 0;
        const Result r = db.backupTo(path, [&](qint64 done, qint64 total) {
            if (!added)
                added = other.run(QStringLiteral("insert into \"档案\" (\"序号\") values ('K2')")).ok;
            lastDone = done;
            lastTotal = total;
            return true;
        });
        QVERIFY2(r, qPrintable(r.error));
        QVERIFY(added);
        QVERIFY(lastTotal > 241);
        QCOMPARE(lastDone, lastTotal);
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.read(16).startsWith("SQLite format 3"));

        QVERIFY(other.run(QStringLiteral("delete from \"档案\" where \"序号\" = 'K2'")));
        Database file;
        QVERIFY2(file.open(path, &error), qPrintable(error));
        for (const StoreTable& table : storeTables())
            QCOMPARE(tableRows(file, table), tableRows(db, table));
        // It carries every index a new file has.
        const auto indexNames = [](Database& db) {
            QStringList names;
            for (const Row& row :
                db.run(QStringLiteral("select name from sqlite_master where type = 'index' order by name"))
                    .rows)
                names << row.text(QStringLiteral("name"));
            return names;
        };
        Database fresh;
        QVERIFY(writeTemplateDatabase(out.filePath(QStringLiteral("new.dat")), &error)
            && fresh.open(out.filePath(QStringLiteral("new.dat")), &error));
        QVERIFY(indexNames(fresh).size() >= 5);
        QCOMPARE(indexNames(file), indexNames(fresh));
        // The copy takes rows on as the program's own file does (row ids continue).
        QVERIFY(file.run(QStringLiteral("insert into \"诊断\" (\"名称\", \"序号\") values ('新', '新x')")));

        const QString cancelled = out.filePath(QStringLiteral("cancelled.dat"));
        Result stop = db.backupTo(cancelled, [](qint64 done, qint64) { return done == 0; });
        QVERIFY(!stop);
        QVERIFY(!QFile::exists(cancelled));
        QVERIFY(db.run(QStringLiteral("select 1")));

        const QString cut = out.filePath(QStringLiteral("cut.dat"));
        bool halted = false;
        stop = db.backupTo(cut, [&](qint64, qint64) {
            if (!halted)
                halted = server(QStringLiteral("halt"));
            return true;
        });
        QVERIFY(halted);
        QVERIFY(!stop);
        QCOMPARE(stop.failure, FailureKind::ServerGone);
        QVERIFY(!QFile::exists(cut) && !QFile::exists(cut + QStringLiteral("-journal")));
        QVERIFY(server(QStringLiteral("resume")));
        QVERIFY(db.run(QStringLiteral("select 1")));
    }

    // A transaction whose statement failed is rolled back by the server, which still answers the commit with
    // "command OK": that is no success.
    void aFailedTransactionIsNeverReportedAsCommitted()
    {
        Database db;
        emptyDatabase(db);
        QVERIFY(prepareServerFromTemplate(db));
        // A body that goes on past its failing step, as a handler may.
        const Result r = db.transaction([&] {
            db.run(QStringLiteral("insert into \"诊断\" (\"名称\", \"序号\") values ('新', '新x')"));
            db.run(QStringLiteral("insert into \"商品\" (\"ID号\") values ('10000')"));
            return Result { true };
        });
        QVERIFY(!r);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(db.run(QStringLiteral("select count(*) as n from \"诊断\" where \"序号\" = '新x'"))
                     .rows.value(0)
                     .text("n"),
            QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(ServerTest)
#include "tst_server.moc"
