#pragma once
// mdbtools' own mdb-export of a Jet file's table, an independent reader to compare this program's with.

#include <QList>
#include <QStringList>

namespace qv::test {

// mdb-export's CSV: fields split by commas, rows by LF; quoted fields double their quotes and may hold CR LF.
QList<QStringList> parseCsv(const QString& text);

// The table's rows as mdb-export prints them, header first, dates as "yyyy-mm-dd hh:mm:ss"; empty when
// mdb-export fails.
QList<QStringList> mdbExport(const QString& path, const QString& table);

// The store's form of what mdb-export prints: an amount without its trailing zeros ("9.6500" is "9.65",
// "-4.0000" is "-4").
QString amountAsStored(QString printed);
// What mdb-export prints for a date the store keeps: a date at midnight gets its time of day.
QString dateAsExported(const QString& stored);

} // namespace qv::test
