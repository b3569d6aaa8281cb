#pragma once
// A backup of the practice's server as the encrypted file the file engine keeps: the same tables and rows
// (row ids included, so insertion order survives), under the same key, so the copy opens and restores on a
// computer without the server.

#include "store/engine.h"

namespace qv {

// Writes every row of the six tables, as of one moment (one repeatable-read transaction on the server, so
// other desks may go on writing), into a new file at targetPath, which must not exist. The file is written in
// one transaction with a rollback journal and full sync, then opened again and checked, before it reports
// done. A failure leaves no file behind.
Result writeSnapshotFile(StoreEngine& server, const QString& targetPath, const Database::Progress& progress);

} // namespace qv
