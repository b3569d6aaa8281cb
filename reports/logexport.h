#pragma once
// The outpatient log as a spreadsheet: one worksheet with the title, the headings and one row per record.

#include "reports/biff8.h"
#include "reports/xlswriter.h"

#include <QString>

#include <array>
#include <vector>

namespace qv {

// One record of the log in the log's column order: owner, record number, species, sex, weight or
// quantity, age, veterinarian, date, remarks.
struct LogRow {
    std::array<QString, 9> texts;
};

// The most records one sheet takes below its title and headings.
inline constexpr int kLogExportLimit = kBiff8Rows - 2;

// The date of a record as the log shows it: "yyyy-mm-dd", without any time part the stored value has.
QString logDateText(const QString& stored);

// The workbook of the log: "门诊日志登记本" in D1, the headings in row 2, the records from row 3 in the
// given order. The remarks column is left empty.
Workbook logWorkbook(const std::vector<LogRow>& rows);

// The chosen file name with ".xls" added when it does not end in it already.
QString withXlsSuffix(const QString& chosenPath);

} // namespace qv
