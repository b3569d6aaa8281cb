#include "app/windows.h"

namespace qv {

struct ProgramWindows::Shared {
};

void prepareFonts()
{
}

ProgramWindows::ProgramWindows(Services& services)
    : m_services(services)
    , m_shared(std::make_unique<Shared>())
{
}

ProgramWindows::~ProgramWindows() = default;

WindowFactories ProgramWindows::factories()
{
    WindowFactories f;
    return f;
}

} // namespace qv
