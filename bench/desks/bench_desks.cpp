// The way of a catalog change from one desk to another: a drug saved at one desk (its commit) until the other
// desk's catalog index holds it. On the file, the other desk is a second program on the same file, and the
// change arrives at its next search (a keystroke in the picker). On the practice's server (a throw-away
// PostgreSQL of the benchmark's own, tests/support/pgserver.sh), the other desk is woken by the server's
// notification, with no search at all; its next search is measured as well. Prints the median and the 99th
// percentile of each.

#include "bench/benchserver.h"
#include "bench/figures.h"
#include "catalogs/catalogindex.h"
#include "catalogs/drugcatalog.h"
#include "store/database.h"
#include "store/template/templatedb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

using namespace qv;

namespace {

constexpr int kRounds = 200;

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

// One drug saved at `here`: a new key each round, as the catalog window makes them.
bool saveOne(Database& here, int round)
{
    DrugEntry drug { QStringLiteral("2027%1").arg(round, 10, 10, QLatin1Char('0')),
        QStringLiteral("基准药%1").arg(round), {}, QStringLiteral("jzy"), QStringLiteral("西药"), true, {} };
    return saveDrug(here, drug, QStringLiteral("西药")).outcome == SaveOutcome::Inserted;
}

bool holds(CatalogIndex& index, int round)
{
    CatalogSearch search;
    search.typed = QStringLiteral("基准药%1").arg(round);
    search.category = QStringLiteral("西药");
    search.limit = 1;
    const CatalogHits hits = index.search(search);
    return hits.ok && !hits.rows.empty() && hits.rows.front().name() == search.typed;
}

void report(const QString& what, const std::vector<double>& ms)
{
    bench::printFigure(what + QStringLiteral(", median"), QStringLiteral("< 200 ms"), bench::median(ms),
        QStringLiteral("ms"));
    bench::printFigure(
        what + QStringLiteral(", 99th percentile"), QString(), percentile(ms, 0.99), QStringLiteral("ms"));
}

// From the commit at `here` to the next search at the other desk finding the drug.
bool measureNextSearch(Database& here, CatalogIndex& there, const QString& what, int firstRound)
{
    std::vector<double> ms;
    for (int round = firstRound; round < firstRound + kRounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        if (!saveOne(here, round) || !holds(there, round))
            return false;
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    report(what, ms);
    return true;
}

// From the commit at `here` to the other desk's index having taken the drug in, woken by the server.
bool measureWake(Database& here, CatalogIndex& there, const QString& what, int firstRound)
{
    std::vector<double> ms;
    bool changed = false;
    there.setChangedCallback([&] { changed = true; });
    there.watch();
    for (int round = firstRound; round < firstRound + kRounds; ++round) {
        changed = false;
        QElapsedTimer clock;
        clock.start();
        if (!saveOne(here, round))
            return false;
        while (!changed && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!changed)
            return false;
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        const int refreshed = there.rowsRefreshed();
        if (!holds(there, round) || there.rowsRefreshed() != refreshed)
            return false; // the search found it applied already
    }
    there.setChangedCallback({});
    report(what, ms);
    return true;
}

bool onFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("数据库.dat"));
    QString error;
    Database here;
    Database other;
    if (!writeTemplateDatabase(path, &error) || !here.open(path, &error) || !other.open(path, &error)) {
        std::fprintf(stderr, "file: %s\n", qPrintable(error));
        return false;
    }
    CatalogIndex there(other);
    if (!there.load(&error))
        return false;
    return measureNextSearch(
        here, there, QStringLiteral("file: commit to the other program's next search"), 0);
}

bool onServer()
{
    const bench::BenchServer server;
    if (!server.started())
        return false;
    const QString connection = server.connection();
    bool ok = false;
    {
        QString error;
        Database here;
        Database other;
        if (here.openServer(connection, &error) && prepareServerFromTemplate(here)
            && other.openServer(connection, &error)) {
            CatalogIndex there(other);
            ok = there.load(&error)
                && measureNextSearch(
                    here, there, QStringLiteral("server: commit to the other desk's next search"), 0)
                && measureWake(
                    here, there, QStringLiteral("server: commit to the other desk's index, woken"), kRounds);
        }
        if (!ok)
            std::fprintf(
                stderr, "server: %s\n", qPrintable(error.isEmpty() ? QStringLiteral("failed") : error));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool file = onFile();
    const bool server = onServer();
    return file && server ? 0 : 1;
}
