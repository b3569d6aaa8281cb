#include "platform/privatefile.h"
#include "platform/failures.h"
#include "platform/filesync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray partial = QFile::encodeName(path + QStringLiteral(".part"));
    errno = 0;
    bool written = QDir().mkpath(folder) && ::chmod(QFile::encodeName(folder).constData(), 0700) == 0;
    int fd = -1;
    if (written) {
        // Made 0600 from the start: the file is never readable by others, not even for a moment.
        ::unlink(partial.constData());
        fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        written = fd >= 0;
    }
    if (written)
        written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (fd >= 0 && ::close(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (written && ::rename(partial.constData(), QFile::encodeName(path).constData()) == 0) {
        syncFolder(folder);
        return true;
    }
    if (written)
        savedErrno = errno;
    if (fd >= 0)
        ::unlink(partial.constData());
    if (error)
        *error = explainFileFailure(path, QString::fromLocal8Bit(std::strerror(savedErrno)), savedErrno);
    return false;
}

void keepPrivate(const QString& path)
{
    QFile file(path);
    const QFile::Permissions ownerOnly
        = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    if (file.exists() && (file.permissions() & ~ownerOnly))
        file.setPermissions(ownerOnly);
}

void keepFolderPrivate(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat info { };
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    if (info.st_mode & 077)
        ::chmod(name.constData(), 0700);
    const QDir dir(folder);
    for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks))
        keepPrivate(dir.filePath(file));
}

PrivateCreation::PrivateCreation()
    : m_previous(::umask(077))
{
}

PrivateCreation::~PrivateCreation() { ::umask(mode_t(m_previous)); }

} // namespace qv
