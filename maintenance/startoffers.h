#pragma once
// What start-up offers around the backups: a damaged database restored from the newest good copy, and a
// reminder when the newest good copy is more than a week old.

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
