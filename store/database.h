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
    // The connection broke while a commit was on its way: the server may or may not have stored it.
    bool outcomeUnknown = false;

    explicit operator bool() const { return ok; }
};

// A failure the program itself states: why says it in the user's words.
Result refused(const QString& why);

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

// Where the catalog's change notes stand. The notes live in the database, written by its own triggers for
// every writer, numbered upwards; the oldest are dropped as new ones come (only the latest ten thousand are
// kept). Another session token means other notes: the notes were started afresh (a file without the notes
// table keeps them for this connection only).
struct ChangeNotesState {
    QString session;
    qint64 latest = 0; // the highest number written so far (0: none)
    qint64 earliest = 0; // the lowest number still kept (0: none)
};

// One change note: a 商品 row was inserted, changed or deleted.
struct ChangeNote {
    qint64 number = 0;
    qint64 rowId = 0;
};

// Wakes its owner when another connection has committed a change to 商品 (the server's notifications), and
// once more when its connection was lost and made again, as notifications may have been missed meanwhile.
// The wake comes from the event loop of the thread that made the listener.
class CatalogListener {
public:
    virtual ~CatalogListener() = default;
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
    // The same for a save that can tell whether it was stored: when the answer to the commit is lost with the
    // connection, the server is reached again and wasStored asked whether the store now holds exactly what
    // body wrote. Stored, it counts as done; not stored, it failed; when that cannot be learned the failure
    // says so (outcomeUnknown).
    Result transaction(
        const std::function<Result()>& body, const std::function<Result(bool* stored)>& wasStored);

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
    // The notes numbered above `after`, in number order. On the server, notes may become visible out of order
    // (a writer that took its number first may commit last): a reader looks again below its latest.
    Result catalogNotes(qint64 after, QList<ChangeNote>* notes);
    // A listener that calls wake when other connections commit catalog changes; null where the engine has no
    // notifications (the file: its readers look at the notes instead) or when it cannot listen now.
    std::unique_ptr<CatalogListener> listenForCatalogChanges(const std::function<void()>& wake);
    // Loads rows into table as fast as the engine can (COPY on the server): produce hands every row's values,
    // in columns' order, to the sink it is given, and returns its own failure if it has one. Inside the
    // caller's transaction when there is one.
    Result copyIn(const QString& table, const QStringList& columns, const RowProducer& produce);
    // Inside a writing transaction: no other connection holding the same name passes until this transaction
    // ends (two desks claiming one key wait for each other).
    Result holdName(const QString& name);
    // Appended to a select inside a writing transaction: the rows read stay as read until it ends.
    QString lockRowsClause() const;
    // A connection that reads a table once, page after page: it keeps little in memory.
    void keepLittleInMemory();

    // The engine behind the connection (an engine's own tests and tools reach it this way); null when closed.
    StoreEngine* engine() const { return m_engine.get(); }

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
