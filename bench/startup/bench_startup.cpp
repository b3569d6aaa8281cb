// Start-up to a shown login window: first start (template written) and later starts (file present).

#include "app/loginwindow.h"
#include "bench/figures.h"
#include "maintenance/startup.h"
#include "platform/qtservices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

using namespace qv;

namespace {

class RootsIn final : public DriveRoots {
public:
    QString root;
    QString driveC() const override { return root; }
    QString driveD() const override { return {}; }
    bool hasVisibleEntries(const QString&) const override { return false; }
};

double startOnce(RootsIn& drives)
{
    QElapsedTimer t;
    t.start();
    AppContext context;
    Database db;
    BoxMessages messages;
    if (!startUp(drives, context, db).ok)
        return -1;
    LoginWindow login(context.heldPassword, messages);
    login.show();
    QApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv(
        "QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::vector<double> first, later;
    for (int i = 0; i < 9; ++i) {
        QTemporaryDir dir;
        RootsIn drives;
        drives.root = dir.path();
        first.push_back(startOnce(drives));
        later.push_back(startOnce(drives));
        if (first.back() < 0 || later.back() < 0) {
            std::fprintf(stderr, "start-up failed in %s\n", qPrintable(dir.path()));
            return 1;
        }
    }
    bench::printFigure(QStringLiteral("start-up to shown login, first start (template written)"),
        QStringLiteral("< 1000 ms"), bench::median(first), QStringLiteral("ms"));
    bench::printFigure(QStringLiteral("start-up to shown login, database present"),
        QStringLiteral("< 300 ms"), bench::median(later), QStringLiteral("ms"));
    return 0;
}
