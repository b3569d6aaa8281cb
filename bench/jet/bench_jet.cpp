// Reading the Windows program's database: every row of every table of a Jet file through the program's
// reader (libmdb, values converted to the store's forms), beside mdbtools' own mdb-export of 档案 to
// /dev/null, the bare read the import is measured against, timed in the same run. Then the whole import
// (the check in a child, the read, the store's writes, the count and checksum of both sides, the commit)
// into a new file and into an empty database of a throw-away PostgreSQL server, each in a process of its
// own so that its peak memory is its own.
// Usage: bench_jet [FILE]   (or QUORVELA_JET_BENCH_FILE=FILE; a .xz file is unpacked into a temporary folder
// first). Without one it reads the tests' sample of 2,000 prescriptions and says so: the figures that count
// come from ten years, ../shared/jet/ten-years-400000.dat.xz.

#include "bench/benchserver.h"
#include "bench/figures.h"
#include "maintenance/importcommand.h"
#include "store/jet/jetcheck.h"
#include "store/jet/jetfile.h"
#include "store/server/serverschema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace qv;

namespace {

constexpr int kRuns = 3;

// Every row of every table read and dropped; the rows, or -1 on a failure.
qint64 readEverything(const QString& path)
{
    JetFile file;
    QString error;
    if (!file.open(path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return -1;
    }
    qint64 rows = 0;
    for (const JetTable& table : file.tables()) {
        const bool read = file.forEachRow(
            table.name,
            [&](const QVariantList& values) {
                rows += !values.isEmpty();
                return true;
            },
            &error);
        if (!read) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return -1;
        }
    }
    return rows;
}

// The child: one import, then "IMPORT <seconds> <peak MB>" on stdout; the reason on stderr.
int importChild(const QString& path, const QString& connection)
{
    ImportReport report;
    QElapsedTimer clock;
    clock.start();
    Result r;
    QTemporaryDir folder;
    if (connection.isEmpty()) {
        r = importIntoNewFile(path, folder.filePath(QStringLiteral("数据库.dat")), &report);
    } else {
        Database db;
        if (!db.openServer(connection, &r.error)) {
            std::fprintf(stderr, "%s\n", qPrintable(r.error));
            return 1;
        }
        r = prepareServerDatabase(db, [](Database&) { return Result { true }; });
        if (r)
            r = importJetFile(path, db, &report);
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!r) {
        std::fprintf(stderr, "%s\n%s\n", qPrintable(report.text()), qPrintable(r.error));
        return 1;
    }
    std::printf("IMPORT %f %f\n", seconds, bench::peakMegabytes());
    return 0;
}

struct ImportFigures {
    double seconds = -1, peak = -1;
};

ImportFigures importApart(const QString& path, const QString& connection)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
        connection.isEmpty() ? QStringList { QStringLiteral("--import-child"), path }
                             : QStringList { QStringLiteral("--import-child"), path, connection });
    if (!child.waitForFinished(900000) || child.exitCode() != 0)
        return {};
    const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
    if (words.size() != 3 || words[0] != "IMPORT")
        return {};
    return { words[1].toDouble(), words[2].toDouble() };
}

void printImport(
    const QString& where, const QString& size, const QString& target, const ImportFigures& f, double exported)
{
    bench::printFigure(QStringLiteral("import into %1 (%2)").arg(where, size), target, f.seconds,
        QStringLiteral("s"),
        QStringLiteral("%1× mdb-export of 档案 alone (%2 s)")
            .arg(bench::number(f.seconds / exported), bench::number(exported)));
    bench::printFigure(QStringLiteral("import into %1: time against mdb-export of 档案").arg(where),
        QStringLiteral("< 4 ×"), f.seconds / exported, QStringLiteral("×"));
    bench::printFigure(QStringLiteral("import into %1: peak memory of the importing process").arg(where),
        QStringLiteral("< 300 MB"), f.peak, QStringLiteral("MB"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "--import-child") == 0)
        return importChild(
            QString::fromLocal8Bit(argv[2]), argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    QString path
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("QUORVELA_JET_BENCH_FILE");
    if (path.isEmpty()) {
        std::fprintf(stderr,
            "no Jet file given (bench_jet FILE or QUORVELA_JET_BENCH_FILE): reading the tests' sample of "
            "2,000 prescriptions instead\n");
        path = QStringLiteral(QV_JET_SAMPLE);
    }
    QTemporaryDir unpacked;
    if (path.endsWith(QStringLiteral(".xz")) && !QFileInfo(path).isFile()) {
        std::fprintf(stderr, "skipped: no such file: %s\n", qPrintable(path));
        return 0;
    }
    if (path.endsWith(QStringLiteral(".xz"))) {
        const QString target = unpacked.filePath(QStringLiteral("数据库.dat"));
        QProcess xz;
        xz.setStandardOutputFile(target);
        xz.start(QStringLiteral("xz"), { QStringLiteral("-dc"), path });
        if (!xz.waitForFinished(600000) || xz.exitCode() != 0) {
            std::fprintf(stderr, "xz could not unpack %s\n", qPrintable(path));
            return 1;
        }
        path = target;
    }
    if (!QFileInfo(path).isFile()) {
        std::fprintf(stderr, "skipped: no such file: %s\n", qPrintable(path));
        return 0;
    }
    JetFile file;
    QString error;
    if (!file.open(path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const qint64 prescriptions
        = file.table(QStringLiteral("档案")) ? file.table(QStringLiteral("档案"))->rows : 0;
    file.close();
    const QString size = QStringLiteral("%1 prescriptions, %2 MB")
                             .arg(prescriptions)
                             .arg(bench::number(QFileInfo(path).size() / 1048576.0));

    std::vector<double> ours, theirs, apart;
    qint64 rows = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        rows = readEverything(path);
        if (rows < 0)
            return 1;
        ours.push_back(double(clock.nsecsElapsed()) / 1e9);

        clock.restart();
        QString why;
        if (!checkJetFileApart(path, jetCheckTimeoutMs(QFileInfo(path).size()), &why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
        apart.push_back(double(clock.nsecsElapsed()) / 1e9);

        clock.restart();
        QProcess exporter;
        exporter.setStandardOutputFile(QProcess::nullDevice());
        exporter.start(QStringLiteral("mdb-export"), { path, QStringLiteral("档案") });
        if (!exporter.waitForFinished(600000) || exporter.exitCode() != 0) {
            std::fprintf(stderr, "mdb-export failed (./setup.sh --test installs mdbtools)\n");
            return 1;
        }
        theirs.push_back(double(clock.nsecsElapsed()) / 1e9);
    }
    const double read = bench::median(ours), exported = bench::median(theirs);
    std::printf("%lld rows in %s\n", rows, qPrintable(size));
    // The whole import has 30 s for ten years and 4× mdb-export's bare read: the reading takes a small part.
    bench::printFigure(QStringLiteral("every table read and converted (%1)").arg(size),
        QStringLiteral("< 7.5 s"), read, QStringLiteral("s"),
        QStringLiteral("%1× mdb-export of 档案 alone (%2 s)")
            .arg(bench::number(read / exported), bench::number(exported)));
    bench::printFigure(
        QStringLiteral("the same read in a child process, as a damaged file is checked (%1)").arg(size), {},
        bench::median(apart), QStringLiteral("s"));
    bench::printFigure(
        QStringLiteral("mdb-export of 档案 to /dev/null (%1)").arg(size), {}, exported, QStringLiteral("s"));
    bench::printFigure(QStringLiteral("peak memory of the reading process (%1)").arg(size),
        QStringLiteral("< 300 MB"), bench::peakMegabytes(), QStringLiteral("MB"));

    const ImportFigures intoFile = importApart(path, {});
    if (intoFile.seconds < 0) {
        std::fprintf(stderr, "the import into a new file failed\n");
        return 1;
    }
    printImport(QStringLiteral("a new file"), size, QStringLiteral("< 30 s"), intoFile, exported);
    bench::BenchServer server;
    if (!server.started())
        return 1;
    const ImportFigures intoServer = importApart(path, server.connection());
    if (intoServer.seconds < 0) {
        std::fprintf(stderr, "the import into the server failed\n");
        return 1;
    }
    printImport(QStringLiteral("the server"), size, QStringLiteral("< 45 s"), intoServer, exported);
    return 0;
}
