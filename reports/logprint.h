#pragma once
// The printed outpatient log book: a ruled landscape table of 14 prescriptions a page, in millimetres, placed
// on the paper by the log's own print margins (stored in 设置.左边距1 / 上边距1).

#include "platform/typedvalues.h"
#include "reports/logquery.h"
#include "store/database.h"

#include <QString>

#include <functional>
#include <vector>

namespace qv {

class PrintSurface;

inline constexpr int kLogRecordsPerPage = 14;

// Draws the whole book on the surface as one landscape job, shifted right by leftMm and down by topMm - 10,
// and ends the job. Nothing is drawn for no records. False when the surface failed (its errorText() says
// why).
// progress, when given, hears of every page drawn (its number and the page count), so that a window can keep
// answering through a book of thousands of pages.
using LogPrintProgress = std::function<void(int page, int pages)>;
bool printLogBook(PrintSurface& surface, const LogRecords& records, double leftMm, double topMm,
    const LogPrintProgress& progress = {});

// The stored margins as texts; a value the row does not hold (no row, null) stays empty.
struct LogMarginTexts {
    QString left;
    QString top;
};
LogMarginTexts loadLogMargins(Database& db);
// Writes both texts as typed into the settings row.
Result storeLogMargins(Database& db, const QString& left, const QString& top);

} // namespace qv
