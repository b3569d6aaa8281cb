#pragma once
// Putting a backup in the place of the database. The copy is first read into a private place and proven
// there (key, full check, counts), so the backup itself is never changed and a copy that fails is refused
// before anything happens. The current file is never deleted: it stays beside the restored one as
// 数据库.dat.恢复前-yyyymmddhhmmss.

#include "maintenance/backupcopies.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <optional>

namespace qv {

class Database;

// A copy chosen for restoring, read into a private folder and proven.
class RestoreSource {
public:
    explicit RestoreSource(const QString& path);
    RestoreSource(const RestoreSource&) = delete;
    RestoreSource& operator=(const RestoreSource&) = delete;

    QString originalPath() const { return m_original; }
    // The proven private copy (what is put in place).
    QString provenPath() const { return m_proven; }
    const CopyFacts& facts() const { return m_facts; }
    // The day the copy was written, as its file tells.
    QDate writtenOn() const { return m_written; }

private:
    QString m_original;
    QTemporaryDir m_dir;
    QString m_proven;
    CopyFacts m_facts;
    QDate m_written;
};

// "用 12月8日 的备份（处方 41,233 张）替换当前数据库（处方 41,260 张）？"; a current database that cannot be
// counted is said to be unreadable.
QString restoreQuestion(const RestoreSource& source, const std::optional<qint64>& currentPrescriptions);

// The name the current file is kept under: databasePath + ".恢复前-yyyymmddhhmmss", one that is not taken.
QString setAsidePath(const QString& databasePath, const QDateTime& now);

struct RestoreOutcome {
    bool ok = false;
    QString error; // why nothing changed (or, rarely, why the store could not be opened again)
    QString setAside; // where the previous file is kept
};

// Puts the proven copy in place of the database file at databasePath and opens db on it again. In order:
// the copy is written beside the database as 数据库.dat.恢复中 and synced; the open store folds its log back
// and closes; the current file gets its second name (恢复前-…); the copy is renamed over 数据库.dat. Until
// that rename the current file is in place untouched, and a power cut at any moment leaves one whole database
// there, the old or the restored. db may be closed (a file that would not open at start-up); it is left
// open on whichever file is in place when this returns, when that opens.
RestoreOutcome replaceDatabase(
    Database& db, const QString& databasePath, const RestoreSource& source, const QDateTime& now);

} // namespace qv
