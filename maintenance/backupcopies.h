#pragma once
// The copies of the database the program keeps (one folder per day of the month under the backup root) and
// the proof that a copy is good: it opens with the key, passes SQLite's full integrity check, and its
// prescriptions are counted. The check belongs to the encrypted file. A copy the Windows program left (its
// exit backups lie in the same day folders) is told apart: it cannot be restored, only imported.

#include "platform/failures.h"
#include "store/jet/jetformat.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace qv {

class Database;

// What a database file holds, and whether it is sound.
struct CopyFacts {
    bool ok = false; // opened with the key and found whole
    FailureKind failure = FailureKind::Other;
    QString error; // why it is not good, as the user reads it
    qint64 prescriptions = 0; // rows of 档案
    QString newestDate; // the latest prescription date ("yyyy-mm-dd"), empty without prescriptions
    // A copy of the Windows program's database: never ok (it is no copy to restore), but read through, its
    // prescriptions and drugs counted, when jetReadable.
    JetFormat jet = JetFormat::None;
    bool jetReadable = false;
    qint64 drugs = 0; // rows of 商品 in such a copy
};

// Counts the prescriptions of an open database and finds its latest date. ok is false when it cannot read.
CopyFacts countPrescriptions(Database& db);

// Opens the file at path with the key (through the SQLite VFS named vfs, the default one when null), runs
// the full integrity check and counts. The file is opened where it lies: use it on a file of the program's
// own (a staged copy), not on a backup that must stay exactly as it is.
CopyFacts proveDatabaseFile(const QString& path, const char* vfs = nullptr);

// The same proof on a private copy of the file, so that looking at a backup leaves nothing beside it and
// works on a read-only stick. A copy of the Windows program's database is read (only read) where it lies.
CopyFacts inspectCopy(const QString& path);

// One day folder under the backup root and the copy it holds.
struct BackupCopy {
    QString day; // the folder's name, "8日"
    QString path; // folder/数据库.dat
    bool present = false; // the folder holds the file
    QDateTime written; // when the copy was last written (invalid when absent)
    qint64 bytes = 0;
    JetFormat jet = JetFormat::None; // the Windows program's copy, by its first bytes
};

// The day folders under root ("1日" … "31日"), the latest written first; folders without a copy last.
QList<BackupCopy> listBackupCopies(const QString& backupRoot);

// The latest written copy under root that passes the proof, with its facts; nothing when there is none.
struct GoodCopy {
    BackupCopy copy;
    CopyFacts facts;
    explicit operator bool() const { return facts.ok; }
};
GoodCopy newestGoodCopy(const QString& backupRoot);

// What the user is told when a backup fails: the folder it was going to, the disk it is on with its free
// space, and the reason (one of the failure sentences).
QString backupFailureText(const QString& folder, const QString& error);

// The kind of failure a text made by explainFailure tells (Other when none of the sentences begins it).
FailureKind failureKindOf(const QString& explained);

// "12月8日": a copy's day as the questions name it.
QString shortDate(const QDate& day);
// "41,233": a count with thousands separated.
QString groupedCount(qint64 n);

} // namespace qv
