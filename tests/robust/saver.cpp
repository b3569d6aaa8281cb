// A stream of prescription saves through the program's own save code, for the test that kills it part way.
// Usage: robust_saver <database> <run>. Saves forever; after each save the store reported done it prints
// "saved <key> <version>" and flushes, so whatever the test has read was reported done before the kill.
// Every third save changes an earlier prescription of the run instead of adding one.

#include "desk/prescriptionrecord.h"
#include "tests/robust/savestream.h"

#include <QCoreApplication>
#include <cstdio>

using namespace qv;
using namespace qv::test;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: robust_saver <database> <run>\n");
        return 2;
    }
    Database db;
    QString error;
    if (!db.open(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "open: %s\n", qPrintable(error));
        return 1;
    }
    const int run = QByteArray(argv[2]).toInt();
    for (int i = 0;; ++i) {
        const SaveStep step = saveStep(run, i);
        const Result saved = saveRecord(db, streamRecord(step));
        if (saved)
            std::printf("saved %s %d\n", qPrintable(step.key), step.version);
        else
            std::printf("failed %s %s\n", qPrintable(step.key), qPrintable(saved.error));
        std::fflush(stdout);
    }
}
