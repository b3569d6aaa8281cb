#pragma once
// `quorvela --import FILE`: the Windows program's Jet file imported without a window into the store in use.

#include <QString>

namespace qv {

// Imports into the server named by serverConnection when it is set (setting up an empty database first),
// otherwise into dataFolder's database, made from the Jet file where the folder holds none yet. Writes the
// figures or the reason to out and returns the exit code: 0 only when the import is proven.
int importFromCommandLine(const QString& jetPath, const QString& serverConnection, const QString& dataFolder);

} // namespace qv
