// A program backing up its own database into the day folder another program backs up into at the same
// moment (see tst_backups), again and again; says on stderr what failed.
// Usage: backup_racer DATABASE DRIVE_ROOT ROUNDS

#include "maintenance/startup.h"
#include "tests/support/fakes.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qv::Database db;
    QString error;
    if (argc != 4 || !db.open(QString::fromLocal8Bit(argv[1]), &error))
        return 2;
    qv::test::FolderDrives drives;
    drives.c = QString::fromLocal8Bit(argv[2]);
    int failures = 0;
    for (int round = 0; round < QByteArray(argv[3]).toInt(); ++round) {
        error = qv::backUpDatabase(drives, QDate(2026, 12, 8), db);
        if (!error.isEmpty() && ++failures)
            std::fprintf(stderr, "round %d: %s\n", round, qPrintable(error));
    }
    return failures == 0 ? 0 : 1;
}
