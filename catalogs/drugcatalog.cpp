#include "catalogs/drugcatalog.h"

namespace qv {

namespace {

    const QString kKeyFormat = QStringLiteral("yyyyMMddHHmmss");

    // A failing lookup counts as free: the save then reports any clash that the store refuses.
    bool keyTaken(Database& db, const QString& key)
    {
        const Result r = db.run(QStringLiteral("select 1 from \"商品\" where \"ID号\" = ? limit 1"), { key });
        return r && !r.rows.isEmpty();
    }

} // namespace

QString newDrugKey(Database& db, const QDateTime& now)
{
    QDateTime t = now;
    while (keyTaken(db, t.toString(kKeyFormat)))
        t = t.addSecs(1);
    return t.toString(kKeyFormat);
}

QString tidyDrugName(const QString& name)
{
    QString tidy = name;
    tidy.replace(QChar(0xFF08), QLatin1Char('(')) // （
        .replace(QChar(0xFF09), QLatin1Char(')')) // ）
        .replace(QLatin1Char('['), QLatin1Char('('))
        .replace(QLatin1Char(']'), QLatin1Char(')'))
        .replace(QLatin1Char('*'), QChar(0x00D7)); // ×
    return tidy;
}

SaveResult saveDrug(Database& db, const DrugEntry& entry, const QString& currentCategory)
{
    SaveResult result;
    Result written = db.transaction([&]() -> Result {
        Result existing
            = db.run(QStringLiteral("select count(*) from \"商品\" where \"ID号\" = ? and \"分类\" = ?"),
                { entry.key, currentCategory });
        if (!existing)
            return existing;
        const QVariantList fields
            = { entry.name, entry.code, entry.usage, entry.category, entry.name + entry.code };
        if (existing.rows.first().values().first().toInt() > 0) {
            result.outcome = SaveOutcome::Updated;
            QVariantList params = fields;
            params << entry.key << currentCategory;
            return db.run(QStringLiteral("update \"商品\" set \"名称\" = ?, \"拼音\" = ?, \"用法\" = ?, "
                                         "\"分类\" = ?, \"查询\" = ? "
                                         "where \"ID号\" = ? and \"分类\" = ?"),
                params);
        }
        if (entry.name.trimmed().isEmpty()) {
            result.outcome = SaveOutcome::NameMissing;
            Result nothing;
            nothing.ok = true;
            return nothing;
        }
        result.outcome = SaveOutcome::Inserted;
        QVariantList params = fields;
        params.prepend(entry.key);
        return db.run(QStringLiteral(
                          "insert into \"商品\" (\"ID号\", \"名称\", \"拼音\", \"用法\", \"分类\", \"查询\") "
                          "values (?, ?, ?, ?, ?, ?)"),
            params);
    });
    if (!written) {
        result.outcome = SaveOutcome::Failed;
        result.error = written.error;
    }
    return result;
}

Result drugStock(Database& db, const QString& key, bool* found, double* stock)
{
    Result r = db.run(QStringLiteral("select \"库存\" from \"商品\" where \"ID号\" = ?"), { key });
    *found = r && !r.rows.isEmpty();
    *stock = *found ? r.rows.first().values().first().toDouble() : 0.0;
    return r;
}

Result deleteDrug(Database& db, const QString& key)
{
    return db.transaction(
        [&] { return db.run(QStringLiteral("delete from \"商品\" where \"ID号\" = ?"), { key }); });
}

} // namespace qv
