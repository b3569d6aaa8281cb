#pragma once
// The program's windows as the main window makes them, and the process-wide setup they need (fonts,
// printers).

#include "app/mainwindow.h"

#include <memory>

namespace qv {

// Maps the layout's Windows fonts to the installed CJK fonts.
void prepareFonts();

// Owns what the windows share for the whole run (printer access, the settings readers) and gives the main
// window the factories of every child window.
class ProgramWindows {
public:
    explicit ProgramWindows(Services& services);
    ~ProgramWindows();
    WindowFactories factories();

private:
    struct Shared;
    Services& m_services;
    std::unique_ptr<Shared> m_shared;
};

} // namespace qv
