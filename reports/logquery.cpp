#include "reports/logquery.h"

#include "store/database.h"

#include <sqlcipher/sqlite3.h>

namespace qv {

namespace {

    // The date column may carry a time part; every moment of the last day counts, so the upper bound is the
    // start of the next day.
    const char* const kRangeFilter = "[6] >= ?1 and [6] < ?2";

    // The bound values of ?1 and ?2.
    QStringList rangeBounds(const DateRange& range)
    {
        return { isoDate(range.from), isoDate(range.to.addDays(1)) };
    }

} // namespace

const QString& LogRecord::field(int i) const
{
    switch (i) {
    case 0:
        return owner;
    case 1:
        return recordNumber;
    case 2:
        return species;
    case 3:
        return sex;
    case 4:
        return weight;
    case 5:
        return age;
    case 6:
        return veterinarian;
    default:
        return date;
    }
}

LogQueryResult queryLog(Database& db, const DateRange& range, int limit)
{
    // The log may read 30,000 rows or more: they are stepped straight into records here instead of going
    // through the store's general rows, which box every value of every row in a QVariant first.
    QString sql
        = QStringLiteral("select [0], [1], [2], [3], [4], [5], [7], [6] from [档案] where %1 order by [序号]")
              .arg(QLatin1String(kRangeFilter));
    if (limit >= 0)
        sql += QStringLiteral(
            " limit ?3"); // one record past the limit is enough to know the range is too large
    LogQueryResult out;
    sqlite3* handle = db.handle();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sqlText = sql.toUtf8();
    if (!handle
        || sqlite3_prepare_v2(handle, sqlText.constData(), int(sqlText.size()), &stmt, nullptr)
            != SQLITE_OK) {
        out.error = handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("数据库没有打开。");
        return out;
    }
    const QStringList bounds = rangeBounds(range);
    const QByteArray from = bounds[0].toUtf8();
    const QByteArray to = bounds[1].toUtf8();
    sqlite3_bind_text(stmt, 1, from.constData(), int(from.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, to.constData(), int(to.size()), SQLITE_TRANSIENT);
    if (limit >= 0)
        sqlite3_bind_int64(stmt, 3, qint64(limit) + 1);

    // A null reads as an empty text, so it shows as an empty cell.
    auto text = [stmt](int column) {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return data ? QString::fromUtf8(data, sqlite3_column_bytes(stmt, column)) : QString();
    };
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (limit >= 0 && qsizetype(out.records.size()) == limit) {
            out.overLimit = true;
            break;
        }
        out.records.push_back(
            { text(0), text(1), text(2), text(3), text(4), text(5), text(6), storedDateAsIso(text(7)) });
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        out.error = QString::fromUtf8(sqlite3_errmsg(handle));
        out.records.clear();
    } else {
        out.ok = true;
    }
    sqlite3_finalize(stmt);
    if (out.overLimit)
        out.records = {};
    return out;
}

int countPrescriptions(Database& db, const DateRange& range, QString* error)
{
    const QStringList bounds = rangeBounds(range);
    const Result r
        = db.run(QStringLiteral("select count(*) from [档案] where %1").arg(QLatin1String(kRangeFilter)),
            { bounds[0], bounds[1] });
    if (!r || r.rows.isEmpty()) {
        if (error)
            *error = r.error;
        return -1;
    }
    return r.rows.first().values().value(0).toInt();
}

} // namespace qv
