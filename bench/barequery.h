// The baseline for a search: the same statement stepped to its end through the SQLite C API on the same
// connection, every row's second column read but nothing kept.
#pragma once

#include "store/database.h"
#include "store/file/fileengine.h"
#include "store/server/serverengine.h"

#include <QElapsedTimer>
#include <QVariantList>
#include <sqlcipher/sqlite3.h>
#include <vector>

namespace qv::bench {

// Milliseconds the statement takes, or -1 when SQLite refuses it.
inline double bareQueryMs(Database& db, const QString& sql, const QVariantList& params)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(fileHandleOf(db), text.constData(), int(text.size()), &statement, nullptr)
        != SQLITE_OK)
        return -1;
    for (int i = 0; i < params.size(); ++i) {
        const QByteArray value = params[i].toString().toUtf8();
        sqlite3_bind_text(statement, i + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        sqlite3_column_text(statement, 1);
    sqlite3_finalize(statement);
    return step == SQLITE_DONE ? timer.nsecsElapsed() / 1e6 : -1;
}

// The same on the server: the statement sent through libpq on a connection of its own, every row's second
// column read.
inline double bareServerQueryMs(PGconn* conn, const QString& sql, const QVariantList& params)
{
    QElapsedTimer timer;
    timer.start();
    const QByteArray text = ServerEngine::numberPlaceholders(sql);
    std::vector<QByteArray> values;
    std::vector<const char*> pointers;
    for (const QVariant& p : params)
        values.push_back(p.toString().toUtf8());
    for (const QByteArray& v : values)
        pointers.push_back(v.constData());
    PGresult* r = PQexecParams(
        conn, text.constData(), int(pointers.size()), nullptr, pointers.data(), nullptr, nullptr, 0);
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK;
    const int rows = ok ? PQntuples(r) : 0;
    const int column = PQnfields(r) > 1 ? 1 : 0;
    for (int i = 0; i < rows; ++i)
        PQgetvalue(r, i, column);
    PQclear(r);
    return ok ? timer.nsecsElapsed() / 1e6 : -1;
}

} // namespace qv::bench
