#include "app/windows.h"
#include "app/webpages.h"
#include "catalogs/form3.h"
#include "catalogs/form4.h"
#include "catalogs/form5.h"
#include "catalogs/form6.h"
#include "desk/form2.h"
#include "print/fonts.h"
#include "print/qtprint.h"
#include "reports/form12.h"
#include "reports/form7.h"
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

void prepareFonts() { installDesignFonts(); }

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
    Services& s = m_services;
    f.drugCatalog = [&s]() -> QWidget* { return new Form3(s); };
    f.desk = [&s]() -> QWidget* {
        auto* desk = new Form2(s);
        QObject::connect(
            desk, &Form2::helpPageRequested, desk, [&s] { openWebPage(WebPage::OperatingHelp, *s.urls); });
        QObject::connect(
            desk, &Form2::videoPageRequested, desk, [&s] { openWebPage(WebPage::VideoTutorials, *s.urls); });
        return desk;
    };
    f.log = [&s]() -> QWidget* { return new Form7(s); };
    f.statistics = [&s]() -> QWidget* { return new Form12(s); };
    f.templates = [&s]() -> QWidget* { return new Form4(s); };
    f.presetTemplates = [](QWidget* w, const QString& category, const QString& body) {
        if (auto* templates = qobject_cast<Form4*>(w))
            templates->presetFromDesk(category, body);
    };
    f.diagnoses = [&s]() -> QWidget* { return new Form5(s); };
    f.species = [&s]() -> QWidget* { return new Form6(s); };
    return f;
}

} // namespace qv
