#include "catalogs/templatestore.h"

namespace qv {

namespace {

    const QString kKeyFormat = QStringLiteral("yyyyMMddHHmmss");

    TemplateRecord recordFrom(const Row& row)
    {
        return { row.text(QStringLiteral("序号")), row.text(QStringLiteral("名称")),
            row.text(QStringLiteral("拼音")), row.text(QStringLiteral("内容")),
            row.text(QStringLiteral("分类")) };
    }

} // namespace

QList<TemplateEntry> listTemplates(Database& db, const QString& category)
{
    const Result r
        = db.run(QStringLiteral(
                     "select \"序号\", \"名称\" from \"个人模板\" where \"分类\" = ? order by \"序号\" desc"),
            { category });
    QList<TemplateEntry> entries;
    for (const Row& row : r.rows)
        entries.append({ row.text(QStringLiteral("序号")), row.text(QStringLiteral("名称")) });
    return entries;
}

std::optional<TemplateRecord> loadTemplate(Database& db, const QString& key, const QString& category)
{
    const Result r = db.run(
        QStringLiteral("select * from \"个人模板\" where \"序号\" = ? and \"分类\" = ?"), { key, category });
    if (r.rows.isEmpty())
        return std::nullopt;
    return recordFrom(r.rows.first());
}

QString newTemplateKey(Database& db, const QDateTime& now)
{
    QDateTime t = now;
    for (;;) {
        const QString key = t.toString(kKeyFormat);
        const Result r
            = db.run(QStringLiteral("select count(*) as n from \"个人模板\" where \"序号\" = ?"), { key });
        // A store that cannot answer cannot say the key is taken; the save will report its own failure.
        if (!r || r.rows.isEmpty() || r.rows.first().value(QStringLiteral("n")).toInt() == 0)
            return key;
        t = t.addSecs(1);
    }
}

TemplateSave saveTemplate(Database& db, const TemplateRecord& record)
{
    TemplateSave save;
    const Result written = db.transaction([&]() -> Result {
        Result found = db.run(
            QStringLiteral("select count(*) as n from \"个人模板\" where \"序号\" = ? and \"分类\" = ?"),
            { record.key, record.category });
        if (!found)
            return found;
        const bool exists
            = !found.rows.isEmpty() && found.rows.first().value(QStringLiteral("n")).toInt() > 0;
        const QString lookup = record.name + record.code;
        if (exists) {
            save.outcome = TemplateSave::Outcome::Changed;
            return db.run(
                QStringLiteral(
                    "update \"个人模板\" set \"名称\" = ?, \"拼音\" = ?, \"内容\" = ?, \"查询\" = ? "
                    "where \"序号\" = ? and \"分类\" = ?"),
                { record.name, record.code, record.body, lookup, record.key, record.category });
        }
        if (record.name.trimmed().isEmpty()) {
            save.outcome = TemplateSave::Outcome::NameMissing;
            Result nothing;
            nothing.ok = true;
            return nothing;
        }
        save.outcome = TemplateSave::Outcome::Added;
        return db.run(
            QStringLiteral(
                "insert into \"个人模板\" (\"序号\", \"名称\", \"拼音\", \"内容\", \"分类\", \"查询\") "
                "values (?, ?, ?, ?, ?, ?)"),
            { record.key, record.name, record.code, record.body, record.category, lookup });
    });
    if (!written) {
        save.outcome = TemplateSave::Outcome::Failed;
        save.error = written.error;
    }
    return save;
}

QString bodyForEditing(const QString& stored)
{
    QString text = stored;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString bodyForStoring(const QString& edited)
{
    return bodyForEditing(edited).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

Result deleteTemplate(Database& db, const QString& key, const QString& category)
{
    return db.run(
        QStringLiteral("delete from \"个人模板\" where \"序号\" = ? and \"分类\" = ?"), { key, category });
}

} // namespace qv
