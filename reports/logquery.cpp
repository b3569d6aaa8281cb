#include "reports/logquery.h"

#include "store/database.h"

namespace qv {

namespace {

    // The date column may carry a time part; every moment of the last day counts, so the upper bound is the
    // start of the next day.
    const char* const kRangeFilter = "\"6\" >= ?1 and \"6\" < ?2";

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
    // The log may read 30,000 rows or more: they are stepped straight into records instead of going through
    // the store's general rows, which box every value of every row in a QVariant first.
    QString sql = QStringLiteral("select \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"7\", \"6\" from "
                                 "\"档案\" where %1 order by \"序号\"")
                      .arg(QLatin1String(kRangeFilter));
    const QStringList bounds = rangeBounds(range);
    QVariantList params { bounds[0], bounds[1] };
    if (limit >= 0) {
        sql += QStringLiteral(
            " limit ?3"); // one record past the limit is enough to know the range is too large
        params << qint64(limit) + 1;
    }
    LogQueryResult out;
    // A null reads as an empty text, so it shows as an empty cell.
    const Result stepped = db.forEachRow(sql, params, [&](const Cursor& row) {
        if (limit >= 0 && qsizetype(out.records.size()) == limit) {
            out.overLimit = true;
            return false;
        }
        out.records.push_back({ row.text(0), row.text(1), row.text(2), row.text(3), row.text(4), row.text(5),
            row.text(6), storedDateAsIso(row.text(7)) });
        return true;
    });
    out.ok = stepped.ok;
    out.error = stepped.error;
    if (!stepped.ok || out.overLimit)
        out.records = {};
    return out;
}

int countPrescriptions(Database& db, const DateRange& range, QString* error)
{
    const QStringList bounds = rangeBounds(range);
    const Result r
        = db.run(QStringLiteral("select count(*) from \"档案\" where %1").arg(QLatin1String(kRangeFilter)),
            { bounds[0], bounds[1] });
    if (!r || r.rows.isEmpty()) {
        if (error)
            *error = r.error;
        return -1;
    }
    return r.rows.first().values().value(0).toInt();
}

} // namespace qv
