#pragma once
// Moving this computer's archive onto the practice's server: every table of the file copied into a server
// database that holds no archive yet, in one transaction, then counted and checksummed on both sides before
// it is committed. The file is only read.

#include "store/database.h"

#include <functional>

namespace qv {

// One table's rows and a checksum of every value in insertion order (row ids included).
struct TableTally {
    QString table;
    qint64 rows = 0;
    QByteArray checksum; // SHA-256, hex
    // Amounts tallied in the form the server keeps them (see serverAmount): those rounded to four decimals,
    // and blank ones tallied as null.
    qint64 roundedAmounts = 0;
    qint64 blankAmounts = 0;
};

// The checksum of a table's values as tallyStore forms it, for rows that come from elsewhere (a Jet file):
// each value a null mark, or a value mark, its UTF-8 bytes and a terminator.
class TallyHash {
public:
    TallyHash();
    ~TallyHash();
    TallyHash(const TallyHash&) = delete;
    TallyHash& operator=(const TallyHash&) = delete;
    void addNull();
    void addValue(QByteArrayView utf8);
    QByteArray hex();

private:
    struct Private;
    Private* d;
};

// Counts and checksums the six tables. progress, when given, hears the rows read so far.
Result tallyStore(
    Database& db, QList<TableTally>* tallies, const std::function<void(qint64 rows)>& progress = {});

// Whether a store may be filled with an archive: empty, or holding only a new database's rows. Otherwise
// usedTable names the first table that differs (档案 first, with prescriptions its rows).
Result findArchiveIn(Database& db, QString* usedTable, qint64* prescriptions);

struct MigrationReport {
    QList<TableTally> local, server;
    // Every table has the same rows and checksum on both sides.
    bool matches() const;
    // A line per table: rows on each side and the checksum, and how many of the file's amounts the server
    // keeps rounded or empty, for the user.
    QString text() const;
};

// Copies the file's archive onto the server. The server database must be empty or hold only what a new
// database is set up with (the template's rows); one with any prescription or any other row is refused
// untouched, as is one that is not this program's or is of a newer version. A copy whose counts or checksums
// differ is rolled back. progress hears (rows done, rows in all) as it goes.
Result migrateToServer(Database& file, Database& server, MigrationReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress = {});

} // namespace qv
