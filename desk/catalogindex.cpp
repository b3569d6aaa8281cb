#include "desk/catalogindex.h"

#include "catalogs/drugindex.h" // foldAsciiCase: ASCII letters compared as the store's LIKE compares them

namespace qv {

namespace {

    // The counter lives in the connection's temporary schema: nothing is added to the database file.
    const char kWriteCounter[] = R"(
create temp table if not exists [qv_catalog_writes] ([n] integer not null);
insert into [qv_catalog_writes] ([n]) select 0 where not exists (select 1 from [qv_catalog_writes]);
create temp trigger if not exists [qv_catalog_inserted] after insert on main.[商品]
    begin update [qv_catalog_writes] set [n] = [n] + 1; end;
create temp trigger if not exists [qv_catalog_updated] after update on main.[商品]
    begin update [qv_catalog_writes] set [n] = [n] + 1; end;
create temp trigger if not exists [qv_catalog_deleted] after delete on main.[商品]
    begin update [qv_catalog_writes] set [n] = [n] + 1; end;
)";

} // namespace

PickerRows CatalogIndex::fetch(const PickerQuery& query)
{
    PickerRows out;
    if (!ensureCurrent(&out.error))
        return out;
    out.ok = true;
    // A category no row carries matches nothing with "=" and every categorised row with "<>".
    const int wanted = m_categories.value(query.category, -2);
    const QString typed = foldAsciiCase(query.typed);
    for (const Entry& e : std::as_const(m_entries)) {
        if (e.category < 0 || (query.excludeCategory ? e.category == wanted : e.category != wanted))
            continue;
        if (!e.hasQuery || !e.foldedQuery.contains(typed))
            continue;
        out.rows.append({ e.text, e.rowId });
        if (out.rows.size() == kPickerRowLimit)
            break;
    }
    return out;
}

bool CatalogIndex::ensureCurrent(QString* error)
{
    const QString readCounter = QStringLiteral("select [n] from temp.[qv_catalog_writes]");
    Result counter = m_db.run(readCounter);
    if (!counter) {
        // A connection that has not counted yet (or was opened again since).
        m_loaded = false;
        if (!installWriteCounter(error))
            return false;
        counter = m_db.run(readCounter);
        if (!counter) {
            *error = counter.error;
            return false;
        }
    }
    const qint64 writes = counter.rows.value(0).value(QStringLiteral("n")).toLongLong();
    if (m_loaded && writes == m_writesSeen)
        return true;
    if (!reload(error))
        return false;
    m_writesSeen = writes;
    return true;
}

bool CatalogIndex::installWriteCounter(QString* error)
{
    const Result r = m_db.script(QString::fromUtf8(kWriteCounter));
    if (!r)
        *error = r.error;
    return r.ok;
}

bool CatalogIndex::reload(QString* error)
{
    m_loaded = false;
    m_entries.clear();
    m_categories.clear();
    const Result r
        = m_db.run(QStringLiteral("select rowid as [rid], [分类], [名称], [用法], [查询] from [商品] "
                                  "order by [名称], rowid"));
    if (!r) {
        *error = r.error;
        return false;
    }
    const QString rid = QStringLiteral("rid");
    const QString category = QStringLiteral("分类");
    const QString name = QStringLiteral("名称");
    const QString usage = QStringLiteral("用法");
    const QString lookup = QStringLiteral("查询");
    m_entries.reserve(r.rows.size());
    for (const Row& row : r.rows) {
        Entry e;
        e.rowId = row.value(rid).toLongLong();
        e.text = drugRowText(row.text(name), row.text(usage));
        e.hasQuery = !row.isNull(lookup);
        e.foldedQuery = foldAsciiCase(row.text(lookup));
        e.category = row.isNull(category) ? -1 : categoryId(row.text(category));
        m_entries.append(std::move(e));
    }
    ++m_loads;
    m_loaded = true;
    return true;
}

int CatalogIndex::categoryId(const QString& category)
{
    const auto found = m_categories.constFind(category);
    if (found != m_categories.constEnd())
        return found.value();
    const int id = int(m_categories.size());
    m_categories.insert(category, id);
    return id;
}

} // namespace qv
