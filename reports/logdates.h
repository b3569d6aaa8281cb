#pragma once
// The date boxes of the log and statistics windows: default range, reading what was typed, and the one
// message a bad date gets.

#include "platform/typedvalues.h"
#include <QDate>
#include <QString>

#include <optional>

namespace qv {

// Shown for any date box that does not hold a date.
QString dateFormatMessage();

// One calendar month before the day; a day the earlier month lacks becomes that month's last day
// (31 March gives 28 or 29 February).
QDate oneMonthBefore(QDate day);

// An inclusive range of days. A start after the end is a valid range that holds nothing.
struct DateRange {
    QDate from;
    QDate to;
};

// Both boxes read as dates, or empty when either is not one.
std::optional<DateRange> parseDateRange(const QString& start, const QString& end);

// A stored value of the archive's date column shown as "yyyy-mm-dd", whatever time part it carries; a value
// that is no date is shown as stored, null as empty.
QString storedDateAsIso(const QString& stored);

} // namespace qv
