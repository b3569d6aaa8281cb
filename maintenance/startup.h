#pragma once
// Start-up and exit: where the data lives, the first-start template, the held password, the daily backup.

#include "platform/services.h"
#include "store/database.h"

#include <functional>

namespace qv {

// "drive D:" when it holds at least one visible entry at its root, otherwise "drive C:".
QString chooseDriveRoot(const DriveRoots& drives);
QString dataFolderFor(const QString& driveRoot); // <root>/Quorvela数据库
QString backupRootFor(const QString& driveRoot); // <root>/Quorvela数据库备份
// The day's backup folder: the day of the month without leading zero followed by "日".
QString backupFolderName(const QDate& day);

// Creates every level of a folder path; existing levels are fine. False when the folder does not exist after.
bool makeFolderPath(const QString& path);

// A fixed text of this installation, the same at every start, carried by new archive keys after the time
// stamp.
QString installationTag();

struct StartupResult {
    bool ok = false;
    QString error; // what to tell the user when ok is false
};

// Chooses the data folder, writes the template database if the file is missing, opens it and reads the held
// password. A database that cannot be created or opened is reported, never papered over. The caller holds the
// data folder (its single-instance lock): files left by an import or restore cut short are removed.
StartupResult startUp(const DriveRoots& drives, AppContext& context, Database& db);

// What the user answers when the practice's server cannot be used at start.
enum class ServerOffer { Retry, ChangeConnection, Quit };
struct ServerStartHooks {
    // Says why (the text) and asks what to do; Quit when the user closes the question.
    std::function<ServerOffer(const QString& why)> offer;
    // Lets the user change the connection; the new connection string, or empty when the user cancelled.
    // Without it only trying again and quitting are offered (the connection came from QUORVELA_SERVER).
    std::function<QString()> changeConnection;
};

// startUp on context.serverConnection, asked again and again while the server cannot be used: tried again,
// changed, or given up (the result then is not ok and its error says why). It never falls back to this
// computer's file: that would split the archive in two.
StartupResult startUpOnServer(
    const DriveRoots& drives, AppContext& context, Database& db, const ServerStartHooks& hooks);

// Copies the open database into today's backup folder, consistently, through a temporary file renamed into
// place: the file itself, or on the practice's server a snapshot of its archive written as the same file.
// The folders are this user's alone (0700), the copy too (0600). Another program of this computer backing
// up into the same day folder is waited for (its lock), for a while; progress(0, 0) hears of the wait.
// Returns the error text, empty on success or when there is nothing to back up. progress hears of a long
// copy.
QString backUpDatabase(
    const DriveRoots& drives, const QDate& today, Database& db, const Database::Progress& progress = {});
// The same proven copy into the file target (its folder must exist), written under a temporary name of its
// own and readable by this user alone. Returns the error text, empty on success.
QString writeBackupFile(Database& db, const QString& target, const Database::Progress& progress = {});
// Takes away others' access to the backup folder, its day folders and their copies.
void keepBackupsPrivate(const QString& backupRoot);
// Today's backup folder as the exit backup chooses it.
QString todaysBackupFolder(const DriveRoots& drives, const QDate& today);

} // namespace qv
