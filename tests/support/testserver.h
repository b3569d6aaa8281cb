#pragma once
// The tests' PostgreSQL server (tests/support/pgserver.sh, started and stopped by CTest). A test executable
// registered for both engines runs a second time with QUORVELA_TEST_ENGINE=server: every TestEnv then works
// on a database of its own on that server, a copy of one set up from the template.

#include "store/database.h"
#include "store/tables.h"

namespace qv::test {

// True in the run on the server.
bool onServer();
// A new database on the tests' server as a new program would find it set up; its connection string.
QString newServerDatabase();
// Removes a database made by newServerDatabase, whoever is still connected to it.
void dropServerDatabase(const QString& connection);
// Makes every later write to db's tables fail as the file's disk does with sqliteCode (SQLITE_FULL: the
// server's disk is full; SQLITE_READONLY: the database is read only; anything else: an I/O error).
void refuseServerWrites(Database& db, int sqliteCode);

// Lets writes through again after refuseServerWrites.
void allowServerWrites(Database& db);

// The sentence a failure of this kind begins with in this run (the server's sentences name the server).
QString refusalSentence(FailureKind kind);

// Every row of a table as text, in insertion order, with its row id first when asked; null as "<null>".
QStringList tableRows(Database& db, const StoreTable& table, bool withRowIds = false);

} // namespace qv::test

// Skips a case that exercises the file engine's own machinery (its VFS, its file on disk) in the run on the
// server, which has its own tests of the same faults.
#define QV_FILE_ENGINE_ONLY()                                                                                \
    do {                                                                                                     \
        if (qv::test::onServer())                                                                            \
            QSKIP("the file engine's own machinery");                                                        \
    } while (false)
