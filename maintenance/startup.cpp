#include "maintenance/startup.h"
#include "platform/failures.h"
#include "platform/filesync.h"
#include "store/file/upgrade.h"
#include "store/jet/jetformat.h"
#include "store/template/templatedb.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <cerrno>
#include <filesystem>

namespace qv {

QString chooseDriveRoot(const DriveRoots& drives)
{
    const QString d = drives.driveD();
    return (!d.isEmpty() && drives.hasVisibleEntries(d)) ? d : drives.driveC();
}

QString dataFolderFor(const QString& driveRoot)
{
    return QDir::cleanPath(driveRoot + QStringLiteral("/Quorvela数据库"));
}

QString backupRootFor(const QString& driveRoot)
{
    return QDir::cleanPath(driveRoot + QStringLiteral("/Quorvela数据库备份"));
}

QString backupFolderName(const QDate& day) { return QString::number(day.day()) + QStringLiteral("日"); }

bool makeFolderPath(const QString& path)
{
    QDir().mkpath(path);
    return QFileInfo(path).isDir();
}

QString installationTag()
{
    QByteArray seed = QSysInfo::machineUniqueId();
    if (seed.isEmpty())
        seed = QSysInfo::machineHostName().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex();
    // 15 characters, as the keys of the sample archive row carry.
    return QStringLiteral("-") + QString::fromLatin1(hash.left(14)).toUpper();
}

namespace {

    StartupResult readHeldPassword(AppContext& context, Database& db, const QString& failedRead)
    {
        StartupResult result;
        // A readable database without a settings row leaves the held password empty.
        const Result settings = db.run(QStringLiteral("select * from \"设置\""));
        if (!settings) {
            result.error = failedRead + QLatin1Char('\n') + settings.error;
            db.close();
            return result;
        }
        context.heldPassword
            = settings.rows.isEmpty() ? QString() : settings.rows.first().text(QStringLiteral("密码"));
        result.ok = true;
        return result;
    }

    // The archive on the practice's server: an empty database is set up from the template, ours is brought
    // up to date, anything else is refused untouched. The local file is never used instead.
    StartupResult startOnServer(AppContext& context, Database& db)
    {
        StartupResult result;
        QString error;
        if (!db.openServer(context.serverConnection, &error)) {
            result.error = error;
            return result;
        }
        const Result prepared = prepareServerFromTemplate(db);
        if (!prepared) {
            result.error = QStringLiteral("无法使用%1。\n%2").arg(db.location(), prepared.error);
            db.close();
            return result;
        }
        return readHeldPassword(context, db, QStringLiteral("无法读取%1").arg(db.location()));
    }

} // namespace

StartupResult startUp(const DriveRoots& drives, AppContext& context, Database& db)
{
    StartupResult result;
    context.dataFolder = dataFolderFor(chooseDriveRoot(drives));
    context.databasePath = context.dataFolder + QStringLiteral("/数据库.dat");
    context.installationTag = installationTag();
    const QString shownPath = QDir::toNativeSeparators(context.databasePath);
    errno = 0;
    if (!makeFolderPath(context.dataFolder)) {
        const int savedErrno = errno;
        result.error = QStringLiteral("无法创建数据文件夹：%1\n%2")
                           .arg(QDir::toNativeSeparators(context.dataFolder),
                               explainFileFailure(context.dataFolder, QString(), savedErrno));
        return result;
    }
    QString error;
    if (!context.serverConnection.isEmpty())
        return startOnServer(context, db);
    if (!QFile::exists(context.databasePath) && !writeTemplateDatabase(context.databasePath, &error)) {
        result.error = QStringLiteral("无法创建数据库文件：%1\n%2").arg(shownPath, error);
        return result;
    }
    // The Windows program's database is no damaged file: it is imported (start-up offers it), never
    // replaced by a backup.
    if (const JetFormat format = jetFormatOfFile(context.databasePath); format != JetFormat::None) {
        result.error
            = QStringLiteral("%1 是 Windows 版程序的数据库（%2），需要先导入才能使用。文件已保持原样。")
                  .arg(shownPath, jetFormatName(format));
        return result;
    }
    if (!db.open(context.databasePath, &error)) {
        result.error = QStringLiteral("无法打开数据库文件：%1\n%2\n文件已保持原样，程序将退出。")
                           .arg(shownPath, error);
        return result;
    }
    // A file made by an earlier version gains what the template has now. A step that fails leaves the file as
    // it was and is tried again at the next start; the program works without it, only slower.
    for (const QString& failed : upgradeExistingFile(db).failed)
        qWarning("database upgrade step not applied: %s", qPrintable(failed));
    return readHeldPassword(context, db, QStringLiteral("无法读取数据库文件：%1").arg(shownPath));
}

StartupResult startUpOnServer(
    const DriveRoots& drives, AppContext& context, Database& db, const ServerStartHooks& hooks)
{
    for (;;) {
        StartupResult started = startUp(drives, context, db);
        if (started.ok || context.serverConnection.isEmpty() || !hooks.offer)
            return started;
        switch (hooks.offer(started.error)) {
        case ServerOffer::Retry:
            break;
        case ServerOffer::ChangeConnection:
            if (hooks.changeConnection) {
                const QString changed = hooks.changeConnection();
                if (!changed.isEmpty())
                    context.serverConnection = changed;
            }
            break;
        case ServerOffer::Quit:
            return started;
        }
    }
}

QString todaysBackupFolder(const DriveRoots& drives, const QDate& today)
{
    return backupRootFor(chooseDriveRoot(drives)) + QLatin1Char('/') + backupFolderName(today);
}

QString backUpDatabase(
    const DriveRoots& drives, const QDate& today, Database& db, const Database::Progress& progress)
{
    if (!db.isOpen() || (db.kind() == StoreKind::File && !QFile::exists(db.path())))
        return {};
    const QString folder = todaysBackupFolder(drives, today);
    errno = 0;
    if (!makeFolderPath(folder)) {
        const int savedErrno = errno;
        return QStringLiteral("无法创建备份文件夹：%1\n%2")
            .arg(QDir::toNativeSeparators(folder), explainFileFailure(folder, QString(), savedErrno));
    }
    return writeBackupFile(db, folder + QStringLiteral("/数据库.dat"), progress);
}

QString writeBackupFile(Database& db, const QString& target, const Database::Progress& progress)
{
    const QString folder = QFileInfo(target).absolutePath();
    const QString partial = target + QStringLiteral(".part");
    const Result copied = db.backupTo(partial, progress);
    if (!copied) {
        QFile::remove(partial);
        return copied.error;
    }
    std::error_code ec;
    std::filesystem::rename(
        std::filesystem::path(partial.toStdU16String()), std::filesystem::path(target.toStdU16String()), ec);
    if (ec) {
        QFile::remove(partial);
        return explainFileFailure(target, QString::fromStdString(ec.message()), ec.value());
    }
    if (!syncFolder(folder))
        return QStringLiteral("备份文件夹未能写入磁盘：%1").arg(QDir::toNativeSeparators(folder));
    return {};
}

} // namespace qv
