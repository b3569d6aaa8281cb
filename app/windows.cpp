#include "app/windows.h"
#include "print/fonts.h"
#include "print/qtprint.h"

namespace qv {

struct ProgramWindows::Shared {
    QtPrinterAccess printers;
};

void prepareFonts()
{
    installFontSubstitutions();
}

ProgramWindows::ProgramWindows(Services& services)
    : m_services(services)
    , m_shared(std::make_unique<Shared>())
{
    m_services.printers = &m_shared->printers;
}

ProgramWindows::~ProgramWindows() = default;

WindowFactories ProgramWindows::factories()
{
    WindowFactories f;
    return f;
}

} // namespace qv
