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

QStringList templateSeen(const TemplateRecord& record) { return { record.name, record.code, record.body }; }

QString templateConflictQuestion(RowConflict conflict)
{
    if (conflict == RowConflict::Deleted)
        return QStringLiteral("模板没有保存！这个模板已经被另一台电脑删除了。\n\n"
                              "要把窗口里的内容另存为一个新模板吗？\n选“否”则不保存，内容留在窗口里。");
    return QStringLiteral("模板没有保存！这个模板在您打开之后已经被另一台电脑修改并保存了。\n\n"
                          "“是”：载入另一台电脑保存的模板（窗口里的修改不保存）；\n"
                          "“否”：把窗口里的内容另存为一个新模板；\n"
                          "“取消”：暂不保存，内容留在窗口里。");
}

TemplateSave saveTemplate(Database& db, const TemplateRecord& record)
{
    TemplateSave save;
    save.key = record.key;
    const QString lookup = record.name + record.code;
    const Result written = db.transaction(
        [&]() -> Result {
            bool exists = false;
            if (!record.fresh && !record.seen.isEmpty()) {
                std::optional<QStringList> now;
                const Result read = readForChange(db, QStringLiteral("个人模板"),
                    { QStringLiteral("名称"), QStringLiteral("拼音"), QStringLiteral("内容") },
                    QStringLiteral("\"序号\" = ? and \"分类\" = ?"), { record.key, record.category }, &now);
                if (!read)
                    return read;
                save.conflict = conflictOf(record.seen, now);
                if (save.conflict != RowConflict::None)
                    return conflictRefusal(save.conflict, QStringLiteral("这个模板"));
                exists = true;
            } else if (!record.fresh) {
                Result found = db.run(
                    QStringLiteral(
                        "select count(*) as n from \"个人模板\" where \"序号\" = ? and \"分类\" = ?"),
                    { record.key, record.category });
                if (!found)
                    return found;
                exists = !found.rows.isEmpty() && found.rows.first().value(QStringLiteral("n")).toInt() > 0;
            }
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
            if (record.fresh) {
                const Result claimed = claimFreeKey(db, QStringLiteral("个人模板"), QStringLiteral("序号"),
                    record.key, &save.key, QStringLiteral("分类"), record.category);
                if (!claimed)
                    return claimed;
            }
            save.outcome = TemplateSave::Outcome::Added;
            return db.run(
                QStringLiteral(
                    "insert into \"个人模板\" (\"序号\", \"名称\", \"拼音\", \"内容\", \"分类\", \"查询\") "
                    "values (?, ?, ?, ?, ?, ?)"),
                { save.key, record.name, record.code, record.body, record.category, lookup });
        },
        [&](bool* stored) {
            return rowHolds(db, QStringLiteral("个人模板"),
                { QStringLiteral("名称"), QStringLiteral("拼音"), QStringLiteral("内容"),
                    QStringLiteral("查询") },
                QStringLiteral("\"序号\" = ? and \"分类\" = ?"), { save.key, record.category },
                { record.name, record.code, record.body, lookup }, stored);
        });
    if (!written) {
        save.outcome = TemplateSave::Outcome::Failed;
        save.error = written.error;
        save.outcomeUnknown = written.outcomeUnknown;
        if (!save.outcomeUnknown)
            save.key = record.key;
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
