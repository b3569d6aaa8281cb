#pragma once
// The outpatient log's label grid: its nine cell columns under their headers, fed by the log records without
// copying them.

#include "catalogs/labelgrid.h"
#include "reports/logquery.h"

#include <memory>

namespace qv {

// The log records as the grid reads them: data column i is field i of a record; the remarks column (8) is
// always empty.
class LogGridRecords final : public GridRecords {
public:
    explicit LogGridRecords(LogRecords records)
        : m_records(std::move(records))
    {
    }
    int count() const override { return int(m_records.size()); }
    QString text(int record, int column) const override;
    const LogRecords& records() const { return m_records; }

private:
    LogRecords m_records;
};

// The log window's grid: 20 rows, headers and cells as the window is designed.
LabelGridLayout logGridLayout();

} // namespace qv
