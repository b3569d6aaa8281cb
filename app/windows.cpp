#include "app/windows.h"
#include "app/webpages.h"
#include "catalogs/diagnoseswindow.h"
#include "catalogs/drugcatalogwindow.h"
#include "catalogs/specieswindow.h"
#include "catalogs/templateswindow.h"
#include "desk/prescriptiondesk.h"
#include "print/fonts.h"
#include "print/qtprint.h"
#include "reports/outpatientlogwindow.h"
#include "reports/statisticswindow.h"
#include "settings/settingsreaders.h"
#include "settings/settingswindow.h"

namespace qv {

struct ProgramWindows::Shared {
    explicit Shared(Services& services)
        : settings(services)
    {
    }
    QtPrinterAccess printers;
    SettingsWindowHolder settings;
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
    f.drugCatalog = [&s]() -> QWidget* { return new DrugCatalogWindow(s); };
    f.desk = [&s]() -> QWidget* {
        auto* desk = new PrescriptionDesk(s);
        QObject::connect(desk, &PrescriptionDesk::helpPageRequested, desk,
            [&s] { openWebPage(WebPage::OperatingHelp, *s.urls); });
        QObject::connect(desk, &PrescriptionDesk::videoPageRequested, desk,
            [&s] { openWebPage(WebPage::VideoTutorials, *s.urls); });
        return desk;
    };
    f.log = [&s]() -> QWidget* { return new OutpatientLogWindow(s); };
    f.statistics = [&s]() -> QWidget* { return new StatisticsWindow(s); };
    f.templates = [&s]() -> QWidget* { return new TemplatesWindow(s); };
    f.presetTemplates = [](QWidget* w, const QString& category, const QString& body) {
        if (auto* templates = qobject_cast<TemplatesWindow*>(w))
            templates->presetFromDesk(category, body);
    };
    f.diagnoses = [&s]() -> QWidget* { return new DiagnosesWindow(s); };
    f.species = [&s]() -> QWidget* { return new SpeciesWindow(s); };
    return f;
}

} // namespace qv
