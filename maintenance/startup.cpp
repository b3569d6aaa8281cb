#include "maintenance/startup.h"
#include "maintenance/importcommand.h"
#include "platform/failures.h"
#include "platform/filesync.h"
#include "platform/privatefile.h"
#include "store/file/upgrade.h"
#include "store/jet/jetformat.h"
#include "store/template/templatedb.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
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

    // The new file of an import or a restore killed half way: never the only copy of anything (the database
    // stays in place until the rename that ends them), only a full-size file nobody will use. The caller
    // holds the folder, so no import or restore is under way.
    void removeCutShortFiles(const QString& databasePath)
    {
        for (const QString& staged :
            { importStagingPath(databasePath), databasePath + QStringLiteral(".恢复中") }) {
            for (const char* suffix : { "", "-journal", "-wal", "-shm" })
                QFile::remove(staged + QLatin1String(suffix));
        }
    }

} // namespace

StartupResult startUp(const DriveRoots& drives, AppContext& context, Database& db)
{
    StartupResult result;
    context.dataFolder = dataFolderFor(chooseDriveRoot(drives));
    context.databasePath = context.dataFolder + QStringLiteral("/数据库.dat");
    context.installationTag = installationTag();
    const QString shownPath = QDir::toNativeSeparators(context.databasePath);
    // The archive is readable by this user alone, whatever the folders and files were made with before.
    PrivateCreation privately;
    errno = 0;
    if (!makeFolderPath(context.dataFolder)) {
        const int savedErrno = errno;
        result.error = QStringLiteral("无法创建数据文件夹：%1\n%2")
                           .arg(QDir::toNativeSeparators(context.dataFolder),
                               explainFileFailure(context.dataFolder, QString(), savedErrno));
        return result;
    }
    keepFolderPrivate(context.dataFolder);
    keepBackupsPrivate(backupRootFor(chooseDriveRoot(drives)));
    QString error;
    if (!context.serverConnection.isEmpty())
        return startOnServer(context, db);
    removeCutShortFiles(context.databasePath);
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
    keepPrivate(context.databasePath);
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

void keepBackupsPrivate(const QString& backupRoot)
{
    keepFolderPrivate(backupRoot);
    const QDir root(backupRoot);
    for (const QString& day : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks))
        keepFolderPrivate(root.filePath(day));
}

namespace {

    // How long a backup waits for another program's backup into the same day folder to end.
    constexpr int kWaitForOtherBackupMs = 20000;

    // Two programs on one computer working on the practice's server may end at the same moment: one at a
    // time writes into the day folder. Empty once the folder is this program's; otherwise why not.
    QString lockDayFolder(QLockFile& lock, const QString& lockPath, const Database::Progress& progress)
    {
        // A long copy is no lock left behind: only a holder that is no longer running is.
        lock.setStaleLockTime(0);
        QElapsedTimer waited;
        waited.start();
        errno = 0;
        while (!lock.tryLock(100)) {
            if (lock.error() != QLockFile::LockFailedError)
                return explainFileFailure(lockPath, QStringLiteral("无法锁定备份文件夹"), errno);
            // A lock that names no holder a while after it was made was cut short by a power cut.
            qint64 pid = 0;
            QString host, app;
            if (!lock.getLockInfo(&pid, &host, &app)
                && QFileInfo(lockPath).lastModified().secsTo(QDateTime::currentDateTime()) > 30)
                lock.removeStaleLockFile();
            if (progress && !progress(0, 0))
                return QStringLiteral("备份已取消。");
            if (waited.elapsed() >= kWaitForOtherBackupMs)
                return QStringLiteral(
                    "另一个程序正在往这个文件夹写备份，等了 %1 秒仍没有写完，这次没有再写一份。")
                    .arg(kWaitForOtherBackupMs / 1000);
        }
        return {};
    }

    void removeCopyFiles(const QString& path)
    {
        for (const char* suffix : { "", "-journal", "-wal", "-shm" })
            QFile::remove(path + QLatin1String(suffix));
    }

} // namespace

QString backUpDatabase(
    const DriveRoots& drives, const QDate& today, Database& db, const Database::Progress& progress)
{
    if (!db.isOpen() || (db.kind() == StoreKind::File && !QFile::exists(db.path())))
        return {};
    const QString root = backupRootFor(chooseDriveRoot(drives));
    const QString folder = todaysBackupFolder(drives, today);
    PrivateCreation privately;
    errno = 0;
    if (!makeFolderPath(folder)) {
        const int savedErrno = errno;
        for (const QString& level : { folder, root }) {
            if (QFileInfo(level).exists() && !QFileInfo(level).isDir())
                return QStringLiteral(
                    "备份文件夹的位置上是一个同名的文件：%1\n请把这个文件改名或移走，再备份。")
                    .arg(QDir::toNativeSeparators(level));
        }
        return QStringLiteral("无法创建备份文件夹：%1\n%2")
            .arg(QDir::toNativeSeparators(folder), explainFileFailure(folder, QString(), savedErrno));
    }
    keepBackupsPrivate(root);
    const QString lockPath = folder + QStringLiteral("/备份.lock");
    QLockFile lock(lockPath);
    if (const QString refused = lockDayFolder(lock, lockPath, progress); !refused.isEmpty())
        return refused;
    // Copies cut short by a program that ended mid-way: nobody else writes here while the lock is held.
    const QDir day(folder);
    for (const QString& left :
        day.entryList({ QStringLiteral("数据库.dat.part*") }, QDir::Files | QDir::Hidden))
        QFile::remove(day.filePath(left));
    return writeBackupFile(db, folder + QStringLiteral("/数据库.dat"), progress);
}

QString writeBackupFile(Database& db, const QString& target, const Database::Progress& progress)
{
    const QString folder = QFileInfo(target).absolutePath();
    // A name of this copy's own: another program writing into the same folder never touches it.
    const QString partial = QStringLiteral("%1.part-%2-%3")
                                .arg(target)
                                .arg(QCoreApplication::applicationPid())
                                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    PrivateCreation privately;
    const Result copied = db.backupTo(partial, progress);
    if (!copied) {
        removeCopyFiles(partial);
        return copied.error;
    }
    keepPrivate(partial);
    std::error_code ec;
    std::filesystem::rename(
        std::filesystem::path(partial.toStdU16String()), std::filesystem::path(target.toStdU16String()), ec);
    if (ec) {
        removeCopyFiles(partial);
        return explainFileFailure(target, QString::fromStdString(ec.message()), ec.value());
    }
    if (!syncFolder(folder))
        return QStringLiteral("备份文件夹未能写入磁盘：%1").arg(QDir::toNativeSeparators(folder));
    return {};
}

} // namespace qv
