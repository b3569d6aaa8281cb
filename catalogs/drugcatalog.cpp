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

QStringList drugSeen(const QString& name, const QString& usage, const QString& code, const QString& category)
{
    // The category too: a save writes the category box, which would undo another desk's move unasked.
    return { name, usage, code, category };
}

QString drugConflictQuestion(RowConflict conflict)
{
    if (conflict == RowConflict::Deleted)
        return QStringLiteral("保存失败！这个药品已经被另一台电脑删除了。\n\n"
                              "要把输入框里的内容另存为一个新药品吗？\n选“否”则不保存，内容留在输入框里。");
    return QStringLiteral("保存失败！这个药品在您选中之后已经被另一台电脑修改并保存了。\n\n"
                          "“是”：显示另一台电脑保存的内容（输入框里的修改不保存）；\n"
                          "“否”：把输入框里的内容另存为一个新药品；\n"
                          "“取消”：暂不保存，内容留在输入框里。");
}

SaveResult saveDrug(Database& db, const DrugEntry& entry, const QString& currentCategory)
{
    SaveResult result;
    result.key = entry.key;
    const QVariantList fields
        = { entry.name, entry.code, entry.usage, entry.category, entry.name + entry.code };
    const auto insert = [&]() -> Result {
        if (entry.name.trimmed().isEmpty()) {
            result.outcome = SaveOutcome::NameMissing;
            Result nothing;
            nothing.ok = true;
            return nothing;
        }
        if (entry.fresh) {
            const Result claimed
                = claimFreeKey(db, QStringLiteral("商品"), QStringLiteral("ID号"), entry.key, &result.key);
            if (!claimed)
                return claimed;
        }
        result.outcome = SaveOutcome::Inserted;
        QVariantList params = fields;
        params.prepend(result.key);
        return db.run(QStringLiteral(
                          "insert into \"商品\" (\"ID号\", \"名称\", \"拼音\", \"用法\", \"分类\", \"查询\") "
                          "values (?, ?, ?, ?, ?, ?)"),
            params);
    };
    const auto update = [&](const QString& where, const QVariantList& keyParams) -> Result {
        result.outcome = SaveOutcome::Updated;
        return db.run(QStringLiteral("update \"商品\" set \"名称\" = ?, \"拼音\" = ?, \"用法\" = ?, "
                                     "\"分类\" = ?, \"查询\" = ? where ")
                + where,
            QVariantList(fields) << keyParams);
    };
    Result written = db.transaction(
        [&]() -> Result {
            if (entry.fresh)
                return insert();
            if (!entry.seen.isEmpty()) {
                std::optional<QStringList> now;
                const Result read = readForChange(db, QStringLiteral("商品"),
                    { QStringLiteral("名称"), QStringLiteral("用法"), QStringLiteral("拼音"),
                        QStringLiteral("分类") },
                    QStringLiteral("\"ID号\" = ?"), { entry.key }, &now);
                if (!read)
                    return read;
                result.conflict = conflictOf(entry.seen, now);
                if (result.conflict != RowConflict::None)
                    return conflictRefusal(result.conflict, QStringLiteral("这个药品"));
                return update(QStringLiteral("\"ID号\" = ?"), { entry.key });
            }
            Result existing
                = db.run(QStringLiteral("select count(*) from \"商品\" where \"ID号\" = ? and \"分类\" = ?"),
                    { entry.key, currentCategory });
            if (!existing)
                return existing;
            if (existing.rows.first().values().first().toInt() > 0)
                return update(
                    QStringLiteral("\"ID号\" = ? and \"分类\" = ?"), { entry.key, currentCategory });
            return insert();
        },
        [&](bool* stored) {
            QStringList texts;
            for (const QVariant& v : fields)
                texts << v.toString();
            return rowHolds(db, QStringLiteral("商品"),
                { QStringLiteral("名称"), QStringLiteral("拼音"), QStringLiteral("用法"),
                    QStringLiteral("分类"), QStringLiteral("查询") },
                QStringLiteral("\"ID号\" = ?"), { result.key }, texts, stored);
        });
    if (!written) {
        result.outcome = SaveOutcome::Failed;
        result.error = written.error;
        result.outcomeUnknown = written.outcomeUnknown;
        if (!result.outcomeUnknown)
            result.key = entry.key;
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
