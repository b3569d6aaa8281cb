#include "tests/support/testenv.h"
#include "store/template/templatedb.h"
#include "tests/support/failingvfs.h"
#include "tests/support/testserver.h"

#include <QDir>
#include <QTest>

namespace qv::test {

TestEnv::TestEnv()
{
    const QString folder = dir.filePath(QStringLiteral("Quorvela数据库"));
    QDir().mkpath(folder);
    drives.c = dir.path();
    context.dataFolder = folder;
    context.databasePath = folder + QStringLiteral("/数据库.dat");
    context.heldPassword = QStringLiteral("947");
    context.installationTag = QStringLiteral("-TEST-000000001");
    // This computer's own settings files (desk.conf) go to the test's folder, never the user's.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    QString error;
    if (onServer()) {
        context.serverConnection = newServerDatabase();
        if (!db.openServer(context.serverConnection, &error))
            qFatal("test database: %s", qPrintable(error));
    } else if (!writeTemplateDatabase(context.databasePath, &error)
        || !db.open(context.databasePath, &error)) {
        qFatal("test database: %s", qPrintable(error));
    }
    services.clock = &clock;
    services.messages = &messages;
    services.fileDialogs = &fileDialogs;
    services.clipboard = &clipboard;
    services.urls = &urls;
    services.drives = &drives;
    services.db = &db;
    services.catalog = &catalog;
    services.windows = &windows;
    services.context = &context;
}

TestEnv::~TestEnv()
{
    failWritesAfter(-1); // a test that stopped half way leaves the failing disk healthy for the next
    db.close();
    if (onServer())
        dropServerDatabase(context.serverConnection);
}

void TestEnv::reopenOnFailingDisk()
{
    db.close();
    if (onServer()) {
        QString error;
        if (!db.openServer(context.serverConnection, &error))
            qFatal("test database: %s", qPrintable(error));
        return;
    }
    installFailingVfs();
    QString error;
    if (!db.open(context.databasePath, &error, kFailingVfs))
        qFatal("test database: %s", qPrintable(error));
}

void TestEnv::failEveryWrite(int code)
{
    reopenOnFailingDisk();
    if (onServer()) {
        refuseServerWrites(db, code);
        return;
    }
    failWritesAfter(0, code);
}

void TestEnv::refuseWrites(int code)
{
    if (onServer())
        refuseServerWrites(db, code);
    else
        failWritesAfter(0, code);
}

void TestEnv::allowWrites()
{
    if (onServer())
        allowServerWrites(db);
    else
        failWritesAfter(-1);
}

void TestEnv::reopen()
{
    db.close();
    QString error;
    const bool opened = onServer() ? db.openServer(context.serverConnection, &error)
                                   : db.open(context.databasePath, &error);
    if (!opened)
        qFatal("test database: %s", qPrintable(error));
}

QString TestEnv::dataFolder() const { return context.dataFolder; }

QList<Row> TestEnv::rows(const QString& sql, const QVariantList& params)
{
    Result r = db.run(sql, params);
    if (!r)
        qWarning("query failed: %s: %s", qPrintable(sql), qPrintable(r.error));
    return r.rows;
}

int TestEnv::count(const QString& table, const QString& where, const QVariantList& params)
{
    QString sql = QStringLiteral("select count(*) as n from \"%1\"").arg(table);
    if (!where.isEmpty())
        sql += QStringLiteral(" where ") + where;
    const QList<Row> r = rows(sql, params);
    return r.isEmpty() ? -1 : r.first().value(QStringLiteral("n")).toInt();
}

} // namespace qv::test
