#pragma once
// The server engine: one libpq connection to the practice's PostgreSQL database. Statements are the shared
// ones; `?` and `?n` become `$n` here. A connection the server dropped is made again at the next action that
// is not inside a transaction, so the desk works on once the server is back.

#include "store/engine.h"
#include "store/server/pg.h"

#include <QHash>

namespace qv {

class ServerEngine final : public StoreEngine {
public:
    ServerEngine() = default;
    ~ServerEngine() override = default;

    // Connects with a libpq connection string. The program's defaults (a connect timeout, a statement
    // timeout, UTF-8) come first, so the string can set its own.
    bool open(const QString& connection, QString* error);

    StoreKind kind() const override { return StoreKind::Server; }
    QString location() const override;

    Result run(const QString& sql, const QVariantList& params) override;
    Result forEachRow(const QString& sql, const QVariantList& params,
        const std::function<bool(const Cursor&)>& visit) override;
    Result script(const QString& sql) override;
    Result begin() override;
    Result commit() override;
    void rollback() override;
    Result settleLostCommit() override;

    Result backupTo(const QString& targetPath, const Database::Progress& progress) override;
    Result checkIntegrity(Database::Check depth) override;
    Result foldJournal() override;

    Result startCatalogNotes() override;
    Result catalogNotesState(ChangeNotesState* state) override;
    Result catalogNotes(qint64 after, QList<ChangeNote>* notes) override;
    std::unique_ptr<CatalogListener> listenForCatalogChanges(const std::function<void()>& wake) override;

    // The listening side of notifications: the socket to watch, and what arrived on it (how many
    // notifications; -1 when the connection broke).
    int socket() const;
    int takeNotifications();

    Result holdName(const QString& name) override;
    QString lockRowsClause() const override { return QStringLiteral(" for update"); }

    Database::Opener opener() const override;

    Result copyIn(const QString& table, const QStringList& columns, const RowProducer& produce) override;

    // `?` and `?n` outside quotes become `$n`.
    static QByteArray numberPlaceholders(const QString& sql);

private:
    // The result of one call, or the failure it stands for.
    Result check(PGresult* result, pg::ResultPtr& kept);
    Result connectionFailure() const;
    // Makes the connection again when the server dropped it, outside a transaction only.
    bool ensureConnected(Result& failure);
    PGresult* execute(const QString& sql, const QVariantList& params);

    pg::Connection m_conn;
    QString m_connection;
    bool m_inTransaction = false;
    int m_committingPid = 0; // the server process of the last commit sent
    QHash<QString, QByteArray> m_statements; // shared text -> libpq text
};

// What an SQLSTATE means to the user.
FailureKind kindOfSqlState(const QByteArray& state);

} // namespace qv
