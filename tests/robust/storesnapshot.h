#pragma once
// What the store holds, in a form a test can compare before and after an action.

#include "store/database.h"

#include <QStringList>

namespace qv::test {

// Every row of every table the windows write, one text per row ("table|value|value…"), sorted within each
// table.
QStringList storeSnapshot(Database& db);

// The answer of "pragma integrity_check": "ok" for a sound file, otherwise what is wrong.
QString integrityOf(Database& db);

} // namespace qv::test
