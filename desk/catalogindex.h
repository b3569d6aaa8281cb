#pragma once
// The drug catalog (商品) held in memory in name order, so that the search on every keystroke answers in a
// few milliseconds even on a catalog of 100,000 rows, where the store needs a full scan per keystroke.
//
// It answers a catalog PickerQuery with exactly the rows the statement would give: same filter (ASCII letters
// compared without case, NULL never matching), same order, same 200-row cut. It never serves stale rows:
// temporary triggers on the connection count every insert, update and delete of 商品 (whoever makes it), and
// a count that moved makes the next search read the catalog again.

#include "desk/pickerqueries.h"

#include <QHash>
#include <QList>
#include <QString>

namespace qv {

class CatalogIndex {
public:
    explicit CatalogIndex(Database& db)
        : m_db(db)
    {
    }

    // The rows of a catalog (not template) query; a failure when the catalog cannot be read.
    PickerRows fetch(const PickerQuery& query);

    // How often the catalog was read from the store (for tests and the benchmark).
    int loads() const { return m_loads; }

private:
    struct Entry {
        qint64 rowId = 0;
        QString text; // the result-list line
        QString foldedQuery; // 查询 with ASCII letters in lower case
        int category = -1; // index into m_categories; -1 when 分类 is NULL
        bool hasQuery = false;
    };

    bool ensureCurrent(QString* error);
    bool installWriteCounter(QString* error);
    bool reload(QString* error);
    int categoryId(const QString& category);

    Database& m_db;
    QList<Entry> m_entries;
    QHash<QString, int> m_categories;
    qint64 m_writesSeen = -1;
    bool m_loaded = false;
    int m_loads = 0;
};

} // namespace qv
