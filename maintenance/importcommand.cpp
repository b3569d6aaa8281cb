#include "maintenance/importcommand.h"
#include "maintenance/jetimport.h"
#include "store/server/serverschema.h"
#include "store/template/templatedb.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace qv {

namespace {

    int finish(const Result& r, const ImportReport& report, const QString& where)
    {
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (!report.file.isEmpty())
            (r ? out : err) << report.text() << Qt::endl;
        if (!r) {
            err << QStringLiteral("导入没有完成：%1").arg(r.error) << Qt::endl;
            return 1;
        }
        out << QStringLiteral("已导入到 %1，核对一致。").arg(where) << Qt::endl;
        return 0;
    }

    Result failed(const QString& why)
    {
        Result r;
        r.error = why;
        return r;
    }

} // namespace

int importFromCommandLine(const QString& jetPath, const QString& serverConnection, const QString& dataFolder)
{
    ImportReport report;
    Database db;
    QString error;
    if (!serverConnection.isEmpty()) {
        if (!db.openServer(serverConnection, &error))
            return finish(failed(error), report, serverConnection);
        // An empty database is set up first; its rows then come from the Jet file alone.
        Result r = prepareServerDatabase(db, [](Database&) { return Result { true }; });
        if (r)
            r = importJetFile(jetPath, db, &report);
        return finish(r, report, QStringLiteral("服务器"));
    }

    const QString path = QDir(dataFolder).filePath(QStringLiteral("数据库.dat"));
    if (QFile::exists(path)) {
        if (!db.open(path, &error))
            return finish(failed(error), report, path);
        return finish(importJetFile(jetPath, db, &report), report, path);
    }
    // No database yet: a new one is made beside, filled and proved, and only then put in place, so an
    // interrupted import leaves no half-filled file where the program looks for its database.
    const QString fresh = path + QStringLiteral(".导入中");
    QFile::remove(fresh);
    if (!QDir().mkpath(dataFolder) || !writeTemplateDatabase(fresh, &error) || !db.open(fresh, &error)) {
        QFile::remove(fresh);
        return finish(
            failed(QStringLiteral("无法在 %1 建立新的数据库：%2").arg(dataFolder, error)), report, path);
    }
    const Result r = importJetFile(jetPath, db, &report);
    db.close();
    if (!r || !QFile::rename(fresh, path)) {
        QFile::remove(fresh);
        return finish(r ? failed(QStringLiteral("无法把新的数据库放到 %1。").arg(path)) : r, report, path);
    }
    return finish(r, report, path);
}

} // namespace qv
