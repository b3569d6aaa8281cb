#include "app/mainwindow.h"
#include "app/aboutwindow.h"
#include "app/appicon.h"
#include "app/backupprogress.h"
#include "app/backupwindow.h"
#include "app/jetimportflow.h"
#include "app/screenfit.h"
#include "app/storagewindow.h"
#include "app/webpages.h"
#include "maintenance/backupcopies.h"
#include "maintenance/startup.h"
#include "platform/units.h"
#include "settings/settingsreaders.h"
#include "settings/settingswindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

namespace qv {

namespace {
    const double kMinWidthTwips = 15390;
    const double kMinHeightTwips = 10290;
}

MainWindow::MainWindow(Services& services, WindowFactories factories, QWidget* parent)
    : QMainWindow(parent)
    , m_services(services)
    , m_factories(std::move(factories))
    , m_frame(assumedFrame())
{
    setObjectName(QStringLiteral("Form1"));
    showStoreInTitle();
    setWindowIcon(appIcon());
    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    m_area->setBackground(QColor(144, 163, 178));
    setCentralWidget(m_area);
    fitToScreen();
    buildMenu();
    setWindowState(windowState() | Qt::WindowMaximized);
}

QAction* MainWindow::addEntry(
    QMenu* menu, const QString& text, bool enabled, const std::function<void()>& action)
{
    QAction* a = menu ? menu->addAction(text) : menuBar()->addAction(text);
    a->setObjectName(text);
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, action);
    return a;
}

void MainWindow::buildMenu()
{
    const auto& f = m_factories;
    addEntry(nullptr, QStringLiteral("综合设置(S)"), bool(f.settings), [this] { openSettings(); });
    addEntry(nullptr, QStringLiteral("药物维护(Y)"), bool(f.drugCatalog), [this] { openDrugCatalog(); });
    QMenu* templates = menuBar()->addMenu(QStringLiteral("模板维护(M)"));
    addEntry(templates, QStringLiteral("个人组套\\中药方剂"), bool(f.templates), [this] { openTemplates(); });
    addEntry(templates, QStringLiteral("动物种类"), bool(f.species), [this] { openSpecies(); });
    addEntry(templates, QStringLiteral("诊断名称"), bool(f.diagnoses), [this] { openDiagnoses(); });
    addEntry(nullptr, QStringLiteral("开具处方(C)"), bool(f.desk), [this] { openDesk(); });
    addEntry(nullptr, QStringLiteral("业务统计(T)"), bool(f.statistics), [this] { openStatistics(); });
    addEntry(nullptr, QStringLiteral("日志报表(B)"), bool(f.log), [this] { openLog(); });
    QMenu* upkeep = menuBar()->addMenu(QStringLiteral("数据维护(D)"));
    addEntry(upkeep, QStringLiteral("数据存储…"), true, [this] { openStorage(); });
    addEntry(upkeep, QStringLiteral("备份与恢复…"), true, [this] { openBackups(); });
    addEntry(upkeep, QStringLiteral("从旧版数据库导入…"), true, [this] { importOldDatabase(); });
    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(H)"));
    addEntry(help, QStringLiteral("操作帮助"), true,
        [this] { openWebPage(WebPage::OperatingHelp, *m_services.urls); });
    addEntry(help, QStringLiteral("视频教程"), true,
        [this] { openWebPage(WebPage::VideoTutorials, *m_services.urls); });
    addEntry(help, QStringLiteral("访问作者主页"), true,
        [this] { openWebPage(WebPage::HomePage, *m_services.urls); });
    addEntry(help, QStringLiteral("版本信息"), true, [this] { openAbout(); });
}

QAction* MainWindow::menuAction(const QString& text) const { return findChild<QAction*>(text); }

QWidget* MainWindow::childWindow(const QString& kind) const { return m_children.value(kind); }

QWidget* MainWindow::open(const QString& kind, const std::function<QWidget*()>& factory)
{
    QWidget* window = m_children.value(kind);
    if (!window) {
        if (!factory)
            return nullptr;
        window = factory();
        if (!window)
            return nullptr;
        QMdiSubWindow* sub = m_area->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowIcon(window->windowIcon());
        // A window that closes itself (save, cancel) goes away with its frame; the next open makes it anew.
        window->setAttribute(Qt::WA_DeleteOnClose);
        connect(window, &QObject::destroyed, sub, [sub] { sub->close(); });
        sub->adjustSize();
        sub->move(childWindowPosition(size(), sub->size()));
        m_children.insert(kind, window);
    }
    // Shown again means in front and active, with the keyboard in the window's first field (its focus
    // proxy): what the user types next must not go into a window behind it.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        if (sub->isMinimized())
            sub->showNormal();
        sub->show();
        m_area->setActiveSubWindow(sub);
    }
    window->show();
    activateWindow();
    window->setFocus(Qt::OtherFocusReason);
    return window;
}

void MainWindow::openSettings() { open(QStringLiteral("settings"), m_factories.settings); }
void MainWindow::openDrugCatalog() { open(QStringLiteral("drugs"), m_factories.drugCatalog); }
void MainWindow::openSpecies() { open(QStringLiteral("species"), m_factories.species); }
void MainWindow::openDiagnoses() { open(QStringLiteral("diagnoses"), m_factories.diagnoses); }
void MainWindow::openStatistics() { open(QStringLiteral("statistics"), m_factories.statistics); }
void MainWindow::openLog() { open(QStringLiteral("log"), m_factories.log); }

void MainWindow::openDesk() { open(QStringLiteral("desk"), m_factories.desk); }

void MainWindow::openTemplates(const QString& category, const QString& body, bool preset)
{
    QWidget* window = open(QStringLiteral("templates"), m_factories.templates);
    if (window && preset && m_factories.presetTemplates)
        m_factories.presetTemplates(window, category, body);
}

void MainWindow::openAbout()
{
    auto factory = [this]() -> QWidget* { return new AboutWindow(*m_services.urls); };
    open(QStringLiteral("about"), factory);
}

void MainWindow::showStoreInTitle(const QString& pending)
{
    // The design's title on this computer's own file; on the practice's server the title says which.
    QString title = QStringLiteral("Quorvela V2.0");
    if (m_services.db && m_services.db->kind() == StoreKind::Server)
        title += QStringLiteral(" — ") + m_services.db->location();
    if (!pending.isEmpty())
        title += QStringLiteral("（") + pending + QStringLiteral("）");
    setWindowTitle(title);
}

void MainWindow::openStorage()
{
    open(QStringLiteral("storage"), [this]() -> QWidget* {
        auto* storage = new StorageWindow(m_services);
        // The switch counts from the next start: until then saves still go where they went.
        connect(storage, &StorageWindow::saved, this, [this, storage] {
            const bool toServer = storage->choice().onServer;
            const bool nowServer = m_services.db && m_services.db->kind() == StoreKind::Server;
            if (toServer != nowServer || toServer)
                showStoreInTitle(toServer
                        ? QStringLiteral("已改用诊所服务器，重新启动程序后生效；在那之前仍保存在这里")
                        : QStringLiteral("已改用本机文件，重新启动程序后生效；在那之前仍保存在这里"));
        });
        return storage;
    });
}

void MainWindow::openBackups()
{
    auto factory = [this]() -> QWidget* {
        return new BackupWindow(
            m_services, { [this] { return closeForRestore(); }, [this] { reopenAfterRestore(); } });
    };
    open(QStringLiteral("backups"), factory);
}

bool MainWindow::importOldDatabase()
{
    if (!m_services.fileDialogs)
        return false;
    const QString path = m_services.fileDialogs->openFileName(this, QStringLiteral("从旧版数据库导入"),
        oldDatabaseFolder(m_services), QStringLiteral("旧版数据库 (*.dat *.mdb);;所有文件 (*)"));
    if (path.isEmpty())
        return false;
    return qv::importOldDatabase(
        m_services, path, this, { [this] { return closeForRestore(); }, [this] { reopenAfterRestore(); } });
}

bool MainWindow::closeForRestore()
{
    m_reopen.clear();
    // The desk first: it may ask about an unsaved prescription, and its Cancel stops the restore.
    QStringList kinds = m_children.keys();
    kinds.removeAll(QStringLiteral("desk"));
    kinds.prepend(QStringLiteral("desk"));
    for (const QString& kind : kinds) {
        QWidget* window = m_children.value(kind);
        if (!window || kind == QStringLiteral("backups"))
            continue;
        if (!window->close()) {
            reopenAfterRestore();
            return false;
        }
        m_reopen << kind;
    }
    // The settings a hidden settings window holds are read again from the restored file.
    if (auto* settings = dynamic_cast<SettingsWindowHolder*>(m_services.settings);
        settings && settings->isLoaded())
        settings->window()->close();
    // Closed windows go now, not at the next turn of the event loop: the ones opened after the restore must
    // be new ones, reading the restored file.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_closedForRestore = true;
    return true;
}

void MainWindow::reopenAfterRestore()
{
    const QMap<QString, std::function<void()>> openers {
        { QStringLiteral("settings"), [this] { openSettings(); } },
        { QStringLiteral("drugs"), [this] { openDrugCatalog(); } },
        { QStringLiteral("templates"), [this] { openTemplates(); } },
        { QStringLiteral("species"), [this] { openSpecies(); } },
        { QStringLiteral("diagnoses"), [this] { openDiagnoses(); } },
        { QStringLiteral("desk"), [this] { openDesk(); } },
        { QStringLiteral("statistics"), [this] { openStatistics(); } },
        { QStringLiteral("log"), [this] { openLog(); } }, { QStringLiteral("about"), [this] { openAbout(); } }
    };
    m_closedForRestore = false;
    const QStringList kinds = std::exchange(m_reopen, {});
    for (const QString& kind : kinds) {
        if (const auto opener = openers.value(kind))
            opener();
    }
    // The backups window stays in front.
    if (m_children.value(QStringLiteral("backups")))
        open(QStringLiteral("backups"), {});
}

void MainWindow::placeDesk()
{
    QWidget* desk = m_children.value(QStringLiteral("desk"));
    if (!desk) {
        // A resize while the bar of a restore or an import runs: a desk made now would read the store half
        // way (on the server, in the middle of the import's copy, which that breaks).
        if (m_closedForRestore)
            return;
        desk = open(QStringLiteral("desk"), m_factories.desk);
        if (!desk)
            return;
    }
    if (QWidget* sub = desk->parentWidget())
        sub->move(childWindowPosition(size(), sub->size()));
}

QMargins MainWindow::frame()
{
    // The limits are for the window when restored (a maximised one may wear a thinner frame). The frame
    // allowed for only ever grows, so the minimum only ever shrinks: a restored window is never pushed past
    // the screen's edge by a minimum that grew under it.
    const QWindow* handle = windowHandle();
    const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    if (handle && isVisible() && normal)
        m_frame = widestOf(m_frame, handle->frameMargins());
    return m_frame;
}

void MainWindow::fitToScreen()
{
    // The frame is held at 15390 x 10290 twips at least, unless the screen is smaller than that (a small
    // screen at a large scale): then at the screen's free area, so every edge stays reachable.
    const QSize wanted = twipsSize(kMinWidthTwips, kMinHeightTwips);
    const QScreen* shown = screen();
    const QSize minimum = shown ? minimumSizeWithin(wanted, shown->availableGeometry(), frame()) : wanted;
    if (minimumSize() != minimum)
        setMinimumSize(minimum);
}

void MainWindow::showAtStart()
{
    fitToScreen();
    // Restoring from maximised goes back to this geometry, so it must be smaller than the screen.
    if (const QScreen* shown = screen())
        setGeometry(normalGeometryWithin(shown->availableGeometry(), frame(), minimumSize()));
    showMaximized();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (QWindow* handle = windowHandle())
        connect(handle, &QWindow::screenChanged, this, &MainWindow::fitToScreen, Qt::UniqueConnection);
    fitToScreen();
    placeDesk();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // The window manager tells the frame's size only once the window is shown; the desk is centred again on
    // every resize.
    if (isVisible()) {
        fitToScreen();
        placeDesk();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The desk is closed first, so that it can ask about a changed prescription; its Cancel keeps the
    // program running with everything open.
    if (QWidget* desk = m_children.value(QStringLiteral("desk")); desk && !m_exiting && !desk->close()) {
        event->ignore();
        return;
    }
    event->accept();
    exitWithBackup();
}

void MainWindow::exitWithBackup()
{
    if (m_exiting)
        return;
    m_exiting = true;
    if (QWidget* desk = m_children.value(QStringLiteral("desk")))
        desk->hide();
    hide();
    if (m_services.db && m_services.drives && m_services.clock) {
        // On the practice's server the whole archive is copied: a bar shows when that takes a while. It is
        // gone before any message about the backup: a modal bar left over the message would block its button.
        QString error;
        {
            BackupProgress progress;
            error = backUpDatabase(
                *m_services.drives, m_services.clock->now().date(), *m_services.db, progress.callback());
        }
        // The program still ends, but a practice must not go on for weeks without a backup and not know it.
        if (!error.isEmpty()) {
            qWarning("backup failed: %s", qPrintable(error));
            const QString folder = todaysBackupFolder(*m_services.drives, m_services.clock->now().date());
            if (m_services.messages)
                m_services.messages->inform(backupFailureText(folder, error), Messages::Icon::Warning);
        }
    }
    emit exitRequested();
}

} // namespace qv
