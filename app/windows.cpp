#include "app/windows.h"
#include "print/fonts.h"
#include "print/qtprint.h"
#include "settings/form8.h"
#include "settings/settingsreaders.h"

namespace qv {

struct ProgramWindows::Shared {
    explicit Shared(Services& services)
        : settings(services)
    {
    }
    QtPrinterAccess printers;
    SettingsWindow settings;
};

void prepareFonts()
{
    installFontSubstitutions();
}

ProgramWindows::ProgramWindows(Services& services)
    : m_services(services)
    , m_shared(std::make_unique<Shared>(services))
{
    m_services.printers = &m_shared->printers;
    m_services.settings = &m_shared->settings;
}

ProgramWindows::~ProgramWindows() = default;

WindowFactories ProgramWindows::factories()
{
    WindowFactories f;
    // The settings window is the one the settings readers read, loaded hidden or not.
    f.settings = [this]() -> QWidget* { return m_shared->settings.window(); };
    return f;
}

} // namespace qv
