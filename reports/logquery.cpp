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

    // "yyyy-mm-dd", the usual stored date, needs no reading.
    bool isIsoDate(QByteArrayView date)
    {
        if (date.size() != 10 || date[4] != '-' || date[7] != '-')
            return false;
        for (int i : { 0, 1, 2, 3, 5, 6, 8, 9 })
            if (date[i] < '0' || date[i] > '9')
                return false;
        return true;
    }

} // namespace

QString LogRecords::field(size_t record, int i) const
{
    const size_t at = record * LogRecord::kFieldCount + size_t(i);
    const qsizetype start = at == 0 ? 0 : m_ends[at - 1];
    return QString::fromUtf8(m_bytes.constData() + start, m_ends[at] - start);
}

LogRecord LogRecords::at(size_t record) const
{
    return { field(record, 0), field(record, 1), field(record, 2), field(record, 3), field(record, 4),
        field(record, 5), field(record, 6), field(record, 7) };
}

void LogRecords::append(const std::array<QByteArrayView, LogRecord::kFieldCount>& fields)
{
    for (QByteArrayView field : fields) {
        m_bytes.append(field);
        m_ends.push_back(m_bytes.size());
    }
}

void LogRecords::append(const LogRecord& record)
{
    std::array<QByteArray, LogRecord::kFieldCount> utf8;
    std::array<QByteArrayView, LogRecord::kFieldCount> views;
    for (int i = 0; i < LogRecord::kFieldCount; ++i) {
        utf8[size_t(i)] = record.field(i).toUtf8();
        views[size_t(i)] = utf8[size_t(i)];
    }
    append(views);
}

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
    // The log may read 30,000 rows or more: they are stepped straight into the records' buffer instead of
    // going through the store's general rows, which box every value of every row in a QVariant first.
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
        QByteArrayView date = row.utf8(7);
        QByteArray readDate;
        if (!isIsoDate(date)) {
            readDate = storedDateAsIso(row.text(7)).toUtf8();
            date = readDate;
        }
        out.records.append({ row.utf8(0), row.utf8(1), row.utf8(2), row.utf8(3), row.utf8(4), row.utf8(5),
            row.utf8(6), date });
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
