#pragma once
// What start-up offers around the backups: a damaged database restored from the newest good copy, and a
// reminder when the newest good copy is more than a week old. And the Windows program's database found where
// the program keeps its own: imported, not taken for a damaged file.

#include "maintenance/backupcopies.h"
#include "platform/services.h"

#include <QObject>

#include <functional>
#include <future>

class QThread;

namespace qv {

// A start-up that failed on a damaged database (it would not open with the key, or failed its check): names
// the newest good copy with its date and counts and offers to restore it. The damaged file is set aside,
// never overwritten or deleted. True when the copy is in place (start again); false when there is no good
// copy, the user declines, or the restore failed (the start-up's own failure is then shown as before).
bool offerRestoreOfDamaged(Services& services, const QString& startupError);

// How the import of the Windows program's database talks to the user.
struct JetImportHooks {
    // Asks whether to import ("导入") or to quit ("退出"): true for the import.
    std::function<bool(const QString& question)> ask;
    // A progress bar for one import, gone when the returned callback is; the callback answers false once the
    // user cancelled. Without it the import runs without a bar.
    std::function<std::function<bool(qint64 done, qint64 total)>()> startProgress;
};

// When databasePath is the Windows program's Jet file: says so and offers the import, again after a failed
// or cancelled one, until it is done (true: start again, the file is now the program's own and its login
// password the practice's) or the user quits (false). False at once when the file is no Jet file.
bool offerImportOfJetDatabase(Services& services, const QString& databasePath, const JetImportHooks& hooks);

// The text of the reminder, or empty when the newest good copy is recent enough. written is invalid when no
// copy is good; databaseSince is when the database file came into being (invalid when unknown): a database
// younger than a week without a copy is a new installation, not a forgotten backup.
QString backupReminder(const QDateTime& now, const QDateTime& written, const QDateTime& databaseSince);

// Looks for the newest good copy in the background once the main window shows, and asks once whether to
// back up now when it is older than a week.
class BackupReminder final : public QObject {
    Q_OBJECT
public:
    explicit BackupReminder(Services& services, QObject* parent = nullptr);
    ~BackupReminder() override;
    void start();
    bool finished() const { return m_done; }

private:
    void remind(const QDateTime& written);
    Services& m_services;
    QThread* m_thread = nullptr;
    bool m_done = false;
};

// The quick check of the open file (every page readable and sound) on a connection of its own, so that it
// runs while the login waits: a ten-year archive takes half a second. Answers an empty text when the file is
// sound, otherwise the start-up's message for a damaged file.
std::future<QString> checkInBackground(const Database& db, const QString& databasePath);

} // namespace qv
