#pragma once
// The file engine: one encrypted SQLCipher connection to 数据库.dat.

#include "store/engine.h"

#include <QHash>

#include <chrono>

struct sqlite3;
struct sqlite3_stmt;

namespace qv {

class FileEngine final : public StoreEngine {
public:
    FileEngine() = default;
    ~FileEngine() override;
    FileEngine(const FileEngine&) = delete;
    FileEngine& operator=(const FileEngine&) = delete;

    // Opens an existing file (never creates one) and proves the key by reading the schema.
    bool open(const QString& path, QString* error, const char* vfs = nullptr);
    // Creates a new empty encrypted file.
    bool create(const QString& path, QString* error);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    StoreKind kind() const override { return StoreKind::File; }
    QString path() const override { return m_path; }
    QString location() const override;

    Result run(const QString& sql, const QVariantList& params) override;
    Result forEachRow(const QString& sql, const QVariantList& params,
        const std::function<bool(const Cursor&)>& visit) override;
    Result script(const QString& sql) override;
    Result begin() override;
    Result commit() override;
    void rollback() override;

    // The file's bytes once the write-ahead log is folded back into it, opened and read back whole to prove
    // every page; otherwise the pages copied through SQLite's online backup.
    Result backupTo(const QString& targetPath, const Database::Progress& progress) override;
    Result checkIntegrity(Database::Check depth) override;
    Result foldJournal() override;

    Result startCatalogNotes() override;
    Result catalogNotesState(ChangeNotesState* state) override;
    Result catalogNotes(qint64 after, QList<ChangeNote>* notes) override;
    void keepLittleInMemory() override;

    Result copyIn(const QString& table, const QStringList& columns, const RowProducer& produce) override;

    Database::Opener opener() const override;
    sqlite3* handle() const { return m_db; }

private:
    // The busy handler: true (look again) until the file has been busy for kBusyWait.
    static constexpr std::chrono::seconds kBusyWait { 10 };
    static int lookAgainSoon(void* engine, int looks);
    std::chrono::steady_clock::time_point m_busySince;

    bool openWith(const QString& path, int flags, QString* error, const char* vfs);
    Result copyFileTo(const QString& targetPath);
    Result checkCopy(const QString& path) const;
    Result copyPagesTo(const QString& targetPath);
    sqlite3_stmt* prepare(const QString& sql, const QVariantList& params, Result& result);
    void release(const QString& sql, sqlite3_stmt* stmt);
    void forgetStatements();
    sqlite3* m_db = nullptr;
    // Statements kept prepared for their next run, reset and unbound. One in use is taken out, so a
    // statement run again from inside its own rows gets one of its own.
    QHash<QString, sqlite3_stmt*> m_statements;
    QString m_path;
    QByteArray m_vfs; // the VFS the file was opened through; empty for the default one
    QString m_notesTable; // where this connection reads the catalog's change notes; empty until started
    QString m_notesSession; // the session token of those notes
};

// The SQLite handle of a connection to the file (its tests and benchmarks); null on the server or closed.
sqlite3* fileHandleOf(const Database& db);

} // namespace qv
