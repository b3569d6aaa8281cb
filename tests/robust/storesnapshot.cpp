#include "tests/robust/storesnapshot.h"

namespace qv::test {

QStringList storeSnapshot(Database& db)
{
    static const QStringList tables { QStringLiteral("商品"), QStringLiteral("个人模板"),
        QStringLiteral("诊断"), QStringLiteral("动物种类"), QStringLiteral("设置"), QStringLiteral("档案") };
    QStringList snapshot;
    for (const QString& table : tables) {
        const Result r = db.run(QStringLiteral("select * from \"%1\"").arg(table));
        if (!r) {
            snapshot << table + QStringLiteral(" unreadable: ") + r.error;
            continue;
        }
        QStringList rows;
        for (const Row& row : r.rows) {
            QStringList values;
            for (const QVariant& v : row.values())
                values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            rows << table + QLatin1Char('|') + values.join(QLatin1Char('|'));
        }
        rows.sort();
        snapshot += rows;
    }
    return snapshot;
}

QString integrityOf(Database& db)
{
    const Result r = db.run(QStringLiteral("pragma integrity_check"));
    if (!r)
        return r.error;
    QStringList lines;
    for (const Row& row : r.rows)
        lines << row.values().value(0).toString();
    return lines.join(QLatin1Char('\n'));
}

} // namespace qv::test
