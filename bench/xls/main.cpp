// Time to export a log of 30,000 records to an .xls file.

#include "reports/logexport.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main()
{
    std::vector<qv::LogRow> rows;
    rows.reserve(30000);
    for (int n = 0; n < 30000; ++n) {
        rows.push_back(qv::LogRow { { QStringLiteral("养殖户%1").arg(n % 5000),
            QStringLiteral("20170417%1A7Q").arg(n, 6, 10, QChar(u'0')), QStringLiteral("犬"),
            QStringLiteral("公"), QStringLiteral("%1kg").arg(n % 40), QStringLiteral("%1岁").arg(n % 15),
            QStringLiteral("王兽医"), QDate(2017, 1, 1).addDays(n / 100).toString(Qt::ISODate),
            QString() } });
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.xls"));

    QElapsedTimer timer;
    timer.start();
    const qv::Workbook book = qv::logWorkbook(rows);
    const qint64 buildMs = timer.elapsed();
    QString error;
    const bool ok = qv::writeXls(book, path, &error);
    const qint64 totalMs = timer.elapsed();
    if (!ok) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("xls export of 30000 log records: %lld ms (workbook %lld ms, writing %lld ms), %lld bytes\n",
        totalMs, buildMs, totalMs - buildMs, QFileInfo(path).size());
    return 0;
}
