#pragma once
// Making what was written last through a power cut: a file's bytes, and the folder entry that names it.

#include <QString>

namespace qv {

// The file's bytes are on disk. False when it cannot be opened or synced.
bool syncFile(const QString& path);
// A rename or a new file lasts only once the folder that records it is on disk.
bool syncFolder(const QString& folder);

} // namespace qv
