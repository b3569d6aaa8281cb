#pragma once
// Bringing the Windows program's archive (a Jet file) into this program's store: every design table streamed
// in the file's order into a store that holds no archive yet, in one transaction, then counted and
// checksummed on both sides before it is committed. The Jet file is only read.

#include "maintenance/migration.h"

#include <functional>

namespace qv {

struct ImportReport {
    QList<TableTally> file, store; // as read from the Jet file, as read back from the store
    QStringList differences; // tables and columns the file lacks or has beyond the design
    bool matches() const;
    // A line per table for the user, then the differences.
    QString text() const;
};

// Why a store is refused: usedTable and prescriptions as findArchiveIn finds them (usedTable not empty).
QString storeRefusal(const QString& usedTable, qint64 prescriptions);

// Imports the Jet file at jetPath into target, replacing the template's rows. A store holding an archive is
// refused untouched; so is a damaged file. Anything short of a proven copy is rolled back, cancelled too
// (cancelled is asked every thousand rows or so). progress hears (rows done, rows in all).
Result importJetFile(const QString& jetPath, Database& target, ImportReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress = {},
    const std::function<bool()>& cancelled = {});

} // namespace qv
