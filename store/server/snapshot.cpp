#include "store/server/snapshot.h"
#include "store/file/schema.h"
#include "store/tables.h"

#include <QFile>

namespace qv {

namespace {

    // Rows fetched from the server at a time: the archive is never held in memory whole.
    constexpr int kFetchRows = 5000;

    QString columnList(const QStringList& columns)
    {
        QStringList quoted;
        for (const QString& c : columns)
            quoted << QLatin1Char('"') + c + QLatin1Char('"');
        return quoted.join(QStringLiteral(", "));
    }

    Result stopped()
    {
        Result r;
        r.failure = FailureKind::Stated;
        r.error = QStringLiteral("备份已取消。");
        return r;
    }

    // The rows of every table, read on the server inside its snapshot and written into the file.
    Result copyTables(StoreEngine& server, Database& file, const Database::Progress& progress)
    {
        qint64 total = 0;
        QStringList counts;
        for (const StoreTable& table : storeTables())
            counts << QStringLiteral("(select count(*) from \"%1\")").arg(table.name);
        const Result counted = server.run(QStringLiteral("select %1 as n").arg(counts.join(u'+')), {});
        if (!counted)
            return counted;
        total = counted.rows.value(0).value(QStringLiteral("n")).toLongLong();
        qint64 done = 0;
        if (progress && !progress(done, total))
            return stopped();

        for (const StoreTable& table : storeTables()) {
            const QStringList columns = QStringList { QStringLiteral("rowid") } + table.columns;
            Result r = server.script(QStringLiteral(
                "declare \"qv_snapshot\" no scroll cursor for select %1 from \"%2\" order by rowid")
                                         .arg(columnList(columns), table.name));
            if (!r)
                return r;
            r = file.copyIn(table.name, columns, [&](const RowSink& sink) -> Result {
                QVariantList values;
                for (;;) {
                    int fetched = 0;
                    bool taken = true;
                    const Result page = server.forEachRow(
                        QStringLiteral("fetch forward %1 from \"qv_snapshot\"").arg(kFetchRows), {},
                        [&](const Cursor& row) {
                            ++fetched;
                            values.clear();
                            for (int i = 0; i < columns.size(); ++i)
                                values << (row.isNull(i) ? QVariant() : QVariant(row.text(i)));
                            taken = sink(values);
                            return taken;
                        });
                    if (!page || !taken)
                        return page;
                    done += fetched;
                    if (progress && !progress(done, total))
                        return stopped();
                    if (fetched < kFetchRows)
                        return page;
                }
            });
            if (!r)
                return r;
            r = server.script(QStringLiteral("close \"qv_snapshot\""));
            if (!r)
                return r;
        }
        return counted;
    }

    Result writeFile(StoreEngine& server, const QString& targetPath, const Database::Progress& progress)
    {
        Result result;
        Database file;
        if (!file.create(targetPath, &result.error))
            return result;
        // Written once, in one transaction: with a rollback journal and full sync the file is all on disk
        // when the commit returns, and nothing is left in a log beside it.
        // The rows come in insertion order, so their pages are written once each: a small page cache will do.
        file.run(QStringLiteral("pragma cache_size = -8000"));
        result = file.run(QStringLiteral("pragma journal_mode = delete"));
        if (result && result.rows.value(0).values().value(0).toString() != QStringLiteral("delete")) {
            result.ok = false;
            result.error = QStringLiteral("备份文件无法改用回滚日志");
        }
        if (result)
            result = createSchema(file);
        if (result)
            result = file.transaction([&] { return copyTables(server, file, progress); });
        file.close();
        if (!result)
            return result;
        // The copy opens with the key as the program opens its file, and every page of it reads back.
        Database proof;
        if (!proof.open(targetPath, &result.error)) {
            result.ok = false;
            result.failure = FailureKind::Damaged;
            return result;
        }
        proof.keepLittleInMemory(); // every page is read once
        const Result check = proof.checkIntegrity(Database::Check::Quick);
        if (!check)
            return check;
        const QString verdict = check.rows.value(0).values().value(0).toString();
        if (check.rows.size() != 1 || verdict != QStringLiteral("ok")) {
            result.ok = false;
            result.failure = FailureKind::Damaged;
            result.error = explainFailure(result.failure, verdict);
        }
        return result;
    }

} // namespace

Result writeSnapshotFile(StoreEngine& server, const QString& targetPath, const Database::Progress& progress)
{
    for (const char* suffix : { "", "-journal", "-wal", "-shm" })
        QFile::remove(targetPath + QLatin1String(suffix));
    // One moment of the archive: every table is read in one repeatable-read transaction. A connection lost
    // meanwhile fails the backup; it is never made again half way.
    Result result = server.begin();
    if (result)
        result = server.script(QStringLiteral("set transaction isolation level repeatable read, read only"));
    if (result)
        result = writeFile(server, targetPath, progress);
    server.rollback();
    if (!result) {
        for (const char* suffix : { "", "-journal", "-wal", "-shm" })
            QFile::remove(targetPath + QLatin1String(suffix));
    }
    return result;
}

} // namespace qv
