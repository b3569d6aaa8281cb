#pragma once
// The one encrypted connection of the run. Every value reaches SQL as a bound parameter; every failure comes
// back as a text the caller can show, with its kind and SQLite's own code beside it.

#include "platform/failures.h"

#include <QByteArrayView>
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

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
    int code = 0; // SQLite's extended result code of the failure; 0 when the program refused
    QList<Row> rows;
    int changes = 0; // rows written by an insert, update or delete

    explicit operator bool() const { return ok; }
};

// The row a query is stepping through, read by column position. Valid only while the row is being visited.
class Cursor {
public:
    // The value as text; null gives "".
    QString text(int column) const;
    // The value's UTF-8 bytes, valid until the next row; null gives none.
    QByteArrayView utf8(int column) const;
    bool isNull(int column) const;

private:
    friend class Database;
    explicit Cursor(sqlite3_stmt* stmt)
        : m_stmt(stmt)
    {
    }
    sqlite3_stmt* m_stmt;
};

class Database {
public:
    // The database password of 数据库.dat.
    static const char* const kKey;

    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing file (never creates one) and proves the key by reading the schema.
    // vfs names an SQLite VFS to use instead of the default one (tests inject failures this way).
    bool open(const QString& path, QString* error, const char* vfs = nullptr);
    // Creates a new empty encrypted file (for building the template).
    bool create(const QString& path, QString* error);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }

    // Runs one statement; parameters bind to ?1, ?2 … in order. Null QVariants bind SQL NULL.
    Result run(const QString& sql, const QVariantList& params = {});
    // Steps through the rows of a query without building Rows (for long lists); visit returns false to stop.
    Result forEachRow(
        const QString& sql, const QVariantList& params, const std::function<bool(const Cursor&)>& visit);
    // Runs several statements without parameters (schema scripts).
    Result script(const QString& sql);
    // Runs body inside a transaction; rolls back and returns the failure when body fails.
    Result transaction(const std::function<Result()>& body);

    // A consistent copy of the open database into target (same key), written and synced whole before it
    // reports done: the file's bytes once the write-ahead log is folded back into it, opened and read back
    // whole to prove every page; otherwise the pages copied through SQLite's online backup.
    Result backupTo(const QString& targetPath);

    sqlite3* handle() const { return m_db; }

private:
    bool openWith(const QString& path, int flags, QString* error, const char* vfs);
    Result copyFileTo(const QString& targetPath);
    Result checkCopy(const QString& path) const;
    Result copyPagesTo(const QString& targetPath);
    sqlite3_stmt* prepare(const QString& sql, const QVariantList& params, Result& result);
    sqlite3* m_db = nullptr;
    QString m_path;
};

// A LIKE pattern that finds typed text anywhere in a column, matching % _ and \ literally.
// Use it with "like ? escape '\'".
QString containsPattern(const QString& typed);

} // namespace qv
