#include "app/storagewindow.h"
#include "app/appicon.h"
#include "maintenance/migration.h"
#include "maintenance/startup.h"
#include "platform/controls.h"
#include "store/database.h"
#include "store/server/serverschema.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace qv {

namespace {

    class WaitCursor {
    public:
        WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    };

    const QStringList kSslModes = { QStringLiteral("prefer"), QStringLiteral("require"),
        QStringLiteral("verify-full"), QStringLiteral("disable") };
    const QStringList kSslTexts
        = { QStringLiteral("服务器支持时加密（prefer）"), QStringLiteral("必须加密（require）"),
              QStringLiteral("加密并核对服务器证书（verify-full）"), QStringLiteral("不加密（disable）") };

} // namespace

StorageWindow::StorageWindow(Services& services, const QString& configPath, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_configPath(configPath)
{
    setObjectName(QStringLiteral("StorageWindow"));
    setWindowTitle(QStringLiteral("数据存储"));
    setWindowIcon(appIcon());
    setFixedSize(twipsSize(7200, 6600));

    caption(this, QStringLiteral("Label2"), QStringLiteral("这台电脑的档案保存在："), 180, 150);
    fileOption = placed<QRadioButton>(this, QStringLiteral("Option1"), 360, 450, 3000, 300);
    fileOption->setText(QStringLiteral("本机文件（默认）"));
    serverOption = placed<QRadioButton>(this, QStringLiteral("Option2"), 3600, 450, 3000, 300);
    serverOption->setText(QStringLiteral("诊所服务器"));

    const QString captions[]
        = { QStringLiteral("服务器："), QStringLiteral("端口："), QStringLiteral("数据库："),
              QStringLiteral("用户名："), QStringLiteral("密码："), QStringLiteral("加密：") };
    QLineEdit** fields[] = { &hostBox, &portBox, &databaseBox, &userBox, &passwordBox };
    for (int i = 0; i < 6; ++i) {
        const double top = 900 + i * 420;
        caption(this, QStringLiteral("Label%1").arg(i + 3), captions[i], 360, top + 40);
        if (i < 5)
            *fields[i] = placed<QLineEdit>(this, QStringLiteral("Text%1").arg(i + 1), 1440, top, 5580, 330);
    }
    portBox->setValidator(new QIntValidator(1, 65535, portBox));
    passwordBox->setEchoMode(QLineEdit::Password);
    sslModeBox = placed<QComboBox>(this, QStringLiteral("Combo1"), 1440, 900 + 5 * 420, 5580, 330);
    sslModeBox->addItems(kSslTexts);
    sslWarningLabel = placed<QLabel>(this, QStringLiteral("Label9"), 1440, 3360, 5580, 480);
    sslWarningLabel->setWordWrap(true);
    sslWarningLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sslWarningLabel->setStyleSheet(QStringLiteral("color: #a00000"));

    statusLabel = placed<QLabel>(this, QStringLiteral("Label1"), 180, 3900, 6840, 1620);
    statusLabel->setWordWrap(true);
    statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLabel->setText(QStringLiteral("更改在下次启动程序时生效。"));
    migrationProgress = placed<QProgressBar>(this, QStringLiteral("Progress1"), 180, 5580, 6840, 240);
    migrationProgress->setRange(0, 1000);
    migrationProgress->setValue(0);
    migrationProgress->hide();

    const QString texts[] = { QStringLiteral("测试连接"), QStringLiteral("迁移到服务器"),
        QStringLiteral("保存"), QStringLiteral("取消") };
    QPushButton** buttons[] = { &testButton, &migrateButton, &saveButton, &cancelButton };
    for (int i = 0; i < 4; ++i) {
        *buttons[i] = placed<QPushButton>(
            this, QStringLiteral("Command%1").arg(i + 1), 180 + i * 1740, 5940, 1560, 450);
        (*buttons[i])->setText(texts[i]);
    }
    connect(fileOption, &QRadioButton::toggled, this, &StorageWindow::updateFields);
    connect(serverOption, &QRadioButton::toggled, this, &StorageWindow::updateFields);
    connect(sslModeBox, &QComboBox::currentIndexChanged, this, &StorageWindow::updateSslWarning);
    connect(testButton, &QPushButton::clicked, this, &StorageWindow::testConnection);
    connect(migrateButton, &QPushButton::clicked, this, &StorageWindow::migrate);
    connect(saveButton, &QPushButton::clicked, this, &StorageWindow::save);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
    fill(loadStorageChoice(m_configPath));
    setFocusProxy(fileOption->isChecked() ? static_cast<QWidget*>(fileOption) : hostBox);
}

void StorageWindow::fill(const StorageChoice& choice)
{
    (choice.onServer ? serverOption : fileOption)->setChecked(true);
    hostBox->setText(choice.host);
    portBox->setText(QString::number(choice.port));
    databaseBox->setText(choice.database);
    userBox->setText(choice.user);
    passwordBox->setText(choice.password);
    const qsizetype mode = kSslModes.indexOf(choice.sslMode);
    // A mode the box does not list (allow, verify-ca) is shown as the safe default, not as the weaker prefer.
    sslModeBox->setCurrentIndex(int(mode >= 0 ? mode : kSslModes.indexOf(StorageChoice().sslMode)));
    updateFields();
}

StorageChoice StorageWindow::choice() const
{
    StorageChoice c;
    c.onServer = serverOption->isChecked();
    c.host = hostBox->text().trimmed();
    c.port = portBox->text().toInt() > 0 ? portBox->text().toInt() : 5432;
    c.database = databaseBox->text().trimmed();
    c.user = userBox->text().trimmed();
    c.password = passwordBox->text();
    c.sslMode = kSslModes.value(sslModeBox->currentIndex(), StorageChoice().sslMode);
    return c;
}

void StorageWindow::offerServerOnly()
{
    serverOption->setChecked(true);
    fileOption->setEnabled(false);
    migrateButton->hide();
    m_serverOnly = true;
    statusLabel->setText(
        QStringLiteral("请检查诊所服务器的连接设置，可以先“测试连接”，然后“保存”再试一次。"));
    setFocusProxy(hostBox);
}

void StorageWindow::updateFields()
{
    const bool server = serverOption->isChecked();
    for (QWidget* w : { static_cast<QWidget*>(hostBox), static_cast<QWidget*>(portBox),
             static_cast<QWidget*>(databaseBox), static_cast<QWidget*>(userBox),
             static_cast<QWidget*>(passwordBox), static_cast<QWidget*>(sslModeBox) })
        w->setEnabled(server);
    testButton->setEnabled(server);
    migrateButton->setEnabled(server);
    updateSslWarning();
}

void StorageWindow::updateSslWarning()
{
    const QString mode = kSslModes.value(sslModeBox->currentIndex());
    QString warning;
    if (mode == QLatin1String("prefer"))
        warning = QStringLiteral("注意：服务器不加密时连接也不加密，网络上冒充服务器的电脑可能骗取密码。");
    else if (mode == QLatin1String("disable"))
        warning = QStringLiteral("注意：不加密，密码和档案以明文经过网络，网络上的其他电脑能看到。");
    sslWarningLabel->setText(warning);
    sslWarningLabel->setVisible(serverOption->isChecked() && !warning.isEmpty());
}

void StorageWindow::testConnection()
{
    const StorageChoice c = choice();
    if (c.host.isEmpty() || c.database.isEmpty() || c.user.isEmpty()) {
        statusLabel->setText(QStringLiteral("请填写服务器、数据库和用户名。"));
        return;
    }
    WaitCursor wait;
    statusLabel->setText(QStringLiteral("正在连接……"));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const ConnectionVerdict verdict = testServerConnection(c.connectionString());
    statusLabel->setText(
        verdict.link.isEmpty() ? verdict.message : verdict.message + QLatin1Char('\n') + verdict.link);
}

void StorageWindow::migrate()
{
    const StorageChoice c = choice();
    if (c.host.isEmpty() || c.database.isEmpty() || c.user.isEmpty()) {
        statusLabel->setText(QStringLiteral("请先填写诊所服务器的服务器、数据库和用户名。"));
        return;
    }
    const AppContext* context = m_services.context;
    const QString path = context && !context->databasePath.isEmpty()
        ? context->databasePath
        : (m_services.drives
                ? dataFolderFor(chooseDriveRoot(*m_services.drives)) + QStringLiteral("/数据库.dat")
                : QString());
    if (path.isEmpty() || !QFile::exists(path)) {
        statusLabel->setText(QStringLiteral("这台电脑上没有数据库文件，没有可以迁移的档案：%1")
                                 .arg(QDir::toNativeSeparators(path)));
        return;
    }
    Database server;
    QString error;
    // The desks' role cannot fill a database: said before anything is asked.
    if (!server.openServer(c.connectionString(), &error)) {
        statusLabel->setText(error);
        return;
    }
    if (const Result owner = checkOwnerStep(server, QStringLiteral("“迁移到服务器”")); !owner) {
        statusLabel->setText(owner.error);
        return;
    }
    Messages* messages = m_services.messages;
    if (messages
        && !messages->askYesNo(QStringLiteral("把这台电脑的档案（%1）复制到诊所服务器的数据库“%2”吗？\n"
                                              "服务器上的数据库必须是空的；本机文件保持原样，不会改动。")
                                   .arg(QDir::toNativeSeparators(path), c.database)))
        return;
    Database local;
    if (!local.open(path, &error)) {
        statusLabel->setText(
            QStringLiteral("无法打开本机的数据库文件：%1\n%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    WaitCursor wait;
    setEnabled(false);
    migrationProgress->setValue(0);
    migrationProgress->show();
    statusLabel->setText(QStringLiteral("正在迁移，请稍候……"));
    QElapsedTimer shown;
    shown.start();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    MigrationReport report;
    const Result moved = migrateToServer(local, server, &report, [&](qint64 done, qint64 total) {
        if (shown.elapsed() < 100 || total <= 0)
            return;
        shown.restart();
        migrationProgress->setValue(int(std::min<qint64>(1000, done * 1000 / total)));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    migrationProgress->setValue(1000);
    setEnabled(true);
    // However long it took, the outcome is shown in front, not in a window the desk may have covered.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()); sub && sub->mdiArea())
        sub->mdiArea()->setActiveSubWindow(sub);
    window()->raise();
    window()->activateWindow();
    if (!moved) {
        migrationProgress->hide();
        const QString refusal
            = QStringLiteral("迁移没有完成，服务器上的数据库没有改动，本机文件保持原样。\n%1")
                  .arg(moved.error);
        statusLabel->setText(refusal);
        if (messages)
            messages->inform(refusal, Messages::Icon::Warning);
        return;
    }
    statusLabel->setText(QStringLiteral("迁移完成，两边的行数和校验和一致：\n%1").arg(report.text()));
    if (messages
        && messages->askYesNo(QStringLiteral("档案已经复制到诊所服务器，核对一致：\n%1\n\n"
                                             "以后这台电脑使用诊所服务器上的档案吗？（下次启动程序时生效；在"
                                             "那之前这台电脑保存的记录仍写在本机文件里，"
                                             "不会出现在服务器上，所以请尽快重新启动程序。）")
                                  .arg(report.text()))) {
        serverOption->setChecked(true);
        save();
    }
}

bool StorageWindow::save()
{
    const StorageChoice c = choice();
    if (c.onServer && (c.host.isEmpty() || c.database.isEmpty() || c.user.isEmpty())) {
        statusLabel->setText(QStringLiteral("请填写服务器、数据库和用户名。"));
        return false;
    }
    const QString error = saveStorageChoice(c, m_configPath);
    if (!error.isEmpty()) {
        statusLabel->setText(error);
        return false;
    }
    if (m_services.messages && !m_serverOnly)
        m_services.messages->inform(c.onServer
                ? QStringLiteral("已保存：这台电脑使用诊所服务器上的档案，下次启动程序时生效。")
                : QStringLiteral("已保存：这台电脑使用本机文件中的档案，下次启动程序时生效。"),
            Messages::Icon::Information);
    emit saved();
    close();
    return true;
}

} // namespace qv
