#pragma once
// Copying every row of one store into another of the same tables (the template into a new server database,
// a desk's file onto the practice's server), row ids included, so insertion order survives the move.

#include "store/database.h"

namespace qv {

// Copies the six tables of from into to, which must hold none of their rows yet; runs inside the caller's
// transaction on to, if any. The server's row id counters continue after the copied rows. copied, when given,
// hears how many rows have been copied so far, every few thousand rows.
Result copyStoreRows(Database& from, Database& to, const std::function<void(qint64 rows)>& copied = {});

} // namespace qv
