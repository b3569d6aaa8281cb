#pragma once
// The two name catalogs the desk completes from: diagnosis names (诊断) and animal species (动物种类). A row
// is a name, its search code and the lookup key 序号 (name followed by code), which is unique: a name is
// stored once.

#include "store/database.h"

#include <QList>
#include <QString>

namespace qv {

enum class NameCatalog { Diagnoses, Species };

// One list entry: the name shown and the 序号 of its row.
struct NameEntry {
    QString key;
    QString name;
};

// The rows whose 序号 contains search (every row when search is empty), in the order they were added.
QList<NameEntry> listNames(Database& db, NameCatalog catalog, const QString& search = {});

struct NameSave {
    enum class Outcome { Added, AlreadyStored, Failed };
    Outcome outcome = Outcome::Failed;
    QString error; // the store's reason when Failed
};

// Adds the name with its code unless a row with the same 序号, ignoring ASCII letter case, is already stored
// (AlreadyStored, nothing written).
NameSave addName(Database& db, NameCatalog catalog, const QString& name, const QString& code);

// Deletes the row with this 序号.
Result deleteName(Database& db, NameCatalog catalog, const QString& key);

} // namespace qv
