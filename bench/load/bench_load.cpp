// Ten desks on one practice's server: each saves its prescriptions (500 by default) on a connection of its
// own while three more desks keep querying their archive lists, and the server is stopped and started again
// once half way. A save the server refuses is counted and kept (as the desk keeps it on screen) and saved
// again a moment later. At the end every prescription must be stored exactly once: none lost, none doubled.
// Prints the save's median and 99th percentile outside the restart, and how many saves were refused.
// Usage: bench_load [saves per desk]   (default 500; runs on a throw-away server of its own)

#include "bench/benchserver.h"
#include "bench/figures.h"
#include "desk/archive.h"
#include "desk/prescriptionrecord.h"
#include "store/template/templatedb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace qv;

namespace {

constexpr int kDesks = 10;
constexpr int kReaders = 3;

struct Save {
    qint64 startedNs;
    double ms;
};

PrescriptionRecord prescription(int desk, int n)
{
    PrescriptionRecord r;
    r.fields[0] = QStringLiteral("主人%1-%2").arg(desk).arg(n);
    r.fields[2] = QStringLiteral("犬");
    r.fields[kDateField] = QStringLiteral("2026-12-08");
    r.fields[kVeterinarianField] = QStringLiteral("王医生");
    r.body = QStringLiteral("阿莫西林 0.25g×10\r\n甘草 10g\r\n");
    r.key = QStringLiteral("L%1-%2").arg(desk, 2, 10, QLatin1Char('0')).arg(n, 4, 10, QLatin1Char('0'));
    return r;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int perDesk = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 500;
    const bench::BenchServer server;
    if (!server.started())
        return 1;
    const QString connection = server.connection();
    {
        Database setup;
        QString error;
        Result prepared;
        if (setup.openServer(connection, &error))
            prepared = prepareServerFromTemplate(setup);
        if (!prepared) {
            std::fprintf(stderr, "server: %s %s\n", qPrintable(error), qPrintable(prepared.error));
            return 1;
        }
        setup.run(QStringLiteral("delete from \"档案\""));
    }

    QElapsedTimer clock;
    clock.start();
    std::atomic<int> stored { 0 }, refused { 0 }, listed { 0 }, listFailures { 0 };
    std::atomic<qint64> restartFrom { -1 }, restartTo { -1 };
    std::atomic<bool> savingDone { false };
    std::mutex timesLock;
    std::vector<Save> saves;
    QStringList firstRefusals;

    std::vector<std::thread> threads;
    for (int desk = 0; desk < kDesks; ++desk) {
        threads.emplace_back([&, desk] {
            Database db;
            QString error;
            if (!db.openServer(connection, &error)) {
                std::fprintf(stderr, "desk %d: %s\n", desk, qPrintable(error));
                return;
            }
            std::vector<Save> mine;
            for (int n = 0; n < perDesk; ++n) {
                const PrescriptionRecord record = prescription(desk, n);
                // Refused: the prescription stays on screen, and the user saves it again a moment later.
                for (;;) {
                    const qint64 started = clock.nsecsElapsed();
                    const Result r = saveRecord(db, record);
                    const double ms = (clock.nsecsElapsed() - started) / 1e6;
                    if (r) {
                        mine.push_back({ started, ms });
                        ++stored;
                        break;
                    }
                    if (refused++ < 3) {
                        std::lock_guard<std::mutex> hold(timesLock);
                        firstRefusals << notSavedMessage(r.error);
                    }
                    QThread::msleep(100);
                }
            }
            std::lock_guard<std::mutex> hold(timesLock);
            saves.insert(saves.end(), mine.begin(), mine.end());
        });
    }
    for (int reader = 0; reader < kReaders; ++reader) {
        threads.emplace_back([&] {
            Database db;
            QString error;
            if (!db.openServer(connection, &error))
                return;
            while (!savingDone) {
                const ArchiveResult r
                    = queryArchive(db, QString(), QStringLiteral("2026-11-08"), QStringLiteral("2026-12-08"));
                ++(r.ok ? listed : listFailures);
                if (!r.ok)
                    QThread::msleep(100);
            }
        });
    }
    // Half way, the server stops and starts again (a restart with every desk at work).
    while (stored < kDesks * perDesk / 2)
        QThread::msleep(5);
    restartFrom = clock.nsecsElapsed();
    const bool restarted = server.act(QStringLiteral("halt")) && server.act(QStringLiteral("resume"));
    restartTo = clock.nsecsElapsed();
    for (int desk = 0; desk < kDesks; ++desk)
        threads[size_t(desk)].join();
    savingDone = true;
    for (size_t i = kDesks; i < threads.size(); ++i)
        threads[i].join();
    const double seconds = clock.elapsed() / 1000.0;

    // Every prescription stored exactly once.
    int missing = -1, doubled = -1, rows = -1;
    {
        Database check;
        QString error;
        if (check.openServer(connection, &error)) {
            const Result counted = check.run(QStringLiteral("select count(*) as n, count(distinct \"序号\") "
                                                            "as k from \"档案\" where \"序号\" like 'L%'"));
            rows = counted.rows.value(0).text(QStringLiteral("n")).toInt();
            const int keys = counted.rows.value(0).text(QStringLiteral("k")).toInt();
            doubled = rows - keys;
            missing = kDesks * perDesk - keys;
        }
    }

    // Outside the restart: saves that began more than a tenth of a second before it (a save takes well under
    // that) or after it ended.
    std::vector<double> outside, all;
    const qint64 margin = 100000000;
    for (const Save& s : saves) {
        all.push_back(s.ms);
        if (s.startedNs < restartFrom - margin || s.startedNs > restartTo)
            outside.push_back(s.ms);
    }
    std::printf(
        "bench_load: %d desks × %d saves, %d desks querying their lists, server restarted%s in %.2f s; "
        "%.1f s in all\n",
        kDesks, perDesk, kReaders, restarted ? "" : " (FAILED)", (restartTo - restartFrom) / 1e9, seconds);
    std::printf(
        "bench_load: stored %d rows for %d prescriptions: %d missing, %d doubled; %d saves refused and "
        "saved again; %d list queries (%d refused)\n",
        rows, kDesks * perDesk, missing, doubled, int(refused), int(listed), int(listFailures));
    for (const QString& text : firstRefusals)
        std::printf("bench_load: refused with: %s\n", qPrintable(QString(text).replace(u'\n', u' ')));
    bench::printFigure(QStringLiteral("load: save, median outside the restart"), QString(),
        bench::median(outside), QStringLiteral("ms"));
    bench::printFigure(QStringLiteral("load: save, 99th percentile outside the restart"),
        QStringLiteral("< 100 ms"), percentile(outside, 0.99), QStringLiteral("ms"),
        QStringLiteral("%1 of %2 saves outside; with the restart: median %3 ms, 99th percentile %4 ms")
            .arg(outside.size())
            .arg(all.size())
            .arg(bench::number(bench::median(all)), bench::number(percentile(all, 0.99))));
    return missing == 0 && doubled == 0 && restarted ? 0 : 1;
}
