#pragma once
// Copying every row of one store into another of the same tables (the template into a new server database,
// a desk's file onto the practice's server), row ids included, so insertion order survives the move.

#include "store/database.h"

namespace qv {

// Copies the six tables of from into to, which must hold none of their rows yet; runs inside the caller's
// transaction on to, if any. The server's row id counters continue after the copied rows. copied, when given,
// hears how many rows have been copied so far, every few thousand rows.
Result copyStoreRows(Database& from, Database& to, const std::function<void(qint64 rows)>& copied = {});

// Inside a writing transaction, before a whole archive is written into the store: on the server, no statement
// time limit for this transaction (a ten-year archive over a slow network takes longer than an everyday
// statement may) and, with lockTables, no other set-up and no other writer of the six tables until it ends.
// The file's write transaction already excludes every other writer.
Result holdStoreForFilling(Database& to, bool lockTables);

// Deletes every row of the six tables (inside the caller's transaction).
Result clearStoreTables(Database& to);

} // namespace qv
