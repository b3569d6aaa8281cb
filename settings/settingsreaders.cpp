#include "settings/settingsreaders.h"

#include "settings/form8.h"

#include <QLineEdit>

namespace qv {

SettingsWindow::SettingsWindow(Services& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
}

SettingsWindow::~SettingsWindow() { delete m_window.data(); }

Form8* SettingsWindow::window()
{
    // A window loaded hidden while the store did not answer is loaded again: the store may be back.
    if (m_window && !m_window->parentWidget() && !m_window->isVisible()
        && !m_window->unreadReason().isEmpty()) {
        delete m_window.data();
        m_window = nullptr;
    }
    if (!m_window) {
        auto* form = new Form8(m_services);
        // Let go at once on close: the deletion itself comes later, and a read in between must load afresh.
        connect(form, &Form8::unloaded, this, [this, form] {
            if (m_window == form)
                m_window = nullptr;
        });
        m_window = form;
    }
    return m_window;
}

QString SettingsWindow::boxText(QLineEdit* Form8::*box)
{
    Form8* form = window();
    // A window that read nothing from the store shows its design texts: they are no one's settings.
    return form->unreadReason().isEmpty() ? (form->*box)->text() : QString();
}

QString SettingsWindow::practiceName() { return boxText(&Form8::Text1); }

QString SettingsWindow::veterinarian() { return boxText(&Form8::Text2); }

QString SettingsWindow::practisingNumber() { return boxText(&Form8::Text3); }

QString SettingsWindow::dispenser() { return boxText(&Form8::Text6); }

QString SettingsWindow::leftMargin() { return boxText(&Form8::Text4); }

QString SettingsWindow::topMargin() { return boxText(&Form8::Text5); }

} // namespace qv
