// The log's spreadsheet: layout, formats and size, read back with xlrd.

#include "reports/logexport.h"
#include "tests/reports/xlsreadback.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qv;
using qv::test::XlsReadBack;

namespace {

LogRow logRow(const QString& owner, const QString& key, const QString& date)
{
    return LogRow { { owner, key, QStringLiteral("犬"), QStringLiteral("公"), QStringLiteral("12"),
        QStringLiteral("3岁"), QStringLiteral("王兽医"), date, QStringLiteral("some remark") } };
}

const QStringList kHeadings = {
    QStringLiteral("动物主人/饲养单位"),
    QStringLiteral("档案号"),
    QStringLiteral("动物种类"),
    QStringLiteral("动物性别"),
    QStringLiteral("体重/数量"),
    QStringLiteral("年(日)龄"),
    QStringLiteral("执业兽医"),
    QStringLiteral("开具日期"),
    QStringLiteral("备注"),
};

} // namespace

class LogExportTest final : public QObject {
    Q_OBJECT

private slots:
    void threeRecordsFillRowsThreeToFive();
    void rowsCarryTheirFontsHeightsAndColumnWidths();
    void datesAreTextWithoutTheirTime();
    void thirtyThousandRecordsAllArriveInOrder();
    void suffixIsAddedOnlyWhenMissing();

private:
    QString exported(const std::vector<LogRow>& rows, const QString& name)
    {
        const QString path = m_dir.filePath(name);
        QString error;
        if (!writeXls(logWorkbook(rows), path, &error))
            qWarning() << error;
        return path;
    }

    QTemporaryDir m_dir;
};

void LogExportTest::threeRecordsFillRowsThreeToFive()
{
    const std::vector<LogRow> rows = {
        logRow(QStringLiteral("张三"), QStringLiteral("20170417102233A1"), QStringLiteral("2017-04-17")),
        logRow(
            QStringLiteral("李四养殖场"), QStringLiteral("20170418080000A1"), QStringLiteral("2017-04-18")),
        logRow(QStringLiteral("Smith"), QStringLiteral("20170419235959A1"), QStringLiteral("2017-04-19")),
    };
    const XlsReadBack read(exported(rows, QStringLiteral("three.xls")));
    QVERIFY2(read.ok(), qPrintable(read.error()));

    QCOMPARE(read.sheetName(0), QStringLiteral("Sheet1"));
    QCOMPARE(read.rowCount(), 5);
    QCOMPARE(read.text(0, 3), QStringLiteral("门诊日志登记本"));
    for (int column = 0; column < 9; ++column) {
        if (column != 3)
            QCOMPARE(read.kind(0, column), QString());
        QCOMPARE(read.text(1, column), kHeadings[column]);
    }
    for (int r = 0; r < 3; ++r) {
        const auto& texts = rows[r].texts;
        for (int column = 0; column < 8; ++column) {
            QCOMPARE(read.kind(r + 2, column), QStringLiteral("text"));
            QCOMPARE(read.text(r + 2, column), texts[column]);
        }
        QCOMPARE(read.kind(r + 2, 8), QString()); // remarks stay empty
    }
    QCOMPARE(read.cellCount(), 1 + 9 + 3 * 8);
}

void LogExportTest::rowsCarryTheirFontsHeightsAndColumnWidths()
{
    const XlsReadBack read(
        exported({ logRow(QStringLiteral("张三"), QStringLiteral("1"), QStringLiteral("2017-04-17")),
                     logRow(QStringLiteral("李四"), QStringLiteral("2"), QStringLiteral("2017-04-18")) },
            QStringLiteral("formats.xls")));
    QVERIFY2(read.ok(), qPrintable(read.error()));

    struct Expected {
        int row;
        double points;
        bool bold;
        int twips;
    };
    for (const Expected& e : { Expected { 0, 20, true, 600 }, Expected { 1, 10, true, 400 },
             Expected { 2, 10, false, 400 }, Expected { 3, 10, false, 400 } }) {
        const int column = e.row == 0 ? 3 : 0;
        QCOMPARE(read.font(e.row, column).points, e.points);
        QCOMPARE(read.font(e.row, column).bold, e.bold);
        QCOMPARE(read.rowFont(e.row).points, e.points);
        QCOMPARE(read.rowFont(e.row).bold, e.bold);
        QCOMPARE(read.rowTwips(e.row), e.twips);
    }
    QCOMPARE(read.font(1, 8).bold, true);
    QCOMPARE(read.font(3, 7).bold, false);

    const QList<int> widths = { 15, 15, -1, -1, 10, 10, -1, 10, -1 };
    for (int column = 0; column < widths.size(); ++column)
        QCOMPARE(read.columnWidth(column), widths[column] < 0 ? -1 : widths[column] * 256);
}

// The date column holds "yyyy-mm-dd" as text whatever time the stored value has, numbers typed into text
// fields stay text, and an empty value leaves its cell empty.
void LogExportTest::datesAreTextWithoutTheirTime()
{
    QCOMPARE(logDateText(QStringLiteral("2017-04-17 10:22:33")), QStringLiteral("2017-04-17"));
    QCOMPARE(logDateText(QStringLiteral("2017-04-17T10:22:33")), QStringLiteral("2017-04-17"));
    QCOMPARE(logDateText(QStringLiteral("2017-04-17")), QStringLiteral("2017-04-17"));

    LogRow row
        = logRow(QStringLiteral("张三"), QStringLiteral("20170417"), QStringLiteral("2017-04-17 10:22:33"));
    row.texts[6].clear();
    const XlsReadBack read(exported({ row }, QStringLiteral("dates.xls")));
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(read.kind(2, 7), QStringLiteral("text"));
    QCOMPARE(read.text(2, 7), QStringLiteral("2017-04-17"));
    QCOMPARE(read.kind(2, 1), QStringLiteral("text"));
    QCOMPARE(read.text(2, 1), QStringLiteral("20170417"));
    QCOMPARE(read.kind(2, 4), QStringLiteral("text"));
    QCOMPARE(read.text(2, 4), QStringLiteral("12"));
    QCOMPARE(read.kind(2, 6), QString());
}

void LogExportTest::thirtyThousandRecordsAllArriveInOrder()
{
    std::vector<LogRow> rows;
    rows.reserve(30000);
    for (int n = 0; n < 30000; ++n)
        rows.push_back(
            logRow(QStringLiteral("养殖户%1").arg(n), QStringLiteral("2017%1").arg(n, 10, 10, QChar(u'0')),
                QDate(2017, 1, 1).addDays(n / 100).toString(Qt::ISODate)));
    const XlsReadBack read(exported(rows, QStringLiteral("big.xls")));
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(read.rowCount(), 30002);
    for (int n = 0; n < 30000; ++n) {
        if (read.text(n + 2, 1) != rows[n].texts[1] || read.text(n + 2, 0) != rows[n].texts[0])
            QFAIL(qPrintable(QStringLiteral("record %1 differs").arg(n)));
    }
    QCOMPARE(read.text(30001, 7), rows.back().texts[7]);
    QCOMPARE(read.rowTwips(30001), 400);
}

void LogExportTest::suffixIsAddedOnlyWhenMissing()
{
    QCOMPARE(withXlsSuffix(QStringLiteral("/home/vet/日志")), QStringLiteral("/home/vet/日志.xls"));
    QCOMPARE(withXlsSuffix(QStringLiteral("/home/vet/日志.xls")), QStringLiteral("/home/vet/日志.xls"));
    QCOMPARE(withXlsSuffix(QStringLiteral("/home/vet/LOG.XLS")), QStringLiteral("/home/vet/LOG.XLS"));
    QCOMPARE(withXlsSuffix(QStringLiteral("/home/vet/log.xlsx")), QStringLiteral("/home/vet/log.xlsx.xls"));
}

QTEST_GUILESS_MAIN(LogExportTest)
#include "tst_logexport.moc"
