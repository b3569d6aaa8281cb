#include "catalogs/namecatalog.h"
#include "store/sharedwrites.h"

namespace qv {

namespace {

    // Table names come from this fixed pair only, never from typed text.
    QString tableOf(NameCatalog catalog)
    {
        return catalog == NameCatalog::Diagnoses ? QStringLiteral("\"诊断\"")
                                                 : QStringLiteral("\"动物种类\"");
    }

} // namespace

QList<NameEntry> listNames(Database& db, NameCatalog catalog, const QString& search)
{
    // Insertion order (rowid) for every fill, so the list reads the same however it was filled.
    const QString table = tableOf(catalog);
    const Result r = search.isEmpty()
        ? db.run(QStringLiteral("select \"序号\", \"名称\" from %1 order by rowid").arg(table))
        : db.run(
            QStringLiteral(
                "select \"序号\", \"名称\" from %1 where lower(\"序号\") like ? escape '\\' order by rowid")
                .arg(table),
            { containsPattern(search) });
    QList<NameEntry> entries;
    for (const Row& row : r.rows)
        entries.append({ row.text(QStringLiteral("序号")), row.text(QStringLiteral("名称")) });
    return entries;
}

NameSave addName(Database& db, NameCatalog catalog, const QString& name, const QString& code)
{
    const QString table = tableOf(catalog);
    const QString key = name + code;
    NameSave save;
    const Result written = db.transaction(
        [&]() -> Result {
            // Compared as the case-blind unique index compares: "catcat" is already stored when "Catcat" is.
            Result found
                = db.run(QStringLiteral("select count(*) as n from %1 where lower(\"序号\") = ?").arg(table),
                    { foldAsciiCase(key) });
            if (!found)
                return found;
            if (!found.rows.isEmpty() && found.rows.first().value(QStringLiteral("n")).toInt() > 0) {
                save.outcome = NameSave::Outcome::AlreadyStored;
                return found;
            }
            save.outcome = NameSave::Outcome::Added;
            return db.run(
                QStringLiteral("insert into %1 (\"名称\", \"拼音\", \"序号\") values (?, ?, ?)").arg(table),
                { name, code, key });
        },
        [&](bool* stored) {
            return rowHolds(db, table.mid(1, table.size() - 2),
                { QStringLiteral("名称"), QStringLiteral("拼音") }, QStringLiteral("\"序号\" = ?"), { key },
                { name, code }, stored);
        });
    if (!written) {
        save.outcome = NameSave::Outcome::Failed;
        save.error = written.error;
    }
    return save;
}

Result deleteName(Database& db, NameCatalog catalog, const QString& key)
{
    return db.run(QStringLiteral("delete from %1 where \"序号\" = ?").arg(tableOf(catalog)), { key });
}

} // namespace qv
