#include "maintenance/migration.h"
#include "store/amounts.h"
#include "store/copystore.h"
#include "store/server/serverschema.h"
#include "store/tables.h"
#include "store/template/templatedb.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

namespace qv {

namespace {

    // Rows read per query while checksumming: a ten-year archive is never held in memory whole.
    constexpr int kPage = 20000;

    Result tallyTable(Database& db, const StoreTable& table, TableTally* tally, qint64& rowsSoFar,
        const std::function<void(qint64)>& progress)
    {
        QStringList columns;
        for (const QString& c : table.columns)
            columns << QLatin1Char('"') + c + QLatin1Char('"');
        const QString sql
            = QStringLiteral("select rowid, %1 from \"%2\" where rowid > ?1 order by rowid limit %3")
                  .arg(columns.join(QStringLiteral(", ")), table.name)
                  .arg(kPage);
        const int width = int(table.columns.size()) + 1;
        QList<bool> amount(width, false);
        for (int i = 1; i < width; ++i)
            amount[i] = table.currency.contains(table.columns[i - 1]);
        TallyHash hash;
        tally->table = table.name;
        tally->rows = 0;
        qint64 after = -1;
        for (;;) {
            int seen = 0;
            const Result r = db.forEachRow(sql, { after }, [&](const Cursor& row) {
                ++seen;
                after = row.text(0).toLongLong();
                for (int i = 0; i < width; ++i) {
                    if (row.isNull(i)) {
                        hash.addNull();
                    } else if (amount[i]) {
                        // Both sides are tallied as the server keeps an amount, so that a file's 12.34567
                        // and the server's 12.3457 agree; a value the server cannot hold stays as it is.
                        const ServerAmount value = serverAmount(row.utf8(i));
                        tally->roundedAmounts += value.form == ServerAmount::Rounded;
                        tally->blankAmounts += value.form == ServerAmount::Empty;
                        if (value.form == ServerAmount::Empty)
                            hash.addNull();
                        else if (value.form == ServerAmount::Invalid)
                            hash.addValue(row.utf8(i));
                        else
                            hash.addValue(value.text);
                    } else {
                        hash.addValue(row.utf8(i));
                    }
                }
                return true;
            });
            if (!r)
                return r;
            tally->rows += seen;
            rowsSoFar += seen;
            if (progress)
                progress(rowsSoFar);
            if (seen < kPage)
                break;
        }
        tally->checksum = hash.hex();
        Result done;
        done.ok = true;
        return done;
    }

    Result countRows(Database& db, qint64* rows)
    {
        *rows = 0;
        for (const StoreTable& table : storeTables()) {
            const Result r = db.run(QStringLiteral("select count(*) as n from \"%1\"").arg(table.name));
            if (!r)
                return r;
            *rows += r.rows.value(0).value(QStringLiteral("n")).toLongLong();
        }
        Result done;
        done.ok = true;
        return done;
    }

    // The tables of a new database as the program sets it up from its template.
    Result templateTallies(QList<TableTally>* tallies)
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("template.dat"));
        Database file;
        QString error;
        if (!folder.isValid() || !writeTemplateDatabase(path, &error) || !file.open(path, &error))
            return refused(QStringLiteral("无法读取程序自带的模板数据库：%1").arg(error));
        return tallyStore(file, tallies);
    }

    // A server database holding only what a new one is set up with (the template's rows, its sample
    // prescription included) may be filled; any other row is part of an archive and is never merged with or
    // overwritten.
    Result refuseAnArchive(Database& server)
    {
        QString used;
        qint64 prescriptions = 0;
        Result r = findArchiveIn(server, &used, &prescriptions);
        if (!r || used.isEmpty())
            return r;
        if (used == storeTables().first().name)
            return refused(
                QStringLiteral("服务器上的这个数据库里已经有档案（处方 %1 张），程序不会合并或覆盖，"
                               "没有改动它。迁移只能迁到一个空的数据库：请在上面换一个数据库名称。")
                    .arg(prescriptions));
        return refused(
            QStringLiteral("服务器上的这个数据库已经有人使用过（“%1”表的内容与新数据库不同），"
                           "程序不会合并或覆盖，没有改动它。迁移只能迁到一个空的数据库：请在上面换一个"
                           "数据库名称。")
                .arg(used));
    }

} // namespace

struct TallyHash::Private {
    QCryptographicHash hash { QCryptographicHash::Sha256 };
};

TallyHash::TallyHash()
    : d(new Private)
{
}

TallyHash::~TallyHash() { delete d; }

void TallyHash::addNull() { d->hash.addData(QByteArrayView("\1", 1)); }

void TallyHash::addValue(QByteArrayView utf8)
{
    d->hash.addData(QByteArrayView("\2", 1));
    d->hash.addData(utf8);
    d->hash.addData(QByteArrayView("\0", 1));
}

QByteArray TallyHash::hex() { return d->hash.result().toHex(); }

Result findArchiveIn(Database& db, QString* usedTable, qint64* prescriptions)
{
    usedTable->clear();
    *prescriptions = 0;
    QList<TableTally> found;
    Result r = tallyStore(db, &found);
    if (!r)
        return r;
    bool allEmpty = true;
    for (const TableTally& t : found)
        allEmpty = allEmpty && t.rows == 0;
    if (allEmpty)
        return r;
    QList<TableTally> seed;
    r = templateTallies(&seed);
    if (!r)
        return r;
    *prescriptions = found.value(0).rows;
    for (int i = 0; i < found.size(); ++i) {
        if (found[i].rows != seed.value(i).rows || found[i].checksum != seed.value(i).checksum) {
            *usedTable = found[i].table;
            break;
        }
    }
    return r;
}

Result tallyStore(Database& db, QList<TableTally>* tallies, const std::function<void(qint64 rows)>& progress)
{
    tallies->clear();
    qint64 rows = 0;
    Result r;
    r.ok = true;
    for (const StoreTable& table : storeTables()) {
        TableTally tally;
        r = tallyTable(db, table, &tally, rows, progress);
        if (!r)
            return r;
        tallies->append(tally);
    }
    return r;
}

bool MigrationReport::matches() const
{
    if (local.size() != server.size() || local.isEmpty())
        return false;
    for (int i = 0; i < local.size(); ++i)
        if (local[i].table != server[i].table || local[i].rows != server[i].rows
            || local[i].checksum != server[i].checksum)
            return false;
    return true;
}

QString MigrationReport::text() const
{
    QStringList lines;
    for (int i = 0; i < local.size(); ++i) {
        const TableTally& here = local[i];
        const TableTally there = server.value(i);
        const bool same = here.rows == there.rows && here.checksum == there.checksum;
        lines << QStringLiteral("%1：本机 %2 行，服务器 %3 行，校验和 %4%5")
                     .arg(here.table)
                     .arg(here.rows)
                     .arg(there.rows)
                     .arg(QString::fromLatin1(here.checksum.left(16)),
                         same ? QStringLiteral("，一致")
                              : QStringLiteral("，不一致（服务器 %1）")
                                    .arg(QString::fromLatin1(there.checksum.left(16))));
        if (here.roundedAmounts > 0)
            lines << QStringLiteral("%1：%2 个金额超过四位小数，服务器上按四舍五入保存为四位小数")
                         .arg(here.table)
                         .arg(here.roundedAmounts);
        if (here.blankAmounts > 0)
            lines << QStringLiteral("%1：%2 个金额是空白的文字，服务器上保存为空")
                         .arg(here.table)
                         .arg(here.blankAmounts);
    }
    return lines.join(QLatin1Char('\n'));
}

Result migrateToServer(Database& file, Database& server, MigrationReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress)
{
    *report = MigrationReport();
    qint64 fileRows = 0;
    qint64 done = 0;
    qint64 total = 0;
    const auto tell = [&](qint64 at) {
        if (progress)
            progress(done + at, total);
    };
    // The desks' role can only read and write the tables: say so before reading anything.
    const Result owner
        = checkOwnerStep(server, QStringLiteral("把档案填入诊所服务器（“迁移到服务器”或在服务器上恢复）"));
    if (!owner)
        return owner;
    // Everything is read from the file in one read transaction: counted, checksummed and copied as one
    // state, whatever else happens to the file meanwhile.
    return file.transaction([&]() -> Result {
        Result r = countRows(file, &fileRows);
        if (!r)
            return r;
        total = fileRows * 3;
        r = tallyStore(file, &report->local, tell);
        if (!r)
            return r;
        done = fileRows;
        // Inside the server's transaction: copy, count and checksum, and commit only when both sides agree.
        const auto copyAndCheck = [&](Database& target) -> Result {
            Result c = holdStoreForFilling(target, false);
            if (c)
                c = clearStoreTables(target);
            if (c)
                c = copyStoreRows(file, target, tell);
            if (!c)
                return c;
            done = fileRows * 2;
            c = tallyStore(target, &report->server, tell);
            if (!c)
                return c;
            if (!report->matches())
                return refused(
                    QStringLiteral("迁移后核对不一致，服务器上的数据库已恢复原样，本机文件没有改动。\n%1")
                        .arg(report->text()));
            return c;
        };
        // The answer to the server's commit lost with the connection: moved when the server now holds what
        // the file holds, table by table.
        const auto holdsTheCopy = [&](bool* stored) -> Result {
            *stored = false;
            Result present
                = server.run(QStringLiteral("select to_regclass('\"qv_schema\"') is not null as p"));
            if (!present || !present.rows.value(0).value(QStringLiteral("p")).toBool())
                return present;
            Result t = tallyStore(server, &report->server);
            *stored = t && report->matches();
            return t;
        };
        // The set-up's own transaction: an empty database filled with the file's rows must hold them; one of
        // ours only had to reach this version.
        bool creating = false;
        const auto fillEmpty = [&](Database& empty) {
            creating = true;
            return copyAndCheck(empty);
        };
        const auto isReady = [&](bool* stored) -> Result {
            if (creating)
                return holdsTheCopy(stored);
            Result version = server.run(QStringLiteral("select \"version\" from \"qv_schema\""));
            *stored = version
                && version.rows.value(0).value(QStringLiteral("version")).toInt() == kServerSchemaVersion;
            return version;
        };
        ServerPreparation prepared;
        // An empty database gets the schema and the file's rows in one transaction.
        r = prepareServerDatabase(
            server, fillEmpty, &prepared, serverUpgradeSteps(), kServerSchemaVersion, isReady);
        if (!r || prepared.created)
            return r;
        // A database of ours: filled only when it holds nothing but a new database's rows. Desks starting
        // now wait on the same lock as the set-up.
        report->server.clear();
        return server.transaction(
            [&]() -> Result {
                Result s = holdStoreForFilling(server, true);
                if (s)
                    s = refuseAnArchive(server);
                return s ? copyAndCheck(server) : s;
            },
            holdsTheCopy);
    });
}

} // namespace qv
