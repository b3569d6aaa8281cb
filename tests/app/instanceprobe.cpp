// Another start of the program on a data folder, for the tests of one program per folder: claims the folder
// and prints what it found ("first", "raised", "unreached", "unchecked"). With "hold" a first start keeps
// the folder until it is killed.

#include "maintenance/singleinstance.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    qv::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    switch (instance.claim()) {
    case qv::SingleInstance::Claim::First:
        std::printf("first\n");
        std::fflush(stdout);
        return argc > 2 && std::strcmp(argv[2], "hold") == 0 ? app.exec() : 0;
    case qv::SingleInstance::Claim::AlreadyRunning:
        std::printf(instance.reachedFirst() ? "raised\n" : "unreached\n");
        return 3;
    case qv::SingleInstance::Claim::Unchecked:
        break;
    }
    std::printf("unchecked\n");
    return 4;
}
