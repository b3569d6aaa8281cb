// A program backing up into the day folder another program backs up into at the same moment (see
// tst_backups): opens its own database and backs it up there again and again, saying on stderr what failed.
// Usage: backup_racer DATABASE DRIVE_ROOT ROUNDS

#include "maintenance/startup.h"
#include "store/database.h"

#include <QCoreApplication>
#include <QDate>

#include <cstdio>

namespace {

class OneDrive final : public qv::DriveRoots {
public:
    QString driveC() const override { return root; }
    QString driveD() const override { return {}; }
    bool hasVisibleEntries(const QString&) const override { return false; }
    QString root;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    qv::Database db;
    QString error;
    if (!db.open(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "open: %s\n", qPrintable(error));
        return 1;
    }
    OneDrive drives;
    drives.root = QString::fromLocal8Bit(argv[2]);
    const int rounds = QByteArray(argv[3]).toInt();
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString failed = qv::backUpDatabase(drives, QDate(2026, 12, 8), db);
        if (!failed.isEmpty()) {
            std::fprintf(stderr, "round %d: %s\n", round, qPrintable(failed));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
