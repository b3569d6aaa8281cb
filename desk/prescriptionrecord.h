#pragma once
// A stored prescription is one row of "档案": the thirteen header fields in the columns named by their field
// index ("0" to "12"), the body in T1 and the record key in 序号. Columns 13 to 22, T2 and T3 are never
// written.

#include "desk/paperlayout.h"
#include "platform/typedvalues.h"
#include "store/database.h"
#include "store/sharedwrites.h"

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qv {

struct PrescriptionRecord {
    std::array<QString, kFieldCount> fields; // by field index, which is also the column name
    QString body; // lines end in CR LF
    QString key; // 序号
    // The stored row as this desk loaded or last saved it (columns "0" to "12" and T1); empty for a
    // prescription never stored. A save compares it with the row stored now.
    QStringList seen;
    // What a save sent whose answer was lost with the server: the row may hold it instead of seen (or, for a
    // prescription never stored before, be missing). Empty otherwise.
    QStringList unconfirmed;
};

// A stored date shown as "yyyy-mm-dd"; a stored text that is no date is shown as it is.
QString storedDateText(const QString& stored);

// Adds the row of record.key or changes it when it is stored already, in one transaction. The date field is
// stored as "yyyy-mm-dd"; a date field that is not a date is refused before anything is written. A failure
// comes back with its reason.
Result saveRecord(Database& db, const PrescriptionRecord& record);
// What a desk's save did.
struct DeskSave {
    Result result; // a failure (or a conflict) wrote nothing
    RowConflict conflict = RowConflict::None; // refused: another desk changed or deleted the prescription
    QString key; // the key the row is stored under: a new prescription takes the next free one
    QStringList seen; // the row as now stored, for the next save
    // After a save whose outcome could not be learned (result.outcomeUnknown): what it sent under key, for
    // the next save's unconfirmed, so that saving again neither doubles it nor calls it changed elsewhere.
    QStringList unconfirmed;
};

// The desk's save. A prescription never stored (record.seen empty) is added under the first key from
// record.key on that no row holds, even when another desk took record.key meanwhile. A stored one is written
// only when its row is still as record.seen (or record.unconfirmed) says; otherwise nothing is written and
// the conflict says why.
DeskSave saveRecordFromDesk(Database& db, const PrescriptionRecord& record);

// The question the desk asks when its save met a conflict.
QString conflictQuestion(RowConflict conflict);

// What the desk shows when a save failed: the prescription was not stored.
QString notSavedMessage(const QString& reason);

// The stored row of key. Empty when there is none or the store cannot be read (error says which).
// A null column comes back as an empty field.
std::optional<PrescriptionRecord> loadRecord(Database& db, const QString& key, QString* error = nullptr);

// Deletes the row of key; deleting a key that is not stored changes nothing and succeeds.
Result deleteRecord(Database& db, const QString& key);

// Makes record keys: the local time "yyyymmddhhmmss", followed by the installation tag for the keys of New
// and Continue. A key already handed out in this run or already stored takes the next free second instead, so
// two new prescriptions within one second never share a row.
class RecordKeys {
public:
    RecordKeys(Database* db, QString installationTag);

    // A key for New and Continue: time and installation tag.
    QString nextTagged(const QDateTime& now) { return next(now, m_tag); }
    // A key for the window's load and for the reset after a deletion: the time alone.
    QString nextPlain(const QDateTime& now) { return next(now, QString()); }

private:
    QString next(QDateTime time, const QString& suffix);
    bool isTaken(const QString& key);

    Database* m_db;
    QString m_tag;
    QSet<QString> m_handedOut;
};

// The 14-digit local time of a key or an archive number.
QString keyTime(const QDateTime& time);

} // namespace qv
