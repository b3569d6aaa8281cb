#include "app/form1.h"
#include "app/appicon.h"
#include "app/form10.h"
#include "app/startup.h"
#include "app/webpages.h"
#include "platform/units.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

namespace qv {

namespace {
    const double kMinWidthTwips = 15390;
    const double kMinHeightTwips = 10290;
}

Form1::Form1(Services& services, WindowFactories factories, QWidget* parent)
    : QMainWindow(parent)
    , m_services(services)
    , m_factories(std::move(factories))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvela V2.0"));
    setWindowIcon(appIcon());
    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    m_area->setBackground(QColor(144, 163, 178));
    setCentralWidget(m_area);
    setMinimumSize(twipsSize(kMinWidthTwips, kMinHeightTwips));
    buildMenu();
    setWindowState(windowState() | Qt::WindowMaximized);
}

QAction* Form1::addEntry(QMenu* menu, const QString& text, bool enabled, const std::function<void()>& action)
{
    QAction* a = menu ? menu->addAction(text) : menuBar()->addAction(text);
    a->setObjectName(text);
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, action);
    return a;
}

void Form1::buildMenu()
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
    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(H)"));
    addEntry(help, QStringLiteral("操作帮助"), true,
        [this] { openWebPage(WebPage::OperatingHelp, *m_services.urls); });
    addEntry(help, QStringLiteral("视频教程"), true,
        [this] { openWebPage(WebPage::VideoTutorials, *m_services.urls); });
    addEntry(help, QStringLiteral("访问作者主页"), true,
        [this] { openWebPage(WebPage::HomePage, *m_services.urls); });
    addEntry(help, QStringLiteral("版本信息"), true, [this] { openAbout(); });
}

QAction* Form1::menuAction(const QString& text) const { return findChild<QAction*>(text); }

QWidget* Form1::childWindow(const QString& kind) const { return m_children.value(kind); }

QWidget* Form1::open(const QString& kind, const std::function<QWidget*()>& factory)
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
    if (QWidget* sub = window->parentWidget()) {
        sub->show();
        sub->raise();
    }
    window->show();
    window->activateWindow();
    return window;
}

void Form1::openSettings() { open(QStringLiteral("settings"), m_factories.settings); }
void Form1::openDrugCatalog() { open(QStringLiteral("drugs"), m_factories.drugCatalog); }
void Form1::openSpecies() { open(QStringLiteral("species"), m_factories.species); }
void Form1::openDiagnoses() { open(QStringLiteral("diagnoses"), m_factories.diagnoses); }
void Form1::openStatistics() { open(QStringLiteral("statistics"), m_factories.statistics); }
void Form1::openLog() { open(QStringLiteral("log"), m_factories.log); }

void Form1::openDesk() { open(QStringLiteral("desk"), m_factories.desk); }

void Form1::openTemplates(const QString& category, const QString& body, bool preset)
{
    QWidget* window = open(QStringLiteral("templates"), m_factories.templates);
    if (window && preset && m_factories.presetTemplates)
        m_factories.presetTemplates(window, category, body);
}

void Form1::openAbout()
{
    auto factory = [this]() -> QWidget* { return new Form10(*m_services.urls); };
    open(QStringLiteral("about"), factory);
}

void Form1::placeDesk()
{
    QWidget* desk = m_children.value(QStringLiteral("desk"));
    if (!desk) {
        desk = open(QStringLiteral("desk"), m_factories.desk);
        if (!desk)
            return;
    }
    if (QWidget* sub = desk->parentWidget())
        sub->move(childWindowPosition(size(), sub->size()));
}

void Form1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    placeDesk();
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // The minimum size holds the frame at 15390 x 10290 twips; the desk is centred again on every resize.
    if (isVisible())
        placeDesk();
}

void Form1::closeEvent(QCloseEvent* event)
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

void Form1::exitWithBackup()
{
    if (m_exiting)
        return;
    m_exiting = true;
    if (QWidget* desk = m_children.value(QStringLiteral("desk")))
        desk->hide();
    hide();
    if (m_services.db && m_services.drives && m_services.clock) {
        const QString error
            = backUpDatabase(*m_services.drives, m_services.clock->now().date(), *m_services.db);
        if (!error.isEmpty())
            qWarning("backup failed: %s", qPrintable(error));
    }
    emit exitRequested();
}

} // namespace qv
