#include "store/jet/jetdesign.h"
#include "store/tables.h"

#include <QDir>

namespace qv {

namespace {

    // The design's types, where the store's table list does not say them: every column not named here, and
    // not an amount, is a text.
    JetType designType(const StoreTable& table, const QString& column)
    {
        if (table.currency.contains(column))
            return JetType::Currency;
        if (table.name == QStringLiteral("档案")) {
            if (column == QStringLiteral("6"))
                return JetType::DateTime;
            if (column == QStringLiteral("T1") || column == QStringLiteral("T2")
                || column == QStringLiteral("T3"))
                return JetType::Memo;
        }
        if (table.name == QStringLiteral("个人模板") && column == QStringLiteral("内容"))
            return JetType::Memo;
        return JetType::Text;
    }

    bool isDesignTable(const QString& name)
    {
        for (const StoreTable& t : storeTables())
            if (t.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

} // namespace

JetDesignReport compareWithDesign(const JetFile& file)
{
    JetDesignReport report;
    for (const StoreTable& design : storeTables()) {
        JetDesignTable out;
        out.name = design.name;
        const JetTable* found = file.table(design.name);
        out.present = found != nullptr;
        if (!found) {
            report.tables << out;
            continue;
        }
        for (const QString& column : design.columns) {
            const int at = found->columnIndex(column);
            out.fileColumns << at;
            if (at < 0) {
                out.missingColumns << column;
                continue;
            }
            const JetType want = designType(design, column);
            const JetType have = found->columns[at].type;
            if (have != want)
                out.retypedColumns
                    << QStringLiteral("%1（%2，应为%3）").arg(column, jetTypeName(have), jetTypeName(want));
        }
        for (const JetColumn& column : found->columns)
            if (!design.columns.contains(column.name, Qt::CaseInsensitive))
                out.extraColumns << column.name;
        report.tables << out;
    }
    for (const JetTable& table : file.tables())
        if (!isDesignTable(table.name))
            report.extraTables << table.name;
    return report;
}

bool JetDesignReport::noDesignTable() const
{
    for (const JetDesignTable& t : tables)
        if (t.present)
            return false;
    return true;
}

bool JetDesignReport::matches() const { return lines().isEmpty(); }

QStringList JetDesignReport::lines() const
{
    QStringList out;
    const QString joiner = QStringLiteral("、");
    for (const JetDesignTable& t : tables) {
        if (!t.present) {
            out << QStringLiteral("缺少“%1”表。").arg(t.name);
            continue;
        }
        if (!t.missingColumns.isEmpty())
            out << QStringLiteral("“%1”表缺少列：%2。").arg(t.name, t.missingColumns.join(joiner));
        if (!t.extraColumns.isEmpty())
            out << QStringLiteral("“%1”表多出列：%2。").arg(t.name, t.extraColumns.join(joiner));
        if (!t.retypedColumns.isEmpty())
            out << QStringLiteral("“%1”表中类型不同的列：%2。").arg(t.name, t.retypedColumns.join(joiner));
    }
    if (!extraTables.isEmpty())
        out << QStringLiteral("多出的表：%1。").arg(extraTables.join(joiner));
    return out;
}

QString notTheProgramsDatabaseMessage(const QString& path)
{
    return QStringLiteral("“%1”是 Access 数据库，但里面没有旧版程序的表（档案、商品、设置、个人模板、诊断、"
                          "动物种类），不是旧版程序的数据库。")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace qv
