#include "app/module1.h"

int main(int argc, char** argv) { return qv::runModule1(argc, argv); }
