#pragma once
// `quorvela --import FILE`: the Windows program's Jet file imported without a window into the store in use.
// Also the import of a Jet file found where the program keeps its own database: a new file is built beside
// it, proved, and only then put in its place, the Jet file kept under another name.

#include "maintenance/jetimport.h"

#include <QDateTime>
#include <QString>

namespace qv {

// Imports into the server named by serverConnection when it is set (setting up an empty database first),
// otherwise into dataFolder's database, made from the Jet file where the folder holds none yet. Writes the
// figures or the reason to out and returns the exit code: 0 only when the import is proven.
int importFromCommandLine(const QString& jetPath, const QString& serverConnection, const QString& dataFolder);

// Builds a new database at freshPath from the template and imports the Jet file into it, proven and on disk.
// Anything short of that removes freshPath again.
Result importIntoNewFile(const QString& jetPath, const QString& freshPath, ImportReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress = {},
    const std::function<bool()>& cancelled = {});

struct JetReplaceOutcome {
    Result result;
    QString keptAs; // where the Jet file is kept: databasePath + ".旧版-yyyymmddhhmmss"
};

// The Jet file at databasePath replaced by its import. The original keeps its bytes under a new name (never
// one already taken) before the new file takes its place by one rename: a power cut at any moment leaves
// the Jet file at databasePath or the whole new file, never neither.
JetReplaceOutcome replaceJetDatabase(const QString& databasePath, const QDateTime& now, ImportReport* report,
    const std::function<void(qint64 done, qint64 total)>& progress = {},
    const std::function<bool()>& cancelled = {});

// Where a Jet file at databasePath is built into a new database before it takes its place.
QString importStagingPath(const QString& databasePath);

} // namespace qv
