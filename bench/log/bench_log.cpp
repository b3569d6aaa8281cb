// The outpatient log with 30,000 prescriptions: window query + grid fill, scrolling, export to .xls, the
// printed book as PDF, and the process's peak memory with the full log shown.
// Usage: bench_log [records]   (default 30000)

#include "print/fonts.h"
#include "print/qtprint.h"
#include "reports/form7.h"
#include "reports/logexport.h"
#include "reports/logprint.h"
#include "reports/logquery.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <cstdio>

using namespace qv;

namespace {

// Peak resident memory of this process so far, in MB (VmHWM).
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

// Rows shaped like the desk's: a 29-character key, Chinese names, dates spread over one month.
bool fillArchive(Database& db, int count)
{
    const Result r = db.transaction([&] {
        Result last { true };
        for (int i = 0; i < count && last; ++i) {
            const QDate day = QDate(2024, 5, 1).addDays(i % 31);
            const QString stamp
                = day.toString("yyyyMMdd") + QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
            last
                = db.run(QStringLiteral("insert into [档案] ([序号], [0], [1], [2], [3], [4], [5], [6], [7]) "
                                        "values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                    { stamp + "-BENCH-00000001", QStringLiteral("张家养殖场%1").arg(i % 500), stamp,
                        QStringLiteral("猪"), QStringLiteral("公"), QStringLiteral("%1头").arg(i % 90 + 1),
                        QStringLiteral("60天"), day.toString("yyyy-MM-dd"), QStringLiteral("王医生") });
        }
        return last;
    });
    return r.ok;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutions();
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 30000;

    test::TestEnv env;
    if (!fillArchive(env.db, count)) {
        std::fprintf(stderr, "could not fill the archive\n");
        return 1;
    }
    env.clock.set(QDateTime(QDate(2024, 5, 31), QTime(12, 0)));
    std::printf("log with %d prescriptions\n", count);

    QElapsedTimer t;
    t.start();
    Form7 window(env.services); // opens with 2024-04-30 … 2024-05-31 queried: every record
    const double openMs = t.nsecsElapsed() / 1e6;
    window.show();
    app.processEvents();
    std::printf(
        "  open window (query + grid fill): %8.1f ms, %zu records shown\n", openMs, window.records().size());

    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        t.restart();
        window.runQuery();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    std::printf("  query + grid fill (best of 5):   %8.1f ms\n", best);

    const DateRange all { QDate(2024, 4, 30), QDate(2024, 5, 31) };
    best = 1e9;
    for (int i = 0; i < 5; ++i) {
        t.restart();
        const LogQueryResult read = queryLog(env.db, all, kLogViewLimit);
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    std::printf("  of which the store query:        %8.1f ms\n", best);

    QScrollBar* bar = window.m_grid->VS1;
    const int steps = 2000;
    t.restart();
    for (int i = 1; i <= steps; ++i) {
        bar->setValue((i * 7919) % (bar->maximum() + 1));
        app.processEvents(); // repaint the rows as a user would see them
    }
    std::printf("  scroll (set value + repaint):    %8.3f ms per step over %d steps\n",
        t.nsecsElapsed() / 1e6 / steps, steps);
    std::printf("  peak memory with the log shown:  %8.1f MB\n", peakMegabytes());

    t.restart();
    const LogQueryResult result = queryLog(env.db, all);
    std::vector<LogRow> rows;
    rows.reserve(result.records.size());
    for (const LogRecord& r : result.records) {
        LogRow row;
        for (int i = 0; i < LogRecord::kFieldCount; ++i)
            row.texts[i] = r.field(i);
        rows.push_back(std::move(row));
    }
    QString error;
    const bool exported = writeXls(logWorkbook(rows), env.dir.filePath("bench.xls"), &error);
    std::printf("  export to .xls:                  %8.1f ms (%s, %lld bytes)\n", t.nsecsElapsed() / 1e6,
        exported ? "written" : qPrintable(error), QFileInfo(env.dir.filePath("bench.xls")).size());

    t.restart();
    QtPrinterAccess printers;
    auto surface = printers.pdfSurface(env.dir.filePath("bench.pdf"));
    const bool printed = printLogBook(*surface, queryLog(env.db, all).records, 15, 20);
    std::printf("  print the book to PDF:           %8.1f ms (%s, %d pages)\n", t.nsecsElapsed() / 1e6,
        printed ? "printed" : qPrintable(surface->errorText()),
        int((result.records.size() + kLogRecordsPerPage - 1) / kLogRecordsPerPage));
    return exported && printed ? 0 : 1;
}
