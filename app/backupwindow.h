#pragma once
// The window "备份与恢复": every copy in the backup folder with its day, time, size, prescriptions and
// whether it is good (checked in the background), a backup now, a backup into a chosen folder, and the
// restore of a listed copy or of a copy from anywhere (a USB stick). A copy the Windows program left in a day
// folder is listed as such, with its counts, and offered for import.

#include "maintenance/backupcopies.h"
#include "platform/services.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QThread;
class QTreeWidget;

namespace qv {

class RestoreSource;

class BackupWindow final : public QWidget {
    Q_OBJECT
public:
    // What the program does around a restore: before it every other window closes (false when one refuses,
    // the desk with an unsaved prescription); after it they open again on the restored data.
    struct Hooks {
        std::function<bool()> beforeReplace;
        std::function<void()> afterReplace;
    };
    explicit BackupWindow(Services& services, Hooks hooks = {}, QWidget* parent = nullptr);
    ~BackupWindow() override;

    // Reads the backup folder again and starts checking its copies in the background.
    void listCopies();
    void backUpNow();
    void backUpToFolder();
    void restoreChosen();
    void restoreFromFile();
    // Proves the copy at path, asks, and puts it in place. True when the database was replaced. A copy of
    // the Windows program's database is imported instead (into a store without an archive only).
    bool restoreFrom(const QString& path);

    // True once every listed copy has its verdict (for tests).
    bool checksDone() const;
    QString backupRoot() const;

    QLabel* folderLabel = nullptr; // where the copies are
    QTreeWidget* copyList = nullptr; // the copies
    QPushButton* backUpNowButton = nullptr; // 立即备份
    QPushButton* backUpToFolderButton = nullptr; // 备份到…
    QPushButton* restoreButton = nullptr; // 恢复
    QPushButton* restoreFromFileButton = nullptr; // 从文件恢复…

private:
    void startChecks();
    void stopChecks();
    void showFacts(int generation, int row, const CopyFacts& facts);
    void updateButtons();
    bool restoreIntoEmptyServer(const RestoreSource& source);
    // On the practice's server: why no copy may be restored now (its database already holds an archive, or
    // this user is not its owner), read afresh; empty when one may.
    QString serverRefusal();

    Services& m_services;
    Hooks m_hooks;
    QList<BackupCopy> m_copies;
    int m_generation = 0;
    int m_pending = 0;
    QString m_serverRefusal; // serverRefusal() when the copies were last listed
    struct Check {
        QThread* thread = nullptr;
        std::shared_ptr<std::atomic_bool> stop;
    };
    QList<Check> m_checks;
};

} // namespace qv
