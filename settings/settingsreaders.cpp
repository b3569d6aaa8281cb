#include "settings/settingsreaders.h"

#include "settings/settingswindow.h"
#include "store/database.h"

#include <QLineEdit>

namespace qv {

SettingsWindowHolder::SettingsWindowHolder(Services& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
}

SettingsWindowHolder::~SettingsWindowHolder() { delete m_window.data(); }

SettingsWindow* SettingsWindowHolder::window()
{
    // A window loaded hidden while the store did not answer is loaded again: the store may be back.
    if (m_window && !m_window->parentWidget() && !m_window->isVisible()
        && !m_window->unreadReason().isEmpty()) {
        delete m_window.data();
        m_window = nullptr;
    }
    if (!m_window) {
        auto* created = new SettingsWindow(m_services);
        // Let go at once on close: the deletion itself comes later, and a read in between must load afresh.
        connect(created, &SettingsWindow::unloaded, this, [this, created] {
            if (m_window == created)
                m_window = nullptr;
        });
        m_window = created;
    }
    return m_window;
}

QString SettingsWindowHolder::boxText(QLineEdit* SettingsWindow::*box)
{
    SettingsWindow* settingsWindow = window();
    // A window that read nothing from the store shows its design texts: they are no one's settings.
    return settingsWindow->unreadReason().isEmpty() ? (settingsWindow->*box)->text() : QString();
}

void SettingsWindowHolder::reread()
{
    // A window loaded only for the readers holds nothing typed. Only the practice's server has other desks.
    if (m_window && !m_window->parentWidget() && !m_window->isVisible() && m_services.db
        && m_services.db->kind() == StoreKind::Server)
        m_window->rereadSharedValues();
}

QString SettingsWindowHolder::practiceName() { return boxText(&SettingsWindow::practiceName); }

QString SettingsWindowHolder::veterinarian() { return boxText(&SettingsWindow::veterinarian); }

QString SettingsWindowHolder::practisingNumber() { return boxText(&SettingsWindow::practisingNumber); }

QString SettingsWindowHolder::dispenser() { return boxText(&SettingsWindow::dispenser); }

QString SettingsWindowHolder::leftMargin() { return boxText(&SettingsWindow::leftMargin); }

QString SettingsWindowHolder::topMargin() { return boxText(&SettingsWindow::topMargin); }

// A window that read nothing from the store knows no choice: the system's default printer then.
QString SettingsWindowHolder::defaultPrinter()
{
    SettingsWindow* settingsWindow = window();
    return settingsWindow->unreadReason().isEmpty() ? settingsWindow->defaultPrinterChoice() : QString();
}

QString SettingsWindowHolder::prescriptionPrinter()
{
    SettingsWindow* settingsWindow = window();
    return settingsWindow->unreadReason().isEmpty() ? settingsWindow->prescriptionPrinterChoice() : QString();
}

} // namespace qv
