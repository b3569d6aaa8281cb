#pragma once
// What an engine of the store does; Database forwards to the one it holds. Engines live in store/file
// (SQLCipher) and store/server (PostgreSQL).

#include "store/database.h"

namespace qv {

class StoreEngine {
public:
    virtual ~StoreEngine() = default;

    virtual StoreKind kind() const = 0;
    virtual QString path() const { return {}; }
    virtual QString location() const = 0;

    virtual Result run(const QString& sql, const QVariantList& params) = 0;
    virtual Result forEachRow(
        const QString& sql, const QVariantList& params, const std::function<bool(const Cursor&)>& visit)
        = 0;
    virtual Result script(const QString& sql) = 0;
    // A transaction that writes: the file engine takes the write lock at once.
    virtual Result begin() = 0;
    virtual Result commit() = 0;
    virtual void rollback() = 0;
    // After a commit whose outcome is unknown: connected again, with the old connection's work finished on
    // the server, so that what it committed (if anything) can be read.
    virtual Result settleLostCommit();

    virtual Result backupTo(const QString& targetPath, const Database::Progress& progress) = 0;
    virtual Result checkIntegrity(Database::Check depth) = 0;
    virtual Result foldJournal() = 0;

    virtual Result startCatalogNotes() = 0;
    virtual Result catalogNotesState(ChangeNotesState* state) = 0;
    virtual Result catalogNotes(qint64 after, QList<ChangeNote>* notes) = 0;
    virtual std::unique_ptr<CatalogListener> listenForCatalogChanges(const std::function<void()>&)
    {
        return nullptr;
    }
    virtual void keepLittleInMemory() { }
    // Inside a writing transaction: holds a lock on name until the transaction ends, so that a second writer
    // holding the same name waits. The file's write transaction already excludes every other writer.
    virtual Result holdName(const QString& name);
    // What a query appends to lock the rows it reads until the transaction ends ("" on the file, whose
    // write transaction already holds them).
    virtual QString lockRowsClause() const { return {}; }

    virtual Result copyIn(const QString& table, const QStringList& columns, const RowProducer& produce) = 0;

    // How to open a second connection to the same store (Database::opener).
    virtual Database::Opener opener() const = 0;
};

// What every engine reports when nothing is open.
Result notOpen();

// The answers of the engines' change-note statements: (session token, latest number, earliest number), and
// (number, row id) a note.
Result notesStateOf(Result read, ChangeNotesState* state);
Result notesOf(Result read, QList<ChangeNote>* notes);

} // namespace qv
