#include "platform/filesync.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qv {

namespace {

    bool syncOpened(const QString& path, int flags)
    {
#ifdef Q_OS_UNIX
        const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = ::fsync(fd) == 0;
        ::close(fd);
        return ok;
#else
        Q_UNUSED(path);
        Q_UNUSED(flags);
        return true;
#endif
    }

} // namespace

bool syncFile(const QString& path)
{
#ifdef Q_OS_UNIX
    return syncOpened(path, O_RDWR);
#else
    return syncOpened(path, 0);
#endif
}

bool syncFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    return syncOpened(folder, O_RDONLY | O_DIRECTORY);
#else
    return syncOpened(folder, 0);
#endif
}

} // namespace qv
