#pragma once
// The window "数据存储": where this computer keeps the archive, its own file or the practice's server, the
// server's connection with "测试连接", and "迁移到服务器", which copies this computer's archive onto an empty
// server database. The choice is this computer's (maintenance/storagechoice.h) and takes effect at the next
// start.

#include "maintenance/storagechoice.h"
#include "platform/services.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qv {

class StorageWindow final : public QWidget {
    Q_OBJECT
public:
    explicit StorageWindow(
        Services& services, const QString& configPath = storageConfigPath(), QWidget* parent = nullptr);

    // The choice as the fields show it now.
    StorageChoice choice() const;
    // At a start on a server that cannot be used: the server fields only, the file is not offered.
    void offerServerOnly();

    void testConnection();
    void migrate();
    // Keeps the choice on this computer and closes; false when it could not be written (the window stays).
    bool save();

    QRadioButton* fileOption = nullptr; // 本机文件（默认）
    QRadioButton* serverOption = nullptr; // 诊所服务器
    QLineEdit* hostBox = nullptr; // server
    QLineEdit* portBox = nullptr; // port
    QLineEdit* databaseBox = nullptr; // database
    QLineEdit* userBox = nullptr; // user
    QLineEdit* passwordBox = nullptr; // password
    QComboBox* sslModeBox = nullptr; // sslmode
    QLabel* sslWarningLabel = nullptr; // what prefer and disable risk
    QLabel* statusLabel = nullptr; // what the test or the migration found
    QProgressBar* migrationProgress = nullptr;
    QPushButton* testButton = nullptr; // 测试连接
    QPushButton* migrateButton = nullptr; // 迁移到服务器
    QPushButton* saveButton = nullptr; // 保存
    QPushButton* cancelButton = nullptr; // 取消

signals:
    void saved();

private:
    void fill(const StorageChoice& choice);
    void updateFields();
    void updateSslWarning();

    Services& m_services;
    QString m_configPath;
    bool m_serverOnly = false;
};

} // namespace qv
