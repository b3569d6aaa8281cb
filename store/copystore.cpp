#include "store/copystore.h"
#include "store/server/serverschema.h"
#include "store/tables.h"

namespace qv {

namespace {

    QString columnList(const QStringList& columns)
    {
        QStringList quoted;
        for (const QString& c : columns)
            quoted << QLatin1Char('"') + c + QLatin1Char('"');
        return quoted.join(QStringLiteral(", "));
    }

} // namespace

Result copyStoreRows(Database& from, Database& to, const std::function<void(qint64 rows)>& copied)
{
    Result result;
    result.ok = true;
    qint64 rows = 0;
    for (const StoreTable& table : storeTables()) {
        const QStringList columns = QStringList { QStringLiteral("rowid") } + table.columns;
        const QString read = QStringLiteral("select rowid, %1 from \"%2\" order by rowid")
                                 .arg(columnList(table.columns), table.name);
        // Streamed from one store into the other: a ten-year archive is never held in memory whole.
        result = to.copyIn(table.name, columns, [&](const RowSink& sink) {
            QVariantList values;
            return from.forEachRow(read, {}, [&](const Cursor& row) {
                values.clear();
                for (int i = 0; i < columns.size(); ++i)
                    values << (row.isNull(i) ? QVariant() : QVariant(row.text(i)));
                if (copied && ++rows % 4096 == 0)
                    copied(rows);
                return sink(values);
            });
        });
        if (!result)
            return result;
        if (copied)
            copied(rows);
        if (to.kind() == StoreKind::Server) {
            result = to.run(QStringLiteral("select setval(pg_get_serial_sequence('\"%1\"', 'rowid'), "
                                           "coalesce(max(\"rowid\"), 0) + 1, false) from \"%1\"")
                                .arg(table.name));
            if (!result)
                return result;
        }
    }
    return result;
}

Result holdStoreForFilling(Database& to, bool lockTables)
{
    if (to.kind() != StoreKind::Server)
        return Result { true };
    Result r { true };
    if (lockTables)
        r = takeSetUpLock(to);
    if (r && lockTables) {
        QStringList names;
        for (const StoreTable& table : storeTables())
            names << QLatin1Char('"') + table.name + QLatin1Char('"');
        r = to.run(QStringLiteral("lock table %1 in exclusive mode").arg(names.join(QStringLiteral(", "))));
    }
    return r ? to.run(QStringLiteral("set local statement_timeout = 0")) : r;
}

Result clearStoreTables(Database& to)
{
    Result r { true };
    for (const StoreTable& table : storeTables()) {
        r = to.run(QStringLiteral("delete from \"%1\"").arg(table.name));
        if (!r)
            return r;
    }
    return r;
}

} // namespace qv
