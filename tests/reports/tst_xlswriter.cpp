// The .xls writer, checked by reading its files back with xlrd.

#include "reports/xlswriter.h"
#include "tests/reports/xlsreadback.h"
#include "tests/support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace qv;
using namespace qv::test;
using qv::test::XlsReadBack;

namespace {

// A workbook far bigger than a few kilobytes once written.
Workbook bigWorkbook()
{
    Workbook book;
    Worksheet& sheet = book.addSheet();
    for (int r = 0; r < 5000; ++r)
        sheet.setText(r, 0, QStringLiteral("动物主人%1").arg(r));
    return book;
}

} // namespace

class XlsWriterTest final : public QObject {
    Q_OBJECT

private slots:
    void textsAndNumbersReadBackAsWritten();
    void textsLongerThanOneRecordReadBackWhole();
    void fontsRowHeightsAndColumnWidthsReadBack();
    void everySheetKeepsItsNameAndCells();
    void workbookTheFormatCannotHoldIsRefusedBeforeWriting();
    void missingFolderIsReported();
    void readOnlyFolderIsReported();
    void failedWriteKeepsTheExistingFile();

private:
    QTemporaryDir m_dir;
};

void XlsWriterTest::textsAndNumbersReadBackAsWritten()
{
    Workbook book;
    Worksheet& sheet = book.addSheet();
    sheet.setText(0, 0, QStringLiteral("Hello"));
    sheet.setText(0, 1, QStringLiteral("café"));
    sheet.setText(0, 2, QStringLiteral("动物主人/饲养单位"));
    sheet.setText(0, 3, QStringLiteral("🐶犬 mixed"));
    sheet.setText(1, 0, QStringLiteral("动物主人/饲养单位")); // the same text again
    sheet.setNumber(1, 1, 0);
    sheet.setNumber(1, 2, -12.5);
    sheet.setNumber(1, 3, 1234567.891);
    sheet.setText(2, 255, QStringLiteral("last column"));
    sheet.setText(3, 0, QStringLiteral("first text"));
    sheet.setNumber(3, 0, 42); // a later value replaces the earlier one
    sheet.setText(65535, 0, QStringLiteral("last row"));

    const QString path = m_dir.filePath(QStringLiteral("cells.xls"));
    QString error;
    QVERIFY2(writeXls(book, path, &error), qPrintable(error));
    const XlsReadBack read(path);
    QVERIFY2(read.ok(), qPrintable(read.error()));

    QCOMPARE(read.sheetCount(), 1);
    QCOMPARE(read.sheetName(0), QStringLiteral("Sheet1"));
    QCOMPARE(read.rowCount(), 65536);
    QCOMPARE(read.columnCount(), 256);
    QCOMPARE(read.cellCount(), 11);
    QCOMPARE(read.text(0, 0), QStringLiteral("Hello"));
    QCOMPARE(read.text(0, 1), QStringLiteral("café"));
    QCOMPARE(read.text(0, 2), QStringLiteral("动物主人/饲养单位"));
    QCOMPARE(read.text(0, 3), QStringLiteral("🐶犬 mixed"));
    QCOMPARE(read.text(1, 0), QStringLiteral("动物主人/饲养单位"));
    QCOMPARE(read.kind(1, 1), QStringLiteral("number"));
    QCOMPARE(read.number(1, 1), 0.0);
    QCOMPARE(read.number(1, 2), -12.5);
    QCOMPARE(read.number(1, 3), 1234567.891);
    QCOMPARE(read.text(2, 255), QStringLiteral("last column"));
    QCOMPARE(read.kind(3, 0), QStringLiteral("number"));
    QCOMPARE(read.number(3, 0), 42.0);
    QCOMPARE(read.text(65535, 0), QStringLiteral("last row"));
    QCOMPARE(read.kind(2, 0), QString());
}

// Long texts and long string tables continue in further records; a split must lose no character,
// must not tear a surrogate pair apart and must work for one-byte and two-byte texts alike.
void XlsWriterTest::textsLongerThanOneRecordReadBackWhole()
{
    Workbook book;
    Worksheet& sheet = book.addSheet();
    QStringList expected;
    expected << QString(20000, u'x');
    expected << QStringLiteral("档案").repeated(6000);
    expected << QStringLiteral("🐶").repeated(5000);
    expected << QStringLiteral("a") + QStringLiteral("🐱").repeated(5000);
    expected << QString(9000, u'é');
    for (int n = 0; n < 3000; ++n) // many short texts, so record boundaries fall at many offsets
        expected << QStringLiteral("%1号").arg(n).repeated(1 + n % 7);
    for (int n = 0; n < expected.size(); ++n)
        sheet.setText(n, 0, expected[n]);

    const QString path = m_dir.filePath(QStringLiteral("long.xls"));
    QString error;
    QVERIFY2(writeXls(book, path, &error), qPrintable(error));
    const XlsReadBack read(path);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(read.rowCount(), expected.size());
    for (int n = 0; n < expected.size(); ++n)
        QCOMPARE(read.text(n, 0), expected[n]);
}

void XlsWriterTest::fontsRowHeightsAndColumnWidthsReadBack()
{
    Workbook book(XlsFont { QStringLiteral("宋体"), 10, false });
    const QList<XlsFont> fonts = {
        { QStringLiteral("宋体"), 10, false },
        { QStringLiteral("Arial"), 12, true },
        { QStringLiteral("黑体"), 20, true },
        { QStringLiteral("宋体"), 10, true },
        { QStringLiteral("Arial"), 9, false },
        { QStringLiteral("楷体"), 14.5, false },
        { QStringLiteral("宋体"), 26, true },
    };
    Worksheet& sheet = book.addSheet();
    for (int n = 0; n < fonts.size(); ++n)
        sheet.setText(0, n, QStringLiteral("字%1").arg(n), book.font(fonts[n]));
    QCOMPARE(book.font(fonts[3]), 3); // asking again gives the same font
    sheet.setRowHeight(0, 30);
    sheet.setRowHeight(1, 20);
    sheet.setRowFont(1, book.font(fonts[2]));
    sheet.setText(1, 0, QStringLiteral("row font"), book.font(fonts[2]));
    sheet.setText(2, 0, QStringLiteral("default height"));
    sheet.setColumnWidth(0, 15);
    sheet.setColumnWidth(4, 10);
    sheet.setColumnWidth(200, 8.5);

    const QString path = m_dir.filePath(QStringLiteral("formats.xls"));
    QString error;
    QVERIFY2(writeXls(book, path, &error), qPrintable(error));
    const XlsReadBack read(path);
    QVERIFY2(read.ok(), qPrintable(read.error()));

    for (int n = 0; n < fonts.size(); ++n) {
        QCOMPARE(read.font(0, n).name, fonts[n].name);
        QCOMPARE(read.font(0, n).points, fonts[n].points);
        QCOMPARE(read.font(0, n).bold, fonts[n].bold);
    }
    QCOMPARE(read.rowTwips(0), 600);
    QVERIFY(read.rowHeightIsCustom(0));
    QCOMPARE(read.rowTwips(1), 400);
    QCOMPARE(read.rowFont(1).name, QStringLiteral("黑体"));
    QCOMPARE(read.rowFont(1).points, 20.0);
    QVERIFY(!read.rowHeightIsCustom(2));
    QCOMPARE(read.rowFont(2).name, QString());
    QCOMPARE(read.columnWidth(0), 15 * 256);
    QCOMPARE(read.columnWidth(4), 10 * 256);
    QCOMPARE(read.columnWidth(200), 2176);
    QCOMPARE(read.columnWidth(1), -1);
}

void XlsWriterTest::everySheetKeepsItsNameAndCells()
{
    Workbook book;
    book.addSheet().setText(0, 0, QStringLiteral("first"));
    Worksheet& second = book.addSheet(QStringLiteral("日志 2"));
    second.setText(4, 2, QStringLiteral("第二张"));
    second.setNumber(5, 2, 7);
    book.addSheet(QStringLiteral("Empty"));

    const QString path = m_dir.filePath(QStringLiteral("sheets.xls"));
    QString error;
    QVERIFY2(writeXls(book, path, &error), qPrintable(error));
    const XlsReadBack read(path);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(read.sheetCount(), 3);
    QCOMPARE(read.sheetName(0), QStringLiteral("Sheet1"));
    QCOMPARE(read.sheetName(1), QStringLiteral("日志 2"));
    QCOMPARE(read.sheetName(2), QStringLiteral("Empty"));
    QCOMPARE(read.text(0, 0, 0), QStringLiteral("first"));
    QCOMPARE(read.cellCount(1), 2);
    QCOMPARE(read.text(4, 2, 1), QStringLiteral("第二张"));
    QCOMPARE(read.number(5, 2, 1), 7.0);
    QCOMPARE(read.rowCount(2), 0);
}

void XlsWriterTest::workbookTheFormatCannotHoldIsRefusedBeforeWriting()
{
    const QString path = m_dir.filePath(QStringLiteral("refused.xls"));
    QVERIFY(writeFile(path, "earlier export"));

    QList<std::pair<const char*, Workbook>> cases;
    {
        Workbook book;
        book.addSheet().setText(65536, 0, QStringLiteral("one row too many"));
        cases.append({ "row 65537", book });
    }
    {
        Workbook book;
        book.addSheet().setNumber(0, 256, 1);
        cases.append({ "column 257", book });
    }
    {
        Workbook book;
        book.addSheet().setText(0, 0, QString(32768, u'x'));
        cases.append({ "text of 32768 characters", book });
    }
    {
        Workbook book;
        book.addSheet(QStringLiteral("a/b"));
        cases.append({ "sheet name with a slash", book });
    }
    {
        Workbook book;
        book.addSheet(QStringLiteral("Log"));
        book.addSheet(QStringLiteral("log"));
        cases.append({ "two sheets of one name", book });
    }
    {
        Workbook book;
        book.addSheet().setText(0, 0, QStringLiteral("x"), 3);
        cases.append({ "font that does not exist", book });
    }
    {
        Workbook book;
        book.addSheet().setRowHeight(0, 410);
        cases.append({ "row height of 410 points", book });
    }
    {
        Workbook book;
        book.addSheet().setNumber(0, 0, std::nan(""));
        cases.append({ "a number that is not finite", book });
    }
    cases.append({ "no sheet", Workbook() });

    for (const auto& [what, book] : cases) {
        QString error;
        QVERIFY2(!writeXls(book, path, &error), what);
        QVERIFY2(!error.isEmpty(), what);
        QCOMPARE(contentsOf(path), QByteArray("earlier export"));
    }
    QCOMPARE(QDir(m_dir.path()).entryList({ QStringLiteral("refused.xls*") }, QDir::Files).size(), 1);
}

void XlsWriterTest::missingFolderIsReported()
{
    Workbook book;
    book.addSheet().setText(0, 0, QStringLiteral("x"));
    QString error;
    const QString path = m_dir.filePath(QStringLiteral("no such folder/log.xls"));
    QVERIFY(!writeXls(book, path, &error));
    QVERIFY(error.contains(path));
    QVERIFY(!QFile::exists(path));

    // A "folder" that is really a file.
    const QString file = m_dir.filePath(QStringLiteral("plain file"));
    QVERIFY(writeFile(file, "x"));
    error.clear();
    QVERIFY(!writeXls(book, file + QStringLiteral("/log.xls"), &error));
    QVERIFY(!error.isEmpty());
}

void XlsWriterTest::readOnlyFolderIsReported()
{
    const QString folder = m_dir.filePath(QStringLiteral("read-only"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/log.xls");
    QVERIFY(writeFile(path, "earlier export"));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard(
        [&] { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    if (::access(folder.toLocal8Bit().constData(), W_OK) == 0)
        QSKIP("running with rights that ignore folder permissions");

    Workbook book;
    book.addSheet().setText(0, 0, QStringLiteral("x"));
    QString error;
    QVERIFY(!writeXls(book, path, &error));
    QVERIFY(error.contains(path));
    QCOMPARE(contentsOf(path), QByteArray("earlier export"));
}

// The write itself fails part way (the process may not write files beyond 16 KB): the earlier file stays
// as it was and no temporary file is left behind.
void XlsWriterTest::failedWriteKeepsTheExistingFile()
{
    const QString folder = m_dir.filePath(QStringLiteral("limited"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/log.xls");
    QVERIFY(writeFile(path, "earlier export"));

    const Workbook book = bigWorkbook();
    rlimit before {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = before;
    limited.rlim_cur = 16 * 1024;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    QString error;
    const bool written = writeXls(book, path, &error);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QVERIFY(error.contains(path));
    QCOMPARE(contentsOf(path), QByteArray("earlier export"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("log.xls") });

    // Without the limit the same export replaces the earlier file.
    QVERIFY2(writeXls(book, path, &error), qPrintable(error));
    const XlsReadBack read(path);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(read.text(4999, 0), QStringLiteral("动物主人4999"));
}

QTEST_GUILESS_MAIN(XlsWriterTest)
#include "tst_xlswriter.moc"
