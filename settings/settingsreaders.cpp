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

QString SettingsWindow::practiceName() { return window()->Text1->text(); }

QString SettingsWindow::veterinarian() { return window()->Text2->text(); }

QString SettingsWindow::practisingNumber() { return window()->Text3->text(); }

QString SettingsWindow::dispenser() { return window()->Text6->text(); }

QString SettingsWindow::leftMargin() { return window()->Text4->text(); }

QString SettingsWindow::topMargin() { return window()->Text5->text(); }

} // namespace qv
