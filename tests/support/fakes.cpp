#include "tests/support/fakes.h"

#include <QDir>

namespace qv::test {

bool FolderDrives::hasVisibleEntries(const QString& root) const
{
    if (root.isEmpty() || !QDir(root).exists())
        return false;
    return !QDir(root).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
}

} // namespace qv::test
