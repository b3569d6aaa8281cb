#include "store/copystore.h"
#include "store/amounts.h"
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

    // Which row a message means: by its key where the table has one, else by its place.
    QString rowName(const StoreTable& table, const Cursor& row, qint64 place)
    {
        for (const char* key : { "序号", "ID号" }) {
            const qsizetype at = table.columns.indexOf(QString::fromUtf8(key));
            if (at >= 0)
                return QStringLiteral("%1为“%2”的一行").arg(QString::fromUtf8(key), row.text(int(at) + 1));
        }
        return QStringLiteral("第 %1 行").arg(place);
    }

    Result refusedAmount(
        const StoreTable& table, const QString& column, const QString& row, const QString& value)
    {
        return refused(
            QStringLiteral("“%1”表中%2的“%3”不是一个金额（“%4”），服务器不能保存它。请先在本机改正这个"
                           "金额，再迁移。")
                .arg(table.name, row, column, value));
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
        // The server's amounts are exact to four decimals; the file may hold anything in those columns.
        QList<bool> amount(columns.size(), false);
        if (to.kind() == StoreKind::Server)
            for (int i = 1; i < columns.size(); ++i)
                amount[i] = table.currency.contains(columns[i]);
        Result refusal;
        qint64 place = 0;
        // Streamed from one store into the other: a ten-year archive is never held in memory whole.
        result = to.copyIn(table.name, columns, [&](const RowSink& sink) {
            QVariantList values;
            const Result walked = from.forEachRow(read, {}, [&](const Cursor& row) {
                values.clear();
                ++place;
                for (int i = 0; i < columns.size(); ++i) {
                    if (row.isNull(i)) {
                        values << QVariant();
                    } else if (amount[i]) {
                        const ServerAmount value = serverAmount(row.utf8(i));
                        if (value.form == ServerAmount::Invalid) {
                            refusal
                                = refusedAmount(table, columns[i], rowName(table, row, place), row.text(i));
                            return false;
                        }
                        values << (value.form == ServerAmount::Empty
                                ? QVariant()
                                : QVariant(QString::fromLatin1(value.text)));
                    } else {
                        values << QVariant(row.text(i));
                    }
                }
                if (copied && ++rows % 4096 == 0)
                    copied(rows);
                return sink(values);
            });
            // A refused value cuts the copy short, so the server keeps none of it.
            return refusal.error.isEmpty() ? walked : refusal;
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
