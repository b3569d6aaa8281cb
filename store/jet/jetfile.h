#pragma once
// The Windows program's database read with libmdb (mdbtools), never written: its tables, their columns and
// their rows, streamed one at a time, every value in the form this program's store holds.
//
// One JetFile is one libmdb handle: use it from one thread at a time (separate JetFiles may be read on
// separate threads).

#include "store/jet/jetformat.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace qv {

enum class JetType { Text, Memo, DateTime, Currency, Integer, Real, Boolean, Binary, Other };

// "文本", "备注", "日期/时间", "货币" …, for reports.
QString jetTypeName(JetType type);

struct JetColumn {
    QString name;
    JetType type = JetType::Other;
    int size = 0; // a text's length in characters; the byte size for others
};

struct JetTable {
    QString name;
    QList<JetColumn> columns; // in stored order
    qint64 rows = 0; // as the table's definition counts them
    // The position of a column, names compared as Jet does (ASCII letters case-blind); -1 when absent.
    int columnIndex(const QString& name) const;
};

class JetFile {
public:
    JetFile();
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    // Opens the file read-only and reads its user tables and their columns. On failure error says why, in a
    // sentence for the user: no such file, not readable, not an Access database, damaged or incomplete.
    bool open(const QString& path, QString* error);
    void close();
    bool isOpen() const;
    QString path() const;
    JetFormat format() const;

    // The user tables in the file's catalog order.
    const QList<JetTable>& tables() const;
    // The table of that name (compared as Jet does), or null.
    const JetTable* table(const QString& name) const;

    // Steps through a table's rows in the file's order without holding them: visit receives each row's
    // values in the table's column order and returns false to stop. A null is an invalid QVariant; a text,
    // a memo (of any length) and a date are QStrings (jetvalues.h says their forms), a currency amount is
    // its exact decimal QString, other numbers qlonglong or double, binary values QByteArray. Fails, with a
    // sentence, when the table turns out damaged on the way (the rows visited so far were read correctly) or
    // when fewer or more rows come than its definition counts.
    using RowVisitor = std::function<bool(const QVariantList& values)>;
    bool forEachRow(const QString& table, const RowVisitor& visit, QString* error);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace qv
