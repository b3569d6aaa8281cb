#include "catalogs/drugindex.h"

#include <algorithm>

namespace qv {

namespace {

    const QString kColumns
        = QStringLiteral("select [ID号], [名称], [用法], [拼音], [分类], [查询] from [商品] ");

    // Rows without a lookup text or category never match the catalog's search, so the index leaves them out.
    std::vector<DrugRecord> listable(const Result& r)
    {
        std::vector<DrugRecord> records;
        records.reserve(r.rows.size());
        for (const Row& row : r.rows) {
            const QVariantList& v = row.values();
            if (v[4].isNull() || v[5].isNull())
                continue;
            records.push_back({ v[0].toString(), v[1].toString(), v[2].toString(), v[3].toString(),
                v[4].toString(), v[5].toString() });
        }
        return records;
    }

    std::shared_ptr<DrugSnapshot> snapshotOf(std::vector<DrugRecord> records)
    {
        auto snapshot = std::make_shared<DrugSnapshot>();
        snapshot->records.reserve(records.size());
        snapshot->starts.reserve(records.size());
        snapshot->categoryOf.reserve(records.size());
        for (DrugRecord& r : records)
            snapshot->add(std::move(r));
        return snapshot;
    }

    // The store orders text by its UTF-8 bytes.
    bool storeOrderBefore(const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); }

} // namespace

QString foldAsciiCase(const QString& text)
{
    QString folded = text;
    for (QChar& c : folded) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

void DrugSnapshot::add(DrugRecord record)
{
    int category = int(categories.indexOf(record.category));
    if (category < 0) {
        category = int(categories.size());
        categories.append(record.category);
    }
    categoryOf.push_back(category);
    starts.push_back(int(folded.size()));
    folded += foldAsciiCase(record.lookup);
    folded += QChar(0);
    records.push_back(std::move(record));
}

DrugRows::DrugRows(std::shared_ptr<const DrugSnapshot> snapshot, std::vector<int> hits)
    : m_snapshot(std::move(snapshot))
    , m_hits(std::move(hits))
{
}

QString DrugRows::text(int record, int column) const
{
    if (record < 0 || record >= count())
        return {};
    const DrugRecord& r = at(record);
    switch (column) {
    case Name:
        return r.name;
    case Usage:
        return r.usage;
    case Code:
        return r.code;
    default:
        return {};
    }
}

Result DrugIndex::load(Database& db)
{
    Result r = db.run(kColumns + QStringLiteral("order by [ID号] desc"));
    m_snapshot = snapshotOf(r ? listable(r) : std::vector<DrugRecord>());
    return r;
}

std::shared_ptr<DrugRows> DrugIndex::search(const QString& typed, const QString& category) const
{
    const DrugSnapshot& s = *m_snapshot;
    std::vector<int> hits;
    const int wanted = int(s.categories.indexOf(category));
    if (wanted < 0)
        return std::make_shared<DrugRows>(m_snapshot, std::move(hits));
    const int n = int(s.records.size());
    if (typed.isEmpty()) {
        for (int i = 0; i < n; ++i) {
            if (s.categoryOf[i] == wanted)
                hits.push_back(i);
        }
    } else {
        // One scan of the joined text; after a match the search goes on at the next record.
        const QString needle = foldAsciiCase(typed);
        const QStringView text(s.folded);
        qsizetype at = 0;
        while ((at = text.indexOf(needle, at)) >= 0) {
            const int record
                = int(std::upper_bound(s.starts.begin(), s.starts.end(), int(at)) - s.starts.begin()) - 1;
            if (s.categoryOf[record] == wanted)
                hits.push_back(record);
            if (record + 1 >= n)
                break;
            at = s.starts[record + 1];
        }
    }
    return std::make_shared<DrugRows>(m_snapshot, std::move(hits));
}

Result DrugIndex::refresh(Database& db, const QString& key)
{
    Result r = db.run(kColumns + QStringLiteral("where [ID号] = ?"), { key });
    if (!r)
        return r;
    std::vector<DrugRecord> records = m_snapshot->records;
    std::erase_if(records, [&](const DrugRecord& d) { return d.key == key; });
    for (DrugRecord& d : listable(r)) {
        // Newest key first: after every row whose key is greater.
        auto at = std::partition_point(records.begin(), records.end(),
            [&](const DrugRecord& other) { return storeOrderBefore(d.key, other.key); });
        records.insert(at, std::move(d));
    }
    m_snapshot = snapshotOf(std::move(records));
    return r;
}

} // namespace qv
