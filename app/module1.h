#pragma once
// Module1: the program's start-up procedure.

namespace qv {

// Starts the program: data folder, database, login, main window. Returns the process exit code.
int runModule1(int argc, char** argv);

} // namespace qv
