#pragma once
// The program's store: one interface, two engines behind it. The encrypted file (数据库.dat, SQLCipher) is
// the default and serves one computer; the practice's server (PostgreSQL) serves several desks on one
// archive. Every value reaches SQL as a bound parameter; every failure comes back as a text the caller can
// show, with its kind beside it.
//
// Statements are written once for both engines: identifiers in double quotes, `?` (or `?1`, `?2` …) for
// parameters, LIKE on lower(column) with a pattern from containsPattern and "escape '\'", insertion order by
// rowid (the file's own row id; a column of that name on the server).

#include "platform/failures.h"

#include <QByteArrayView>
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

struct sqlite3;

namespace qv {

// One result row, read by column name.
class Row {
public:
    Row() = default;
    Row(QSharedPointer<const QStringList> columns, QVariantList values);

    QVariant value(const QString& column) const;
    // The value as text; null gives "".
    QString text(const QString& column) const;
    bool isNull(const QString& column) const;
    const QVariantList& values() const { return m_values; }
    const QStringList& columns() const;

private:
    QSharedPointer<const QStringList> m_columns;
    QVariantList m_values;
};

struct Result {
    bool ok = false;
    QString error; // why it failed, in words a user can read (the technical reason in brackets)
    FailureKind failure = FailureKind::Stated; // what kind of failure; Stated when the program refused
    int code = 0; // the file engine's SQLite extended result code of the failure; 0 otherwise
    QList<Row> rows;
    int changes = 0; // rows written by an insert, update or delete

    explicit operator bool() const { return ok; }
};

// The row a query is stepping through, read by column position. Valid only while the row is being visited.
class Cursor {
public:
    virtual ~Cursor() = default;
    // The value as text; null gives "".
    virtual QString text(int column) const = 0;
    // The value's UTF-8 bytes, valid until the next row; null gives none.
    virtual QByteArrayView utf8(int column) const = 0;
    virtual bool isNull(int column) const = 0;
};

enum class StoreKind { File, Server };

// Where the catalog's change notes stand: the notes of one session are numbered from 1; a new session
// (the connection was opened again, and the notes may have been lost) has another token.
struct ChangeNotesState {
    QString session;
    qint64 latest = 0;
};

class StoreEngine;

// Takes one row's values; false when the rows can be taken no more.
using RowSink = std::function<bool(const QVariantList&)>;
using RowProducer = std::function<Result(const RowSink&)>;

class Database {
public:
    // The database password of 数据库.dat.
    static const char* const kKey;

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file engine. Opens an existing file (never creates one) and proves the key by reading the schema.
    // vfs names an SQLite VFS to use instead of the default one (tests inject failures this way).
    bool open(const QString& path, QString* error, const char* vfs = nullptr);
    // Creates a new empty encrypted file (for building the template).
    bool create(const QString& path, QString* error);
    // The server engine: connects with a libpq connection string. The database is set up or checked apart
    // (store/server/serverschema.h).
    bool openServer(const QString& connection, QString* error);
    // How to open another connection to this store (a read in the background uses one of its own). It holds
    // what it needs by value: it may be used on another thread, after this connection is closed.
    using Opener = std::function<std::unique_ptr<StoreEngine>(QString* error)>;
    Opener opener() const;
    bool open(const Opener& opener, QString* error);
    void close();
    bool isOpen() const;
    StoreKind kind() const;
    // The file's path; empty on the server.
    QString path() const;
    // Where the data is, in words for a message: the file's path or the server and its database.
    QString location() const;

    // Runs one statement; parameters bind to ?1, ?2 … in order. Null QVariants bind SQL NULL.
    Result run(const QString& sql, const QVariantList& params = {});
    // Steps through the rows of a query without building Rows (for long lists); visit returns false to stop.
    Result forEachRow(
        const QString& sql, const QVariantList& params, const std::function<bool(const Cursor&)>& visit);
    // Runs several statements without parameters (schema scripts).
    Result script(const QString& sql);
    // Runs body inside a transaction; rolls back and returns the failure when body fails.
    Result transaction(const std::function<Result()>& body);

    // How far a long copy has come, in rows; false stops it (the copy then fails and leaves nothing).
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    // A consistent copy of the open database into target as the encrypted file the file engine keeps (same
    // key, same tables), written and synced whole before it reports done. On the server it is one snapshot
    // of the archive (every table as of one moment, whatever other desks write meanwhile), which opens and
    // restores without the server; progress hears of it as the rows are copied.
    Result backupTo(const QString& targetPath, const Progress& progress = {});
    // The file engine: reads every page back (Full: also every index entry and row format) and answers one
    // row, "ok" when the file is sound, otherwise what is wrong. The server is refused: it checks itself.
    enum class Check { Quick, Full };
    Result checkIntegrity(Check depth);
    // The file engine: moves everything the journal holds into the file itself and empties the journal; the
    // row answers (busy, pages in the journal, pages moved). Refused on the server.
    Result foldJournal();

    // Notes of changed 商品 rows, by row id, kept by the store for every writer it sees (the catalog index
    // re-reads just those rows). startCatalogNotes is safe to call again.
    Result startCatalogNotes();
    Result catalogNotesState(ChangeNotesState* state);
    Result changedCatalogRows(qint64 after, qint64 upTo, QList<qint64>* rowIds);
    // Loads rows into table as fast as the engine can (COPY on the server): produce hands every row's values,
    // in columns' order, to the sink it is given, and returns its own failure if it has one. Inside the
    // caller's transaction when there is one.
    Result copyIn(const QString& table, const QStringList& columns, const RowProducer& produce);
    // A connection that reads a table once, page after page: it keeps little in memory.
    void keepLittleInMemory();

    // The file engine's SQLite handle (its tests and benchmarks); null on the server.
    sqlite3* handle() const;

private:
    std::unique_ptr<StoreEngine> m_engine;
};

// A LIKE pattern that finds typed text anywhere in a column, matching % _ and \ literally, ASCII letters
// case-blind. Use it with "lower(column) like ? escape '\'".
QString containsPattern(const QString& typed);

// ASCII letters in lower case, everything else as it is: the store's case rule (names that differ only in
// ASCII letter case are one name; full-width and other letters are compared exactly).
QString foldAsciiCase(const QString& text);

} // namespace qv
