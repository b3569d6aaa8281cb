#include "store/sharedwrites.h"

#include <QDateTime>
#include <QSet>

namespace qv {

namespace {

    const QString kClockFormat = QStringLiteral("yyyyMMddHHmmss");
    constexpr int kClockDigits = 14;
    // Taken keys read at a time while a free one is looked for.
    constexpr int kTakenPerRead = 500;

    QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

    // Where a key is looked for: the whole table, or the rows of one scope value.
    struct Scope {
        QString column;
        QString value;
        QString where() const
        {
            return column.isEmpty() ? QString() : QStringLiteral(" and %1 = ?").arg(quoted(column));
        }
        QVariantList with(QVariantList params) const
        {
            if (!column.isEmpty())
                params << value;
            return params;
        }
    };

    Result isTaken(Database& db, const QString& table, const QString& keyColumn, const Scope& scope,
        const QString& key, bool* taken)
    {
        const Result r = db.run(QStringLiteral("select 1 from %1 where %2 = ?%3 limit 1")
                                    .arg(quoted(table), quoted(keyColumn), scope.where()),
            scope.with({ key }));
        *taken = r && !r.rows.isEmpty();
        return r;
    }

    // The taken keys from `from` on, in key order: a clock key with one tag grows in that order with its
    // time.
    Result takenFrom(Database& db, const QString& table, const QString& keyColumn, const Scope& scope,
        const QString& from, QSet<QString>* taken, QString* last, bool* more)
    {
        int count = 0;
        const Result r
            = db.forEachRow(QStringLiteral("select %2 from %1 where %2 >= ?%3 order by %2 limit %4")
                                .arg(quoted(table), quoted(keyColumn), scope.where())
                                .arg(kTakenPerRead),
                scope.with({ from }), [&](const Cursor& row) {
                    *last = row.text(0);
                    taken->insert(*last);
                    ++count;
                    return true;
                });
        *more = count == kTakenPerRead;
        return r;
    }

    Result done()
    {
        Result r;
        r.ok = true;
        return r;
    }

} // namespace

Result claimFreeKey(Database& db, const QString& table, const QString& keyColumn, const QString& wanted,
    QString* claimed, const QString& scopeColumn, const QString& scopeValue)
{
    const Scope scope { scopeColumn, scopeValue };
    const QDateTime start = QDateTime::fromString(wanted.left(kClockDigits), kClockFormat);
    const bool clockKey = start.isValid() && wanted.size() >= kClockDigits;
    const QString tag = wanted.mid(kClockDigits);
    QDateTime time = start;
    QString candidate = wanted;
    for (;;) {
        // Find a key no committed row holds, reading the taken ones in batches rather than one by one.
        QSet<QString> taken;
        QString last;
        bool more = false;
        Result r = takenFrom(db, table, keyColumn, scope, candidate, &taken, &last, &more);
        if (!r)
            return r;
        while (taken.contains(candidate)) {
            if (!clockKey) {
                Result refusal;
                refusal.failure = FailureKind::KeyTaken;
                refusal.error = failureSentence(FailureKind::KeyTaken);
                return refusal;
            }
            time = time.addSecs(1);
            candidate = time.toString(kClockFormat) + tag;
        }
        if (more && candidate > last)
            continue; // beyond what was read: read on from there
        // Another desk may be storing this key right now: wait for it, then look again.
        r = db.holdName(QStringList { table, scopeValue, candidate }.join(QLatin1Char('\x1f')));
        if (!r)
            return r;
        bool nowTaken = false;
        r = isTaken(db, table, keyColumn, scope, candidate, &nowTaken);
        if (!r)
            return r;
        if (!nowTaken) {
            *claimed = candidate;
            return done();
        }
    }
}

Result readForChange(Database& db, const QString& table, const QStringList& columns, const QString& where,
    const QVariantList& params, std::optional<QStringList>* now)
{
    QStringList names;
    for (const QString& c : columns)
        names << quoted(c);
    now->reset();
    return db.forEachRow(
        QStringLiteral("select %1 from %2 where %3%4")
            .arg(names.join(QStringLiteral(", ")), quoted(table), where, db.lockRowsClause()),
        params, [&](const Cursor& row) {
            QStringList values;
            for (int i = 0; i < columns.size(); ++i)
                values << row.text(i);
            *now = values;
            return false;
        });
}

Result rowHolds(Database& db, const QString& table, const QStringList& columns, const QString& where,
    const QVariantList& params, const QStringList& values, bool* holds)
{
    QStringList names;
    for (const QString& c : columns)
        names << quoted(c);
    *holds = false;
    return db.forEachRow(QStringLiteral("select %1 from %2 where %3")
                             .arg(names.join(QStringLiteral(", ")), quoted(table), where),
        params, [&](const Cursor& row) {
            QStringList now;
            for (int i = 0; i < columns.size(); ++i)
                now << row.text(i);
            *holds = now == values;
            return false;
        });
}

RowConflict conflictOf(const QStringList& seen, const std::optional<QStringList>& now)
{
    if (!now)
        return RowConflict::Deleted;
    return *now == seen ? RowConflict::None : RowConflict::Changed;
}

Result conflictRefusal(RowConflict conflict, const QString& what)
{
    Result r;
    r.failure = FailureKind::Stated;
    r.error = conflict == RowConflict::Deleted
        ? QStringLiteral("%1已经被另一台电脑删除了。").arg(what)
        : QStringLiteral("%1在您打开之后已经被另一台电脑修改并保存了。").arg(what);
    return r;
}

} // namespace qv
