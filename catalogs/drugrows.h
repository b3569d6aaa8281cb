#pragma once
// The rows of one search of the drug catalog window, as its grid shows them: name, usage and search code.

#include "catalogs/catalogindex.h"
#include "catalogs/labelgrid.h"

#include <vector>

namespace qv {

class DrugRows final : public GridRecords {
public:
    enum Column { Name, Usage, Code };
    DrugRows() = default;
    explicit DrugRows(std::vector<CatalogRow> rows)
        : m_rows(std::move(rows))
    {
    }
    int count() const override { return int(m_rows.size()); }
    QString text(int record, int column) const override
    {
        if (record < 0 || record >= count())
            return {};
        const CatalogRow& r = m_rows[size_t(record)];
        return column == Name ? r.name()
            : column == Usage ? r.usage()
            : column == Code  ? r.code()
                              : QString();
    }
    // The row's record; record must be below count().
    const CatalogRow& at(int record) const { return m_rows[size_t(record)]; }

private:
    std::vector<CatalogRow> m_rows;
};

} // namespace qv
