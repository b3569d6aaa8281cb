#include "settings/settingsreaders.h"

#include "settings/settingswindow.h"

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
        auto* form = new SettingsWindow(m_services);
        // Let go at once on close: the deletion itself comes later, and a read in between must load afresh.
        connect(form, &SettingsWindow::unloaded, this, [this, form] {
            if (m_window == form)
                m_window = nullptr;
        });
        m_window = form;
    }
    return m_window;
}

QString SettingsWindowHolder::boxText(QLineEdit* SettingsWindow::*box)
{
    SettingsWindow* form = window();
    // A window that read nothing from the store shows its design texts: they are no one's settings.
    return form->unreadReason().isEmpty() ? (form->*box)->text() : QString();
}

QString SettingsWindowHolder::practiceName() { return boxText(&SettingsWindow::Text1); }

QString SettingsWindowHolder::veterinarian() { return boxText(&SettingsWindow::Text2); }

QString SettingsWindowHolder::practisingNumber() { return boxText(&SettingsWindow::Text3); }

QString SettingsWindowHolder::dispenser() { return boxText(&SettingsWindow::Text6); }

QString SettingsWindowHolder::leftMargin() { return boxText(&SettingsWindow::Text4); }

QString SettingsWindowHolder::topMargin() { return boxText(&SettingsWindow::Text5); }

} // namespace qv
