#pragma once
// Values the user types as text: dates and margins.

#include <QDate>
#include <QString>
#include <optional>

namespace qv {

// A date as the boxes show it and the archive stores it: "yyyy-mm-dd".
QString isoDate(QDate day);

// Reads a typed date: "2016-01-03", also with one-digit month or day ("2016-1-3") or "/" as separator, blanks
// around it ignored. Empty when the text is not a real calendar date.
std::optional<QDate> parseTypedDate(const QString& typed);

// The leading number of a typed text ("15", " 12.5mm" → 12.5); 0 when it starts with none.
double leadingNumber(const QString& typed);

} // namespace qv
