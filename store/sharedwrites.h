#pragma once
// Writes that several desks make to one archive at the same time.
//
// Keys made from the clock: the local time "yyyymmddhhmmss", for some keys followed by a tag. Two desks that
// create a row within one second make the same key. claimFreeKey, called inside the saving transaction, takes
// the first key from the wanted one on that no row holds, moving on by whole seconds; the row is then written
// in the same transaction. On the file the write transaction excludes every other writer; on the server the
// claimed key's name is locked to the end of the transaction, so a second desk wanting it waits until the
// first has stored its row, then finds it taken and moves on.
//
// Rows changed at two desks: a desk keeps the values of a row as it loaded (or last saved) them. Inside the
// saving transaction readForChange reads the row again, locked against other writers until the transaction
// ends, and the save goes on only when the row is still as the desk saw it.

#include "store/database.h"

#include <QStringList>
#include <optional>

namespace qv {

// Inside a writing transaction: the first key of table's keyColumn, from wanted on, that no row holds. wanted
// is a clock key (14 digits of local time, then any tag, which the claimed key keeps); a key that is no clock
// key is claimed only when free (otherwise a KeyTaken failure). With scopeColumn, a key need only be free
// among the rows whose scopeColumn holds scopeValue (a template's key within its category).
Result claimFreeKey(Database& db, const QString& table, const QString& keyColumn, const QString& wanted,
    QString* claimed, const QString& scopeColumn = {}, const QString& scopeValue = {});

// How a row stands against what a desk saw of it.
enum class RowConflict {
    None, // as the desk saw it (or new)
    Changed, // another desk saved other values meanwhile
    Deleted, // another desk deleted it meanwhile
};

// Inside a writing transaction: reads columns of the row that `where` (with params) selects, locked until the
// transaction ends, as texts (null as ""). now is empty when no row is stored.
Result readForChange(Database& db, const QString& table, const QStringList& columns, const QString& where,
    const QVariantList& params, std::optional<QStringList>* now);

// What the desk saw against what is stored now.
RowConflict conflictOf(const QStringList& seen, const std::optional<QStringList>& now);

// After a save whose commit was answered by a broken connection: whether the row that `where` selects holds
// exactly values in columns (as texts, null as ""), as the save wrote them.
Result rowHolds(Database& db, const QString& table, const QStringList& columns, const QString& where,
    const QVariantList& params, const QStringList& values, bool* holds);

// A refusal for a conflict, with the sentence the window shows (what: "这张处方", "这个药品" …).
Result conflictRefusal(RowConflict conflict, const QString& what);

} // namespace qv
