#pragma once
// The drug catalog's work on the table 商品, without a window: making free keys, tidying names, saving and
// deleting. DrugCatalogWindow calls these (searching is the catalog index's, catalogs/catalogindex.h); tests
// reach them directly.

#include "store/database.h"
#include "store/sharedwrites.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace qv {

// A new row key: the time "yyyymmddhhmmss"; when a row of 商品 already has that key, the next second that is
// free, so two entries made within one second never share a key.
QString newDrugKey(Database& db, const QDateTime& now);

// The name as the entry box keeps it: full-width and square brackets become round ones, "*" becomes "×".
// Every replacement is one character for one, so a caret position stays where it was.
QString tidyDrugName(const QString& name);

// What the entry panel holds when it is saved.
struct DrugEntry {
    QString key;
    QString name;
    QString usage;
    QString code;
    QString category; // the category box: where the row goes
    // A new entry (the panel's 添加): stored as a new row under the first key from `key` on that no row
    // holds, even when another desk took `key` meanwhile.
    bool fresh = false;
    // The row as the panel showed it (名称, 用法, 拼音, 分类; see drugSeen): when given, the row of `key` is
    // rewritten only while it is still so.
    QStringList seen;
};

// What the panel saw of a row, for DrugEntry::seen.
QStringList drugSeen(const QString& name, const QString& usage, const QString& code, const QString& category);

enum class SaveOutcome {
    Inserted, // no row had the key in the current category: a new row was written
    Updated, // the row of the key in the current category was rewritten
    NameMissing, // a new row with a blank name: nothing written
    Failed, // the store refused the write: nothing written, see the error
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Failed;
    QString error;
    RowConflict conflict = RowConflict::None; // Failed because another desk changed or deleted the row
    QString key; // the key the row is stored under
    // Failed at the commit, and whether the server stored it could not be learned: key is the one the save
    // wrote under, so that saving again under it (not as a fresh entry) changes that row or adds it, never
    // a second one.
    bool outcomeUnknown = false;
};

// The question the catalog window asks when its save met a conflict.
QString drugConflictQuestion(RowConflict conflict);

// Writes the entry: rewrites the row of entry.key listed under currentCategory whatever the fields hold, or
// adds a new row when there is none and the name is not blank. 查询 is the name followed directly by the
// code.
SaveResult saveDrug(Database& db, const DrugEntry& entry, const QString& currentCategory);

// The stock (库存) of the row with key; found is false when no row has the key. An empty stock counts as 0.
Result drugStock(Database& db, const QString& key, bool* found, double* stock);
Result deleteDrug(Database& db, const QString& key);

} // namespace qv
