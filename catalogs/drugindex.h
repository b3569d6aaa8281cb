#pragma once
// The drug catalog held in memory for searching as the user types. A search of the table itself scans every
// row of 商品 (and decrypts its pages), which is far too slow for a keystroke on a large catalog; the index
// answers the same question — lookup text contains the typed text, ASCII letters in either case, in the
// category, newest key first — from a copy loaded once and refreshed row by row after every write.

#include "catalogs/labelgrid.h"
#include "store/database.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace qv {

// One row of 商品 as the catalog lists it.
struct DrugRecord {
    QString key; // ID号
    QString name; // 名称
    QString usage; // 用法
    QString code; // 拼音
    QString category; // 分类
    QString lookup; // 查询: the name followed by its code
};

// All listable rows, newest key first, with what a search scans: every lookup text with ASCII letters in
// lower case, one after the other in one text, each closed by a NUL (which typed text never holds, so a match
// never runs from one row into the next).
struct DrugSnapshot {
    std::vector<DrugRecord> records;
    QString folded;
    std::vector<int> starts; // where each record's lookup text begins in folded
    std::vector<int> categoryOf; // index into categories
    QStringList categories;

    void add(DrugRecord record);
};

// The rows of one search, in the order of the listing. The grid shows name, usage and code.
class DrugRows final : public GridRecords {
public:
    enum Column { Name, Usage, Code };
    DrugRows() = default;
    DrugRows(std::shared_ptr<const DrugSnapshot> snapshot, std::vector<int> hits);
    int count() const override { return int(m_hits.size()); }
    QString text(int record, int column) const override;
    // The row's record; record must be below count().
    const DrugRecord& at(int record) const { return m_snapshot->records[m_hits[record]]; }

private:
    std::shared_ptr<const DrugSnapshot> m_snapshot;
    std::vector<int> m_hits;
};

class DrugIndex {
public:
    // Reads every listable row of 商品 (rows without a lookup text or category can never be listed).
    Result load(Database& db);
    // The rows of category whose lookup text contains typed, newest key first. typed is literal text.
    std::shared_ptr<DrugRows> search(const QString& typed, const QString& category) const;
    // Re-reads the rows of key after a write (none after a delete).
    Result refresh(Database& db, const QString& key);
    int size() const { return int(m_snapshot->records.size()); }

private:
    // Replaced, never changed in place: the rows a grid shows keep the snapshot they were found in.
    std::shared_ptr<const DrugSnapshot> m_snapshot = std::make_shared<const DrugSnapshot>();
};

// ASCII letters in lower case, everything else as it is: the case rule of the store's "like".
QString foldAsciiCase(const QString& text);

} // namespace qv
