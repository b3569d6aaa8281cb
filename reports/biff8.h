#pragma once
// The BIFF8 "Workbook" stream of a workbook: the record layout of the legacy .xls format.

#include <QByteArray>

namespace qv {

class Workbook;

// Limits of the format that a workbook must respect before it is written.
constexpr int kBiff8Rows = 65536;
constexpr int kBiff8Columns = 256;
constexpr int kBiff8CellTextLength = 32767;
constexpr double kBiff8MaxRowPoints = 409;
constexpr double kBiff8MaxColumnCharacters = 255;

// Expects a workbook that respects the limits above (writeXls checks them first).
QByteArray biff8WorkbookStream(const Workbook& workbook);

} // namespace qv
