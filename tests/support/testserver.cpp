#include "tests/support/testserver.h"
#include "store/tables.h"
#include "store/template/templatedb.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QMutex>

namespace qv::test {

namespace {

    QString serverFolder()
    {
        const QString state = qEnvironmentVariable("QUORVELA_TEST_SERVER_STATE");
        QFile file(state);
        if (state.isEmpty() || !file.open(QIODevice::ReadOnly))
            qFatal(
                "the tests' PostgreSQL server is not running (no state file \"%s\"): run the tests through "
                "ctest, which starts it with tests/support/pgserver.sh",
                qPrintable(state));
        return QString::fromUtf8(file.readAll()).trimmed();
    }

    QString connectionTo(const QString& database)
    {
        return QStringLiteral("host=%1 user=postgres dbname=%2").arg(serverFolder(), database);
    }

    // The one administrative connection of the process.
    Database& admin()
    {
        static Database db;
        if (!db.isOpen()) {
            QString error;
            if (!db.openServer(connectionTo(QStringLiteral("postgres")), &error))
                qFatal("the tests' PostgreSQL server: %s", qPrintable(error));
        }
        return db;
    }

    void mustRun(Database& db, const QString& sql)
    {
        const Result r = db.run(sql);
        if (!r)
            qFatal("%s: %s", qPrintable(sql), qPrintable(r.error));
    }

    // The template every test's database is copied from, set up once for all test executables.
    void ensureTemplate()
    {
        static bool ready = false;
        if (ready)
            return;
        Database& db = admin();
        mustRun(db, QStringLiteral("select pg_advisory_lock(7315)"));
        const Result found
            = db.run(QStringLiteral("select 1 from pg_database where datname = 'qv_template'"));
        if (found && found.rows.isEmpty()) {
            mustRun(db, QStringLiteral("drop database if exists qv_template_new"));
            mustRun(db, QStringLiteral("create database qv_template_new"));
            Database fresh;
            QString error;
            if (!fresh.openServer(connectionTo(QStringLiteral("qv_template_new")), &error))
                qFatal("template database: %s", qPrintable(error));
            const Result prepared = prepareServerFromTemplate(fresh);
            if (!prepared)
                qFatal("template database: %s", qPrintable(prepared.error));
            fresh.close();
            mustRun(db, QStringLiteral("alter database qv_template_new rename to qv_template"));
        }
        mustRun(db, QStringLiteral("select pg_advisory_unlock(7315)"));
        ready = true;
    }

} // namespace

void allowServerWrites(Database& db)
{
    const Result r = db.script(QStringLiteral("drop function if exists qv_test_refuse() cascade"));
    if (!r)
        qFatal("allowing writes: %s", qPrintable(r.error));
}

QString refusalSentence(FailureKind kind)
{
    return onServer() ? serverFailureSentence(kind) : failureSentence(kind);
}

bool onServer() { return qEnvironmentVariable("QUORVELA_TEST_ENGINE") == QLatin1String("server"); }

QString newServerDatabase()
{
    ensureTemplate();
    static QAtomicInt made;
    const QString name = QStringLiteral("qv_t_%1_%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(made.fetchAndAddRelaxed(1));
    mustRun(admin(), QStringLiteral("drop database if exists %1").arg(name));
    mustRun(admin(), QStringLiteral("create database %1 template qv_template").arg(name));
    return connectionTo(name);
}

void dropServerDatabase(const QString& connection)
{
    const QString name = connection.section(QStringLiteral("dbname="), 1).section(QLatin1Char(' '), 0, 0);
    const Result r = admin().run(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    if (!r)
        qWarning("dropping %s: %s", qPrintable(name), qPrintable(r.error));
}

void refuseServerWrites(Database& db, int sqliteCode)
{
    const char* state = sqliteCode == SQLITE_FULL ? "53100"
        : sqliteCode == SQLITE_READONLY           ? "25006"
                                                  : "58030";
    QString sql
        = QStringLiteral("create or replace function qv_test_refuse() returns trigger language plpgsql "
                         "as $$ begin raise exception 'refused by the test' using errcode = '%1'; end $$;")
              .arg(QLatin1String(state));
    for (const char* table : { "档案", "商品", "设置", "个人模板", "诊断", "动物种类" })
        sql += QStringLiteral("create trigger qv_test_refuse before insert or update or delete on \"%1\" "
                              "for each statement execute function qv_test_refuse();")
                   .arg(QString::fromUtf8(table));
    const Result r = db.script(sql);
    if (!r)
        qFatal("refusing writes: %s", qPrintable(r.error));
}

QStringList tableRows(Database& db, const StoreTable& table, bool withRowIds)
{
    QStringList quoted;
    if (withRowIds)
        quoted << QStringLiteral("rowid");
    for (const QString& c : table.columns)
        quoted << QLatin1Char('"') + c + QLatin1Char('"');
    QStringList rows;
    const Result r = db.forEachRow(
        QStringLiteral("select %1 from \"%2\" order by rowid").arg(quoted.join(u','), table.name), {},
        [&](const Cursor& row) {
            QStringList values;
            for (int i = 0; i < quoted.size(); ++i)
                values << (row.isNull(i) ? QStringLiteral("<null>") : row.text(i));
            rows << values.join(u'|');
            return true;
        });
    if (!r)
        qWarning("%s", qPrintable(r.error));
    return rows;
}

} // namespace qv::test
