#include "maintenance/singleinstance.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

namespace qv {

namespace {

    // A lock file whose content cannot be read was cut short while it was written (a power cut in the first
    // moments of a start): older than this, nobody is writing it any more.
    constexpr int kUnreadableLockSeconds = 10;
    // How long a second start tries to reach the first (which may itself be starting).
    constexpr int kReachTries = 30;
    constexpr int kReachWaitMs = 100;

} // namespace

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent)
    , m_folder(dataFolder)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("quorvela.lock"));
}

QString SingleInstance::serverName(const QString& dataFolder)
{
    const QFileInfo folder(dataFolder);
    const QString canonical = folder.canonicalFilePath().isEmpty()
        ? QDir::cleanPath(folder.absoluteFilePath())
        : folder.canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("quorvela-") + QString::fromLatin1(hash.left(20));
}

SingleInstance::LockTaking SingleInstance::takeLock(QLockFile& lock)
{
    lock.setStaleLockTime(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (lock.tryLock(0))
            return LockTaking::Taken;
        if (lock.error() != QLockFile::LockFailedError)
            return LockTaking::Unlockable;
        qint64 pid = 0;
        QString host, application;
        if (lock.getLockInfo(&pid, &host, &application))
            break;
        const QDateTime written = QFileInfo(lock.fileName()).lastModified();
        if (written.isValid() && qAbs(written.secsTo(QDateTime::currentDateTime())) < kUnreadableLockSeconds)
            break;
        lock.removeStaleLockFile();
    }
    return LockTaking::HeldByAnother;
}

SingleInstance::Claim SingleInstance::claim()
{
    m_lock = std::make_unique<QLockFile>(lockPath(m_folder));
    switch (takeLock(*m_lock)) {
    case LockTaking::Taken:
        listen();
        return Claim::First;
    case LockTaking::Unlockable:
        return Claim::Unchecked;
    case LockTaking::HeldByAnother:
        break;
    }
    m_lock.reset();
    m_raised = askFirstToRaise();
    return Claim::AlreadyRunning;
}

void SingleInstance::listen()
{
    const QString name = serverName(m_folder);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket of that name was left by a program that is gone.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        qWarning("single instance: cannot listen as %s: %s", qPrintable(name),
            qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            emit raiseRequested();
        }
    });
}

bool SingleInstance::askFirstToRaise()
{
    const QString name = serverName(m_folder);
    for (int tries = 0; tries < kReachTries; ++tries) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(kReachWaitMs)) {
            socket.write("raise\n");
            socket.waitForBytesWritten(kReachWaitMs * 5);
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(kReachWaitMs);
    }
    return false;
}

} // namespace qv
