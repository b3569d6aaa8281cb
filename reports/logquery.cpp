#include "reports/logquery.h"

#include "store/database.h"

namespace qv {

namespace {

    // The date column may carry a time part; every moment of the last day counts, so the upper bound is the
    // start of the next day.
    const char* const kRangeFilter = "[6] >= ?1 and [6] < ?2";

    QVariantList rangeParameters(const DateRange& range)
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
    QString sql
        = QStringLiteral("select [0], [1], [2], [3], [4], [5], [7], [6] from [档案] where %1 order by [序号]")
              .arg(QLatin1String(kRangeFilter));
    QVariantList params = rangeParameters(range);
    if (limit >= 0) {
        // One record past the limit is enough to know the range is too large.
        sql += QStringLiteral(" limit ?3");
        params << limit + 1;
    }
    Result r = db.run(sql, params);
    LogQueryResult out;
    if (!r) {
        out.error = r.error;
        return out;
    }
    out.ok = true;
    if (limit >= 0 && r.rows.size() > limit) {
        out.overLimit = true;
        return out;
    }
    out.records.reserve(r.rows.size());
    // A null shows as an empty cell, like an empty text.
    auto text = [](const QVariant& v) { return v.isNull() ? QString() : v.toString(); };
    for (const Row& row : r.rows) {
        const QVariantList& v = row.values();
        out.records.push_back({ text(v[0]), text(v[1]), text(v[2]), text(v[3]), text(v[4]), text(v[5]),
            text(v[6]), storedDateAsIso(text(v[7])) });
    }
    return out;
}

int countPrescriptions(Database& db, const DateRange& range, QString* error)
{
    const Result r
        = db.run(QStringLiteral("select count(*) from [档案] where %1").arg(QLatin1String(kRangeFilter)),
            rangeParameters(range));
    if (!r || r.rows.isEmpty()) {
        if (error)
            *error = r.error;
        return -1;
    }
    return r.rows.first().values().value(0).toInt();
}

} // namespace qv
