#include "maintenance/importcommand.h"
#include "maintenance/jetimport.h"
#include "maintenance/singleinstance.h"
#include "platform/privatefile.h"
#include "store/jet/jetformat.h"
#include "store/server/serverschema.h"
#include "store/template/templatedb.h"

#include "platform/failures.h"
#include "platform/filesync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTextStream>

#include <filesystem>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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

    // A new file left by an interrupted import, with its log.
    void removeStaged(const QString& path)
    {
        for (const char* suffix : { "", "-journal", "-wal", "-shm" })
            QFile::remove(path + QLatin1String(suffix));
    }

    bool keepUnder(const QString& from, const QString& to)
    {
#ifdef Q_OS_UNIX
        if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
            return true;
#endif
        return QFile::copy(from, to) && syncFile(to);
    }

} // namespace

int importFromCommandLine(const QString& jetPath, const QString& serverConnection, const QString& dataFolder)
{
    ImportReport report;
    Database db;
    QString error;
    if (!serverConnection.isEmpty()) {
        if (!db.openServer(serverConnection, &error))
            return finish(refused(error), report, serverConnection);
        // An empty database is set up first; its rows then come from the Jet file alone.
        Result r = prepareServerDatabase(db, [](Database&) { return Result { true }; });
        if (r)
            r = importJetFile(jetPath, db, &report);
        return finish(r, report, QStringLiteral("服务器"));
    }

    const QString path = QDir(dataFolder).filePath(QStringLiteral("数据库.dat"));
    PrivateCreation privately;
    if (!QDir().mkpath(dataFolder))
        return finish(refused(QStringLiteral("无法建立数据文件夹 %1。").arg(dataFolder)), report, path);
    keepFolderPrivate(dataFolder);
    // The folder is the running program's while it is open: an import beside it (or beside another import)
    // would build into the same new file and put the other's half-written one in place.
    QLockFile folderLock(SingleInstance::lockPath(dataFolder));
    if (SingleInstance::takeLock(folderLock) == SingleInstance::LockTaking::HeldByAnother)
        return finish(refused(QStringLiteral("Quorvela 正在使用数据文件夹 %1（程序窗口开着，或者另一个导入"
                                             "正在进行），没有导入，什么也没有改动。请关闭程序或等导入结束后"
                                             "再导入。")
                                  .arg(QDir::toNativeSeparators(dataFolder))),
            report, path);
    if (jetFormatOfFile(path) != JetFormat::None) {
        // The Windows program's file where the program keeps its own: replaced by its import, as at start.
        if (QFileInfo(path).canonicalFilePath() != QFileInfo(jetPath).canonicalFilePath())
            return finish(
                refused(QStringLiteral("数据文件夹中的 %1 是 Windows 版程序的数据库，请导入它本身。")
                            .arg(QDir::toNativeSeparators(path))),
                report, path);
        const JetReplaceOutcome outcome = replaceJetDatabase(path, QDateTime::currentDateTime(), &report);
        if (outcome.result)
            QTextStream(stdout) << QStringLiteral("原来的文件保存为 %1。").arg(outcome.keptAs) << Qt::endl;
        return finish(outcome.result, report, path);
    }
    if (QFile::exists(path)) {
        if (!db.open(path, &error))
            return finish(refused(error), report, path);
        return finish(importJetFile(jetPath, db, &report), report, path);
    }
    // No database yet: a new one is made beside, filled and proved, and only then put in place, so an
    // interrupted import leaves no half-filled file where the program looks for its database.
    const QString fresh = importStagingPath(path);
    Result r = importIntoNewFile(jetPath, fresh, &report);
    if (r && !QFile::rename(fresh, path)) {
        QFile::remove(fresh);
        r = refused(QStringLiteral("无法把新的数据库放到 %1。").arg(path));
    }
    if (r)
        syncFolder(dataFolder);
    return finish(r, report, path);
}

QString importStagingPath(const QString& databasePath) { return databasePath + QStringLiteral(".导入中"); }

Result importIntoNewFile(const QString& jetPath, const QString& freshPath, ImportReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress, const std::function<bool()>& cancelled)
{
    removeStaged(freshPath);
    Database db;
    QString error;
    if (!writeTemplateDatabase(freshPath, &error) || !db.open(freshPath, &error)) {
        removeStaged(freshPath);
        return refused(
            QStringLiteral("无法建立新的数据库 %1：%2").arg(QDir::toNativeSeparators(freshPath), error));
    }
    Result r = importJetFile(jetPath, db, report, progress, cancelled);
    // The new file must stand alone before it is renamed: its log folded in and gone, every page on disk.
    if (r)
        r = db.run(QStringLiteral("pragma journal_mode = delete"));
    db.close();
    if (r && !syncFile(freshPath))
        r = refused(QStringLiteral("新的数据库未能写入磁盘：%1").arg(QDir::toNativeSeparators(freshPath)));
    if (!r)
        removeStaged(freshPath);
    return r;
}

JetReplaceOutcome replaceJetDatabase(const QString& databasePath, const QDateTime& now, ImportReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress, const std::function<bool()>& cancelled)
{
    JetReplaceOutcome outcome;
    const QString folder = QFileInfo(databasePath).absolutePath();
    const QString fresh = importStagingPath(databasePath);
    outcome.result = importIntoNewFile(databasePath, fresh, report, progress, cancelled);
    if (!outcome.result)
        return outcome;
    // The original's bytes under their new name first (a second name for the same file where the disk
    // allows, else a synced copy), so that no moment leaves the practice without them.
    const QString stem
        = databasePath + QStringLiteral(".旧版-") + now.toString(QStringLiteral("yyyyMMddhhmmss"));
    QString kept = stem;
    for (int n = 2; QFileInfo::exists(kept); ++n)
        kept = stem + QStringLiteral("-%1").arg(n);
    if (!keepUnder(databasePath, kept) || !syncFolder(folder)) {
        QFile::remove(kept);
        removeStaged(fresh);
        outcome.result
            = refused(QStringLiteral("无法在 %1 保留旧版数据库，导入没有完成，旧版数据库没有改动。")
                          .arg(QDir::toNativeSeparators(folder)));
        return outcome;
    }
    // One rename puts the new file in place: before it the Jet file is there, after it the new one.
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(fresh.toStdU16String()),
        std::filesystem::path(databasePath.toStdU16String()), ec);
    if (ec) {
        QFile::remove(kept);
        removeStaged(fresh);
        outcome.result = refused(
            QStringLiteral("无法把新的数据库放到 %1：%2")
                .arg(QDir::toNativeSeparators(databasePath),
                    explainFileFailure(databasePath, QString::fromStdString(ec.message()), ec.value())));
        return outcome;
    }
    syncFolder(folder);
    outcome.keptAs = kept;
    return outcome;
}

} // namespace qv
