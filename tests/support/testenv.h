#pragma once
// A fresh world for one test: a temporary data folder holding a new copy of the template database, opened,
// and a Services object wired to fakes. Windows under test take env.services.

#include "catalogs/catalogindex.h"
#include "platform/services.h"
#include "store/database.h"
#include "tests/support/fakes.h"
#include "tests/support/testserver.h"

#include <QTemporaryDir>

namespace qv::test {

class TestEnv {
public:
    TestEnv();
    ~TestEnv();

    // The folder of this test; the database is dataFolder()/数据库.dat.
    QString dataFolder() const;
    // Runs a query that must succeed (fails the test otherwise) and returns its rows.
    QList<Row> rows(const QString& sql, const QVariantList& params = {});
    // Counts rows of a table, optionally filtered ("select count(*) from [t] where …").
    int count(const QString& table, const QString& where = {}, const QVariantList& params = {});
    // Reopens the database through a VFS that can be told to fail writes (tests/support/failingvfs.h).
    void reopenOnFailingDisk();
    // Reopens it on a disk whose every write from now on fails with code (SQLITE_FULL, SQLITE_READONLY …).
    void failEveryWrite(int code);
    // After reopenOnFailingDisk: every write from now on fails (the disk fails, or the server refuses), until
    // allowWrites.
    void refuseWrites(int code = 0);
    void allowWrites();
    // Closes the database and opens it again, as the next start of the program would.
    void reopen();

    QTemporaryDir dir;
    FixedClock clock;
    ScriptedMessages messages;
    NextFileName fileDialogs;
    MemoryClipboard clipboard;
    RecordingUrlOpener urls;
    FolderDrives drives;
    RecordingWindowOpener windows;
    AppContext context;
    Database db;
    CatalogIndex catalog { db };
    Services services;
};

} // namespace qv::test
