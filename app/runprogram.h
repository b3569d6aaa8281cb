#pragma once
// The program's start-up procedure.

namespace qv {

// Starts the program: data folder, database, login, main window. Returns the process exit code.
int runProgram(int argc, char** argv);

} // namespace qv
