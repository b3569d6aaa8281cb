// Time to export a log of 30,000 records to an .xls file: the workbook built and written, median of 5 runs.

#include "bench/figures.h"
#include "reports/logexport.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main()
{
    const int count = 30000;
    std::vector<qv::LogRow> rows;
    rows.reserve(count);
    for (int n = 0; n < count; ++n) {
        rows.push_back(qv::LogRow { { QStringLiteral("养殖户%1").arg(n % 5000),
            QStringLiteral("20170417%1A7Q").arg(n, 6, 10, QChar(u'0')), QStringLiteral("犬"),
            QStringLiteral("公"), QStringLiteral("%1kg").arg(n % 40), QStringLiteral("%1岁").arg(n % 15),
            QStringLiteral("王兽医"), QDate(2017, 1, 1).addDays(n / 100).toString(Qt::ISODate),
            QString() } });
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.xls"));

    std::vector<double> built, total;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        const qv::Workbook book = qv::logWorkbook(rows);
        built.push_back(timer.nsecsElapsed() / 1e6);
        QString error;
        if (!qv::writeXls(book, path, &error)) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
            return 1;
        }
        total.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("xls export: workbook built in %.1f ms (median), file of %lld bytes\n",
        qv::bench::median(built), QFileInfo(path).size());
    qv::bench::printFigure(QStringLiteral(".xls export of %1 log records (workbook + file)").arg(count),
        QStringLiteral("< 2000 ms"), qv::bench::median(total), QStringLiteral("ms"));
    return 0;
}
