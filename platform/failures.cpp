#include "platform/failures.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>

namespace qv {

namespace {

    // Below this much free space a failed write is taken for a full disk.
    constexpr qint64 kNearlyFullBytes = 1024 * 1024;

    FailureKind kindOfErrno(int e)
    {
        switch (e) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return FailureKind::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return FailureKind::NoWriteAccess;
        case EBUSY:
#ifdef ETXTBSY
        case ETXTBSY:
#endif
        case EAGAIN:
            return FailureKind::Busy;
        case EISDIR:
            return FailureKind::FolderInTheWay;
        case EIO:
        case ENXIO:
        case ENODEV:
            return FailureKind::DiskError;
        default:
            return FailureKind::Other;
        }
    }

} // namespace

QString failureSentence(FailureKind kind)
{
    switch (kind) {
    case FailureKind::DiskFull:
        return QStringLiteral("磁盘已满，没有空间写入。请删除一些不需要的文件、腾出磁盘空间后再试一次。");
    case FailureKind::NoWriteAccess:
        return QStringLiteral("文件或文件夹是只读的，或者当前用户没有写入的权限。请取消文件的“只读”属性、"
                              "请管理员给予写入权限，或者换一个位置保存。");
    case FailureKind::Busy:
        return QStringLiteral(
            "文件正被其他程序使用或锁定。请关闭正在使用这个文件的程序，稍等片刻后再试一次。");
    case FailureKind::DiskError:
        return QStringLiteral("读写磁盘时出错。请检查磁盘或 U 盘是否连接好，然后再试一次；如果反复出现，"
                              "磁盘可能有故障，请尽快备份数据。");
    case FailureKind::Damaged:
        return QStringLiteral(
            "数据库文件已损坏，或者不是本程序的数据库。有完好的备份时可以用它恢复：程序启动时会提出用最近一份"
            "完好的备份恢复，程序运行时也可以在“数据维护(D)”菜单的“备份与恢复…”中选一份。");
    case FailureKind::KeyTaken:
        return QStringLiteral(
            "已经存在一条相同的记录（名称或编号重复），所以没有再保存一次。请修改名称后再保存，"
            "或者先新建一条。");
    case FailureKind::FolderInTheWay:
        return QStringLiteral(
            "这个位置上是一个文件夹，而不是文件。请换一个文件名，或者先把这个同名的文件夹移走。");
    case FailureKind::ServerGone:
    case FailureKind::LoginRefused:
        return serverFailureSentence(kind);
    case FailureKind::Stated:
    case FailureKind::Other:
        break;
    }
    return QStringLiteral(
        "操作没有完成。请再试一次；如果仍然不行，请重新启动程序，并记下括号中的内容告诉技术支持。");
}

QString explainFailure(FailureKind kind, const QString& technicalReason)
{
    if (kind == FailureKind::Stated)
        return technicalReason;
    const QString sentence = failureSentence(kind);
    return technicalReason.isEmpty() ? sentence : sentence + QStringLiteral("（%1）").arg(technicalReason);
}

QString serverFailureSentence(FailureKind kind)
{
    switch (kind) {
    case FailureKind::ServerGone:
        return QStringLiteral("无法连接诊所服务器，这一步没有完成。请检查服务器是否开着、网线或网络是否连通，"
                              "然后再试一次。");
    case FailureKind::LoginRefused:
        return QStringLiteral("诊所服务器拒绝登录：用户名或密码不对，或者这个用户不能使用这个数据库。"
                              "请检查数据存储设置中的用户名和密码。");
    case FailureKind::DiskFull:
        return QStringLiteral(
            "诊所服务器的磁盘已满，没有空间写入。请告诉管理服务器的人腾出磁盘空间，然后再试一次。");
    case FailureKind::NoWriteAccess:
        return QStringLiteral("诊所服务器不允许写入（数据库是只读的，或者这个用户没有写入的权限）。"
                              "请告诉管理服务器的人。");
    case FailureKind::Busy:
        return QStringLiteral(
            "诊所服务器正忙，操作没有在规定的时间内完成（可能有其他电脑正在修改同一条记录）。"
            "请稍等片刻后再试一次。");
    case FailureKind::DiskError:
        return QStringLiteral(
            "诊所服务器读写磁盘时出错，这一步没有完成。请告诉管理服务器的人检查服务器的磁盘。");
    case FailureKind::Damaged:
        return QStringLiteral("诊所服务器上的数据库已损坏，或者不是本程序的数据库。请告诉管理服务器的人。");
    default:
        return failureSentence(kind);
    }
}

QString explainServerFailure(FailureKind kind, const QString& technicalReason)
{
    if (kind == FailureKind::Stated)
        return technicalReason;
    const QString sentence = serverFailureSentence(kind);
    return technicalReason.isEmpty() ? sentence : sentence + QStringLiteral("（%1）").arg(technicalReason);
}

FailureKind fileFailureKind(const QString& path, int savedErrno)
{
    const QFileInfo target(path);
    if (target.isDir())
        return FailureKind::FolderInTheWay;
    if (const FailureKind byErrno = kindOfErrno(savedErrno); byErrno != FailureKind::Other)
        return byErrno;
    // errno was lost or says nothing useful: look at the file and its folder.
    const QFileInfo folder(target.absolutePath());
    if ((target.exists() && !target.isWritable()) || (folder.isDir() && !folder.isWritable()))
        return FailureKind::NoWriteAccess;
    if (folder.isDir()) {
        const QStorageInfo volume(folder.absoluteFilePath());
        if (volume.isValid() && volume.isReadOnly())
            return FailureKind::NoWriteAccess;
        if (volume.isValid() && volume.bytesAvailable() < kNearlyFullBytes)
            return FailureKind::DiskFull;
    }
    return FailureKind::Other;
}

QString explainFileFailure(const QString& path, const QString& technicalReason, int savedErrno)
{
    return explainFailure(fileFailureKind(path, savedErrno), technicalReason);
}

} // namespace qv
