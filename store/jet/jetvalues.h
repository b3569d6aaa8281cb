#pragma once
// The Jet value formats turned into what this program's store holds, exactly: texts as stored, amounts to
// their four decimals, dates as "yyyy-mm-dd" (with the time of day only where there is one).

#include <QByteArrayView>
#include <QString>

namespace qv {

// A Jet 4 text (also a memo's bytes): UTF-16 little-endian, or, after the marker FF FE, "compressed": runs of
// one byte per character (the high byte zero) and runs of two, each 0 byte switching between them. False
// when the bytes cannot be a text (an odd byte left over).
bool jet4Text(QByteArrayView bytes, QString* text);

// A Currency value, a 64-bit count of ten-thousandths, as the store writes an amount: "12.5", "0", "-3",
// "0.0001" (no trailing zeros, no point for a whole amount).
QString jetAmountText(qint64 tenThousandths);

// A Date/Time value, days since 1899-12-30 with the time of day as the fraction (negative days count back,
// their fraction still forward): "yyyy-mm-dd" when it falls on midnight, "yyyy-mm-dd hh:mm:ss" otherwise
// (".zzz" where milliseconds remain). A value outside the years 100 to 9999 is kept as its number.
QString jetDateText(double days);

} // namespace qv
