#pragma once
// One program per data folder. The first start on a folder holds a lock file in it and listens for the
// starts that follow; a second start on the same folder asks the first to come to the front and ends. A lock
// left by a program that crashed or lost its power is taken over. Another data folder (another user of the
// computer) has its own lock and is never blocked.

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace qv {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        First, // this program holds the folder
        AlreadyRunning, // another program holds it and was asked to come to the front
        Unchecked, // the lock could not be made (a folder that cannot be written): the start goes on
    };
    Claim claim();
    // After AlreadyRunning: whether the running program was reached (it may not listen, under another user).
    bool reachedFirst() const { return m_raised; }

    // The lock file in the data folder.
    static QString lockPath(const QString& dataFolder);
    enum class LockTaking { Taken, Unlockable, HeldByAnother };
    // Takes a folder's lock file as every start does: a running program's lock never grows stale by its age,
    // one whose program is gone is taken over at once, one left unreadable a while ago too. Unlockable: the
    // file cannot be made (a folder that cannot be written).
    static LockTaking takeLock(QLockFile& lock);
    // The name the first program listens under: the same for the same folder, another for another.
    static QString serverName(const QString& dataFolder);

signals:
    // A second start asked this program to come to the front.
    void raiseRequested();

private:
    bool askFirstToRaise();
    void listen();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_raised = false;
};

} // namespace qv
