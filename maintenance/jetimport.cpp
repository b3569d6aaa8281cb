#include "maintenance/jetimport.h"
#include "store/copystore.h"
#include "store/jet/jetcheck.h"
#include "store/jet/jetdesign.h"
#include "store/tables.h"

#include <QFileInfo>

namespace qv {

namespace {

    const QString kCancelled = QStringLiteral("导入已取消，数据库没有改动。");

    // A Jet value as the store keeps it: texts, dates and amounts already come in the store's form.
    QVariant asStored(const QVariant& value)
    {
        if (!value.isValid())
            return {};
        switch (value.typeId()) {
        case QMetaType::QString:
            return value;
        case QMetaType::Double:
            return QString::number(value.toDouble(), 'g', 17);
        case QMetaType::QByteArray:
            return QString::fromLatin1(value.toByteArray().toHex());
        default:
            return value.toString();
        }
    }

    // The column a refused row is named by: the table's key (序号, or 商品's ID号), else its first column.
    int keyColumnOf(const StoreTable& table)
    {
        for (const char* key : { "序号", "ID号" })
            if (const int at = int(table.columns.indexOf(QString::fromUtf8(key))); at >= 0)
                return at;
        return 0;
    }

} // namespace

QString storeRefusal(const QString& usedTable, qint64 prescriptions)
{
    if (usedTable == storeTables().first().name)
        return QStringLiteral("这个数据库里已经有档案（处方 %1 张），程序不会合并或覆盖，没有改动它。"
                              "旧版数据库只能导入到还没有档案的数据库。")
            .arg(prescriptions);
    return QStringLiteral("这个数据库已经有人使用过（“%1”表的内容与新数据库不同），程序不会"
                          "合并或覆盖，没有改动它。旧版数据库只能导入到还没有档案的数据库。")
        .arg(usedTable);
}

bool ImportReport::matches() const
{
    if (file.size() != store.size() || file.isEmpty())
        return false;
    for (int i = 0; i < file.size(); ++i)
        if (file[i].table != store[i].table || file[i].rows != store[i].rows
            || file[i].checksum != store[i].checksum)
            return false;
    return true;
}

QString ImportReport::text() const
{
    QStringList lines;
    for (int i = 0; i < file.size(); ++i) {
        const TableTally& here = file[i];
        const TableTally there = store.value(i);
        const bool same = here.rows == there.rows && here.checksum == there.checksum;
        lines << QStringLiteral("%1：旧版 %2 行，导入 %3 行，校验和 %4%5")
                     .arg(here.table)
                     .arg(here.rows)
                     .arg(there.rows)
                     .arg(QString::fromLatin1(here.checksum.left(16)),
                         same ? QStringLiteral("，一致")
                              : QStringLiteral("，不一致（导入后 %1）")
                                    .arg(QString::fromLatin1(there.checksum.left(16))));
    }
    return (lines + differences).join(QLatin1Char('\n'));
}

Result importJetFile(const QString& jetPath, Database& target, ImportReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress, const std::function<bool()>& cancelled)
{
    *report = ImportReport();
    QString error;
    // libmdb trusts the file: a damaged one is read through once in a child before it is read here. The
    // progress bar keeps answering meanwhile, and its cancel stops the child.
    const auto keepWaiting = [&] {
        if (progress)
            progress(0, 0);
        return !(cancelled && cancelled());
    };
    if (!checkJetFileApart(jetPath, jetCheckTimeoutMs(QFileInfo(jetPath).size()), &error, keepWaiting))
        return refused(error.isEmpty() ? kCancelled : error);
    JetFile jet;
    if (!jet.open(jetPath, &error))
        return refused(error);
    const JetDesignReport design = compareWithDesign(jet);
    if (design.noDesignTable())
        return refused(notTheProgramsDatabaseMessage(jetPath));
    report->differences = design.lines();

    qint64 total = 0;
    for (const JetDesignTable& t : design.tables)
        if (const JetTable* table = t.present ? jet.table(t.name) : nullptr)
            total += table->rows;
    total *= 2;
    qint64 done = 0;
    const auto tell = [&](qint64 at) {
        if (progress)
            progress(at, total);
    };

    return target.transaction([&]() -> Result {
        QString used;
        qint64 prescriptions = 0;
        Result r = holdStoreForFilling(target, target.kind() == StoreKind::Server);
        if (r)
            r = findArchiveIn(target, &used, &prescriptions);
        if (!r)
            return r;
        if (!used.isEmpty())
            return refused(storeRefusal(used, prescriptions));
        r = clearStoreTables(target);
        if (!r)
            return r;

        const QList<StoreTable>& tables = storeTables();
        for (int t = 0; t < tables.size(); ++t) {
            const StoreTable& table = tables[t];
            const JetDesignTable& shape = design.tables[t];
            TableTally tally;
            tally.table = table.name;
            TallyHash hash;
            bool stopped = false;
            QString refusedKey;
            const int keyColumn = keyColumnOf(table);
            if (shape.present) {
                const QStringList columns = QStringList { QStringLiteral("rowid") } + table.columns;
                r = target.copyIn(table.name, columns, [&](const RowSink& sink) -> Result {
                    QVariantList values;
                    QString readError;
                    const bool read = jet.forEachRow(
                        shape.name,
                        [&](const QVariantList& row) {
                            values.clear();
                            values << QString::number(tally.rows + 1);
                            for (int at : shape.fileColumns)
                                values << (at < 0 ? QVariant() : asStored(row.value(at)));
                            for (const QVariant& v : values) {
                                if (v.isNull())
                                    hash.addNull();
                                else
                                    hash.addValue(v.toString().toUtf8());
                            }
                            ++tally.rows;
                            if (++done % 1024 == 0) {
                                tell(done);
                                if (cancelled && cancelled()) {
                                    stopped = true;
                                    return false;
                                }
                            }
                            if (!sink(values)) {
                                refusedKey = values.value(keyColumn + 1).isNull()
                                    ? QStringLiteral("（空）")
                                    : values.value(keyColumn + 1).toString();
                                return false;
                            }
                            return true;
                        },
                        &readError);
                    if (stopped)
                        return refused(kCancelled);
                    if (!read && !refusedKey.isNull())
                        return Result { true };
                    if (!read)
                        return refused(readError);
                    return Result { true };
                });
                if (!refusedKey.isNull())
                    return refused(
                        QStringLiteral("“%1”表中“%2”为“%3”的一行无法存入（与已有的行重复或不合规定），"
                                       "导入没有完成，数据库没有改动。%4")
                            .arg(table.name, table.columns.at(keyColumn), refusedKey, r.error));
                if (!r)
                    return r;
                if (target.kind() == StoreKind::Server) {
                    r = target.run(QStringLiteral("select setval(pg_get_serial_sequence('\"%1\"', 'rowid'), "
                                                  "coalesce(max(\"rowid\"), 0) + 1, false) from \"%1\"")
                                       .arg(table.name));
                    if (!r)
                        return r;
                }
            }
            tally.checksum = hash.hex();
            report->file << tally;
        }
        r = tallyStore(target, &report->store, [&](qint64 rows) { tell(total / 2 + rows); });
        if (!r)
            return r;
        // A cancel during the count is honoured too: nothing is committed yet.
        if (cancelled && cancelled())
            return refused(kCancelled);
        if (!report->matches())
            return refused(QStringLiteral("导入后核对不一致，数据库已恢复原样，旧版数据库没有改动。\n%1")
                               .arg(report->text()));
        tell(total);
        return r;
    });
}

} // namespace qv
