#include "store/file/upgrade.h"

namespace qv {

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
    };
    return steps;
}

namespace {

    bool hasIndex(Database& db, const QString& name, QString* error)
    {
        const Result r = db.run(
            QStringLiteral("select count(*) from sqlite_master where type = 'index' and name = ?"), { name });
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
        if (hasIndex(db, step.indexName, &error))
            continue;
        if (error.isEmpty()) {
            const Result made = db.transaction([&] { return db.run(step.createSql); });
            if (made) {
                report.applied << step.indexName;
                continue;
            }
            error = made.error;
        }
        report.failed << step.indexName + QStringLiteral(": ") + error;
    }
    return report;
}

} // namespace qv
