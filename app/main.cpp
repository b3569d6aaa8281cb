#include "app/runprogram.h"

int main(int argc, char** argv) { return qv::runProgram(argc, argv); }
