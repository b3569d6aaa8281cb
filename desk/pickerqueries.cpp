#include "desk/pickerqueries.h"

#include "catalogs/catalogindex.h"
#include "pinyin/readings.h"

#include <QSet>

namespace qv {

namespace {

    const QString kHerbCategory = QStringLiteral("中药");

    // Catalog rows come sorted by name (ties in store order) and cut at the row limit; the limit is part of
    // the statement so the store stops sorting once it has enough rows.
    PickerQuery catalogQuery(const QString& category, bool excludeCategory, const QString& typed)
    {
        const QString sql = QStringLiteral(
            "select rowid as \"rid\", \"名称\", \"用法\" from \"商品\" where lower(\"查询\") like ? "
            "escape '\\' and \"分类\" %1 ? order by \"名称\", rowid limit %2")
                                .arg(excludeCategory ? QStringLiteral("<>") : QStringLiteral("="))
                                .arg(kPickerRowLimit);
        return { sql, { containsPattern(typed), category }, false, category, excludeCategory, typed };
    }

} // namespace

QString drugCategoryCaption(int category)
{
    static const QString captions[kDrugCategoryCount] = {
        QStringLiteral("中药"),
        QStringLiteral("西药"),
        QStringLiteral("其他"),
        QStringLiteral("用法"),
        QStringLiteral("个人组套"),
        QStringLiteral("中药方剂"),
    };
    return category >= 0 && category < kDrugCategoryCount ? captions[category] : QString();
}

PickerQuery categoryListQuery(int category, const QString& searchText)
{
    if (isTemplateCategory(category))
        return { QStringLiteral(
                     "select rowid as \"rid\", \"名称\" from \"个人模板\" where \"分类\" = ? order by rowid"),
            { drugCategoryCaption(category) }, true };
    return catalogQuery(drugCategoryCaption(category), false, searchText);
}

PickerQuery searchListQuery(int category, const QString& searchText)
{
    if (isTemplateCategory(category))
        return { QStringLiteral("select rowid as \"rid\", \"名称\" from \"个人模板\" where lower(\"查询\") "
                                "like ? escape '\\' "
                                "and \"分类\" = ? order by rowid"),
            { containsPattern(searchText), drugCategoryCaption(category) }, true,
            drugCategoryCaption(category), false, searchText };
    return catalogQuery(kHerbCategory, category != Herbs, searchText);
}

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString drugRowText(const QString& name, const QString& usage)
{
    // The usage is shown as stored; only a usage of blanks alone counts as none.
    return trimBlanks(usage).isEmpty() ? name : name + QLatin1Char('\\') + usage;
}

namespace {

    // The rows a query may also find by readings, in the order of the query: rowid, 名称 and 用法 (or NULL).
    struct Candidates {
        QString sql;
        QVariantList params;
    };

    Candidates readingCandidates(const PickerQuery& query)
    {
        if (query.isTemplate)
            return { QStringLiteral(
                         "select rowid, \"名称\", null from \"个人模板\" where \"分类\" = ? order by rowid"),
                { query.category } };
        // As the catalog index lists them: only rows with a lookup text, in name order.
        return {
            QStringLiteral(
                "select rowid, \"名称\", \"用法\" from \"商品\" where \"查询\" is not null and \"分类\" %1 ? "
                "order by \"名称\", rowid")
                .arg(query.excludeCategory ? QStringLiteral("<>") : QStringLiteral("=")),
            { query.category }
        };
    }

    // The candidates that the statement did not find but whose names' readings match typed, at most room of
    // them (-1: all). The tables searched this way are small, so their names are read each time.
    QList<PickerRow> readingFinds(Database& db, const Candidates& candidates, const QString& typed,
        const QSet<qint64>& found, int room, bool withUsage)
    {
        QList<PickerRow> extra;
        if (room == 0 || !isInitialsText(typed))
            return extra;
        db.forEachRow(candidates.sql, candidates.params, [&](const Cursor& row) {
            const qint64 id = row.text(0).toLongLong();
            if (!row.isNull(1) && !found.contains(id) && readingsMatch(readingInitials(row.text(1)), typed))
                extra.append({ withUsage ? drugRowText(row.text(1), row.text(2)) : row.text(1), id });
            return room < 0 || extra.size() < room;
        });
        return extra;
    }

} // namespace

PickerRows fetchPickerRows(Database& db, const PickerQuery& query)
{
    PickerRows out;
    const Result r = db.run(query.sql, query.params);
    out.ok = r.ok;
    out.error = r.error;
    out.rows.reserve(r.rows.size());
    const QString rid = QStringLiteral("rid");
    const QString name = QStringLiteral("名称");
    const QString usage = QStringLiteral("用法");
    QSet<qint64> found;
    for (const Row& row : r.rows) {
        const QString text = query.isTemplate ? row.text(name) : drugRowText(row.text(name), row.text(usage));
        out.rows.append({ text, row.value(rid).toLongLong() });
        found.insert(out.rows.last().rowId);
    }
    if (out.ok) {
        const int room = query.isTemplate ? -1 : kPickerRowLimit - int(out.rows.size());
        out.rows += readingFinds(db, readingCandidates(query), query.typed, found, room, !query.isTemplate);
    }
    return out;
}

PickerRows fetchCatalogRows(CatalogIndex& index, const PickerQuery& query)
{
    CatalogSearch search;
    search.typed = query.typed;
    search.category = query.category;
    search.excludeCategory = query.excludeCategory;
    search.order = CatalogOrder::ByName;
    search.limit = kPickerRowLimit;
    const CatalogHits hits = index.search(search);
    PickerRows out;
    out.ok = hits.ok;
    out.error = hits.error;
    out.rows.reserve(qsizetype(hits.rows.size()));
    for (const CatalogRow& row : hits.rows)
        out.rows.append({ drugRowText(row.name(), row.usage()), row.rowId() });
    return out;
}

Result templateContent(Database& db, qint64 rowId, QString* content)
{
    Result r = db.run(QStringLiteral("select \"内容\" from \"个人模板\" where rowid = ?"), { rowId });
    if (r.ok && r.rows.isEmpty()) {
        r.ok = false;
        r.error = QStringLiteral("该模板已不存在。");
    }
    if (r.ok)
        *content = r.rows.first().text(QStringLiteral("内容"));
    return r;
}

QStringList completionNames(Database& db, CompletionCatalog catalog, const QString& typed)
{
    const QString table
        = catalog == CompletionCatalog::Species ? QStringLiteral("动物种类") : QStringLiteral("诊断");
    const Result r = db.run(QStringLiteral("select rowid as \"rid\", \"名称\" from \"%1\" where "
                                           "lower(\"序号\") like ? escape '\\' order by rowid")
                                .arg(table),
        { containsPattern(typed) });
    QStringList names;
    QSet<qint64> found;
    for (const Row& row : r.rows) {
        names << row.text(QStringLiteral("名称"));
        found.insert(row.value(QStringLiteral("rid")).toLongLong());
    }
    if (r.ok) {
        const Candidates all { QStringLiteral("select rowid, \"名称\" from \"%1\" order by rowid").arg(table),
            {} };
        for (const PickerRow& extra : readingFinds(db, all, typed, found, -1, false))
            names << extra.text;
    }
    return names;
}

} // namespace qv
