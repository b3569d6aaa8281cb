#include "store/file/upgrade.h"

namespace qv {

namespace {

    // What a note trigger does after noting: drops the notes beyond the latest ten thousand (a range of the
    // primary key: nothing to read when there is nothing to drop).
    QString trimmedNotes()
    {
        return QStringLiteral("delete from \"qv_catalog_changed\" where \"seq\" <= "
                              "(select max(\"seq\") from \"qv_catalog_changed\") - %1;")
            .arg(kCatalogNotesKept);
    }

} // namespace

const QList<UpgradeStep>& upgradeSteps()
{
    static const QList<UpgradeStep> steps = {
        // The archive is searched by the date of issue (the desk's list after every save, the log, the
        // statistics): without this index every such query reads and decrypts the whole archive. The owner
        // comes second, so that the owner filter over years of prescriptions reads the index alone and only
        // the matching rows from the archive.
        { QStringLiteral("档案.日期"),
            QStringLiteral("create index \"档案.日期\" on \"档案\" (\"6\", \"0\")") },
        // A diagnosis or a species is stored once whatever its ASCII letter case ("Catcat" and "catcat" are
        // one name), as the name catalogs have always compared names. A file that already holds two names
        // that differ only in case cannot take this index; it keeps working without it.
        { QStringLiteral("诊断.序号不分大小写"),
            QStringLiteral(
                "create unique index \"诊断.序号不分大小写\" on \"诊断\" (\"序号\" collate nocase)") },
        { QStringLiteral("动物种类.序号不分大小写"),
            QStringLiteral("create unique index \"动物种类.序号不分大小写\" on \"动物种类\" (\"序号\" "
                           "collate nocase)") },
        // The catalog's change notes, in the file itself: the triggers note every insert, change and deletion
        // of a 商品 row, whichever program makes it, so that every catalog index on the file (this program's,
        // a second program's) re-reads just those rows. Only the latest notes are kept.
        { QStringLiteral("qv_catalog_changed"),
            QStringLiteral("create table \"qv_catalog_changed\" (\"seq\" integer primary key autoincrement, "
                           "\"rid\" integer not null)") },
        { QStringLiteral("qv_catalog_row_inserted"),
            QStringLiteral("create trigger \"qv_catalog_row_inserted\" after insert on \"商品\" begin "
                           "insert into \"qv_catalog_changed\" (\"rid\") values (new.rowid); %1 end")
                .arg(trimmedNotes()) },
        { QStringLiteral("qv_catalog_row_updated"),
            QStringLiteral(
                "create trigger \"qv_catalog_row_updated\" after update on \"商品\" begin "
                "insert into \"qv_catalog_changed\" (\"rid\") values (old.rowid), (new.rowid); %1 end")
                .arg(trimmedNotes()) },
        { QStringLiteral("qv_catalog_row_deleted"),
            QStringLiteral("create trigger \"qv_catalog_row_deleted\" after delete on \"商品\" begin "
                           "insert into \"qv_catalog_changed\" (\"rid\") values (old.rowid); %1 end")
                .arg(trimmedNotes()) },
    };
    return steps;
}

namespace {

    bool hasObject(Database& db, const QString& name, QString* error)
    {
        const Result r
            = db.run(QStringLiteral("select count(*) from sqlite_master where name = ?"), { name });
        if (!r) {
            *error = r.error;
            return false;
        }
        return r.rows.value(0).values().value(0).toInt() > 0;
    }

} // namespace

UpgradeReport upgradeExistingFile(Database& db)
{
    UpgradeReport report;
    for (const UpgradeStep& step : upgradeSteps()) {
        QString error;
        if (hasObject(db, step.name, &error))
            continue;
        if (error.isEmpty()) {
            const Result made = db.transaction([&] { return db.script(step.createSql); });
            if (made) {
                report.applied << step.name;
                continue;
            }
            error = made.error;
        }
        report.failed << step.name + QStringLiteral(": ") + error;
    }
    return report;
}

} // namespace qv
