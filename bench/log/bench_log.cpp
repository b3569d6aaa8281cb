// The outpatient log with 30,000 prescriptions: window query + grid fill, scrolling, export to .xls, the
// printed book as PDF, and the process's peak memory with the full log shown.
// Usage: bench_log [records]   (default 30000)

#include "bench/figures.h"
#include "print/fonts.h"
#include "print/qtprint.h"
#include "reports/logexport.h"
#include "reports/logprint.h"
#include "reports/logquery.h"
#include "reports/outpatientlogwindow.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <cstdio>

using namespace qv;

namespace {

// Rows shaped like the desk's: a 29-character key, Chinese names, dates spread over one month.
bool fillArchive(Database& db, int count)
{
    const Result r = db.transaction([&] {
        Result last { true };
        for (int i = 0; i < count && last; ++i) {
            const QDate day = QDate(2024, 5, 1).addDays(i % 31);
            const QString stamp
                = day.toString("yyyyMMdd") + QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
            last = db.run(
                QStringLiteral(
                    "insert into \"档案\" (\"序号\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\") "
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
    OutpatientLogWindow window(env.services); // opens with 2024-04-30 … 2024-05-31 queried: every record
    const double openMs = t.nsecsElapsed() / 1e6;
    window.show();
    app.processEvents();
    std::printf(
        "open window (query + grid fill): %.1f ms, %zu records shown\n", openMs, window.records().size());

    std::vector<double> shown;
    for (int i = 0; i < 7; ++i) {
        t.restart();
        window.runQuery();
        shown.push_back(t.nsecsElapsed() / 1e6);
    }
    bench::printFigure(QStringLiteral("log query + grid fill, %1 records").arg(window.records().size()),
        QStringLiteral("< 300 ms"), bench::median(shown), QStringLiteral("ms"));

    const DateRange all { QDate(2024, 4, 30), QDate(2024, 5, 31) };
    std::vector<double> queried;
    for (int i = 0; i < 7; ++i) {
        t.restart();
        const LogQueryResult read = queryLog(env.db, all, kLogViewLimit);
        queried.push_back(t.nsecsElapsed() / 1e6);
    }
    bench::printFigure(
        QStringLiteral("log query alone (store)"), QString(), bench::median(queried), QStringLiteral("ms"));

    QScrollBar* bar = window.grid->scrollBar;
    const int steps = 2000;
    t.restart();
    for (int i = 1; i <= steps; ++i) {
        bar->setValue((i * 7919) % (bar->maximum() + 1));
        app.processEvents(); // repaint the rows as a user would see them
    }
    bench::printFigure(QStringLiteral("log scroll step (set value + repaint), mean of %1").arg(steps),
        QString(), t.nsecsElapsed() / 1e6 / steps, QStringLiteral("ms"));
    bench::printFigure(QStringLiteral("peak memory with the log of %1 shown").arg(count),
        QStringLiteral("< 150 MB"), bench::peakMegabytes(), QStringLiteral("MB"));

    // Export as the window does it: the whole range read, then written as a workbook.
    const QString xlsPath = env.dir.filePath("bench.xls");
    std::vector<double> exports;
    bool exported = true;
    QString error;
    for (int i = 0; i < 3 && exported; ++i) {
        t.restart();
        const LogQueryResult result = queryLog(env.db, all);
        std::vector<LogRow> rows;
        rows.reserve(result.records.size());
        for (const LogRecord& r : result.records) {
            LogRow row;
            for (int field = 0; field < LogRecord::kFieldCount; ++field)
                row.texts[field] = r.field(field);
            rows.push_back(std::move(row));
        }
        exported = writeXls(logWorkbook(rows), xlsPath, &error);
        exports.push_back(t.nsecsElapsed() / 1e6);
    }
    if (!exported) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("export: %lld bytes\n", QFileInfo(xlsPath).size());
    bench::printFigure(QStringLiteral("log export to .xls, %1 records").arg(count),
        QStringLiteral("< 2000 ms"), bench::median(exports), QStringLiteral("ms"));

    // The printed book takes seconds: one run.
    t.restart();
    QtPrinterAccess printers;
    auto surface = printers.pdfSurface(env.dir.filePath("bench.pdf"));
    const LogQueryResult printedRecords = queryLog(env.db, all);
    const bool printed = printLogBook(*surface, printedRecords.records, 15, 20);
    const double printMs = t.nsecsElapsed() / 1e6;
    if (!printed) {
        std::fprintf(stderr, "print failed: %s\n", qPrintable(surface->errorText()));
        return 1;
    }
    std::printf("print: %d pages\n",
        int((printedRecords.records.size() + kLogRecordsPerPage - 1) / kLogRecordsPerPage));
    bench::printFigure(QStringLiteral("log book of %1 records printed to PDF (one run)").arg(count),
        QStringLiteral("< 20000 ms"), printMs, QStringLiteral("ms"));
    return 0;
}
