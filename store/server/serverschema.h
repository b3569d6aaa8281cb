#pragma once
// The practice's server database: the six tables of 数据库.dat with the same columns in the same order, and
// what the server keeps besides (the schema version, the catalog's change notes).
//
// Text, memo and the date column are text in code point order (collation "C"), as the file compares them;
// CURRENCY is an exact numeric. Every table carries "rowid", an identity column last, so that insertion order
// reads the same on both engines.

#include "store/database.h"

#include <functional>

namespace qv {

// The schema version this program writes and understands. 2: the catalog's notes send a notification on the
// channel below and keep only the latest notes.
constexpr int kServerSchemaVersion = 2;

// Where the database announces a committed change of 商品 (one notification a transaction).
constexpr char kCatalogChannel[] = "qv_catalog";

// One step that brings a database of an earlier version to `version`.
struct ServerUpgradeStep {
    int version;
    QString sql;
};

// The steps of this program, in order.
const QList<ServerUpgradeStep>& serverUpgradeSteps();

// The whole schema of a new database at kServerSchemaVersion (without its version row and seed rows).
QString serverSchemaScript();

// Inside a transaction on the server: waits for, then holds until the transaction ends, the lock that every
// set-up of the database takes (a desk's first start, an upgrade, a move or import into it), so two of them
// never run at once.
Result takeSetUpLock(Database& db);

// Before a step that creates or changes the database's tables (setting up an empty database, an upgrade,
// filling it from a file): whether this connection's user may, as the database's owner may. The desks work as
// a role that only reads and writes the tables; for it the refusal names the step and the owner's account.
Result checkOwnerStep(Database& db, const QString& step);

struct ServerPreparation {
    bool created = false; // the database was empty and has been set up
    QList<int> applied; // versions reached by upgrade steps at this start
};

// Makes the connected database ready, in one transaction under a lock, so two desks starting at once do it
// once: an empty database gets the schema and seed(db) fills it; a database of ours gets its pending steps; a
// database holding other tables or of a newer version is refused untouched, with a message that says so.
// wasStored, when given, tells after a commit whose answer was lost whether it was stored (Database).
Result prepareServerDatabase(Database& db, const std::function<Result(Database&)>& seed,
    ServerPreparation* done = nullptr, const QList<ServerUpgradeStep>& steps = serverUpgradeSteps(),
    int version = kServerSchemaVersion, const std::function<Result(bool* stored)>& wasStored = {});

} // namespace qv
