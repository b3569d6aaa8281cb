// The export button of the log window: the save dialog, the file it writes (read back with xlrd), and what
// the user is told.

#include "archiverows.h"
#include "reports/logexport.h"
#include "reports/outpatientlogwindow.h"
#include "tests/support/testenv.h"
#include "xlsreadback.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

const QString kDone = QStringLiteral("文件导出成功！");

// A log window on April 2020, holding three prescriptions of that month and one of May.
struct ExportFixture {
    TestEnv env;
    std::unique_ptr<OutpatientLogWindow> window;

    ExportFixture()
    {
        insertPrescription(
            env.db, { "K1", "2020-04-01 09:00:00", "张三", "A-1", "猫", "母", "3kg", "2岁", "李医生" });
        insertPrescription(env.db, { "K2", "2020-04-15", "李四" });
        insertPrescription(env.db, { "K3", "2020-04-30", QVariant(), "A-3" });
        insertPrescription(env.db, { "K4", "2020-05-01", "MAY" });
        window = std::make_unique<OutpatientLogWindow>(env.services);
        window->fromDate->setText("2020-04-01");
        window->toDate->setText("2020-04-30");
    }
    QString path(const QString& name) const { return env.dir.filePath(name); }
};

} // namespace

class LogExportActionTest final : public QObject {
    Q_OBJECT

private slots:
    void theRangeIsWrittenToTheChosenFile()
    {
        ExportFixture f;
        f.env.fileDialogs.next = f.path("log");
        QTest::mouseClick(f.window->exportButton, Qt::LeftButton);

        QCOMPARE(f.env.fileDialogs.lastTitle, QStringLiteral("另存为"));
        QCOMPARE(f.env.fileDialogs.lastFilter, QStringLiteral("Excel文件 (*.xls)"));
        QCOMPARE(f.env.messages.texts(), QStringList { kDone });
        QCOMPARE(f.window->recordCount->text(), QStringLiteral("计录数：3"));
        QCOMPARE(f.window->exportPath->text(), f.path("log.xls"));

        XlsReadBack xls(f.path("log.xls"));
        QVERIFY2(xls.ok(), qPrintable(xls.error()));
        QCOMPARE(xls.text(0, 3), QStringLiteral("门诊日志登记本"));
        QCOMPARE(xls.text(1, 0), QStringLiteral("动物主人/饲养单位"));
        QCOMPARE(xls.text(1, 8), QStringLiteral("备注"));
        QCOMPARE(xls.rowCount(), 5);
        const QStringList first = { "张三", "A-1", "猫", "母", "3kg", "2岁", "李医生", "2020-04-01" };
        for (int c = 0; c < first.size(); ++c)
            QCOMPARE(xls.text(2, c), first[c]);
        QCOMPARE(xls.kind(2, 7), QStringLiteral("text"));
        QCOMPARE(xls.text(3, 0), QStringLiteral("李四"));
        QCOMPARE(xls.kind(4, 0), QString()); // a null owner is an empty cell
        QCOMPARE(xls.text(4, 1), QStringLiteral("A-3"));
        for (int r = 2; r < 5; ++r)
            QCOMPARE(xls.kind(r, 8), QString());
        QVERIFY(xls.font(0, 3).bold);
        QCOMPARE(xls.font(0, 3).points, 20.0);
        QCOMPARE(xls.rowTwips(4), 400);
    }

    void theSuffixIsAddedOnlyWhenMissing_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no suffix") << "book"
                                   << "book.xls";
        QTest::newRow("with suffix") << "book.xls"
                                     << "book.xls";
        QTest::newRow("upper-case suffix") << "book.XLS"
                                           << "book.XLS";
        QTest::newRow("other suffix") << "book.txt"
                                      << "book.txt.xls";
    }
    void theSuffixIsAddedOnlyWhenMissing()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        ExportFixture f;
        f.env.fileDialogs.next = f.path(chosen);
        f.window->exportLog();
        QCOMPARE(f.env.messages.texts(), QStringList { kDone });
        QVERIFY(QFile::exists(f.path(written)));
        QVERIFY(!QFile::exists(f.path(written + ".xls")));
    }

    void aCancelledDialogExportsNothing()
    {
        ExportFixture f;
        f.env.fileDialogs.next = f.path("first");
        f.window->exportLog();
        QVERIFY(QFile::remove(f.path("first.xls")));
        f.env.messages.clear();

        f.env.fileDialogs.next.clear();
        f.window->exportLog();
        QCOMPARE(f.env.fileDialogs.asked, 2);
        QVERIFY(f.env.messages.texts().isEmpty());
        QVERIFY(!QFile::exists(f.path("first.xls")));
        QVERIFY(!QFile::exists(f.path(".xls")));
    }

    void aBadDateOrAnEmptyRangeWritesNoFile()
    {
        ExportFixture f;
        f.env.fileDialogs.next = f.path("bad");
        f.window->toDate->setText("2020-04-31");
        f.window->exportLog();
        QCOMPARE(f.env.messages.texts(),
            QStringList { QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。") });
        QVERIFY(!QFile::exists(f.path("bad.xls")));

        f.env.messages.clear();
        f.window->fromDate->setText("2021-01-01");
        f.window->toDate->setText("2021-01-31");
        f.window->exportLog();
        QVERIFY(f.env.messages.texts().isEmpty());
        QCOMPARE(f.window->recordCount->text(), QStringLiteral("计录数：0"));
        QVERIFY(!QFile::exists(f.path("bad.xls")));
    }

    void aFailedWriteIsNotReportedAsSuccess()
    {
        ExportFixture f;
        f.env.fileDialogs.next = f.path("no such folder/log");
        f.window->exportLog();
        QCOMPARE(f.env.messages.texts().size(), 1);
        QVERIFY(f.env.messages.last().startsWith(QStringLiteral("文件导出失败")));
        QCOMPARE(f.env.messages.shown().last().icon, Messages::Icon::Warning);

        // A folder of the chosen name: the user is told so, in words, and the folder stays.
        QVERIFY(QDir().mkpath(f.path("门诊日志.xls")));
        f.env.messages.clear();
        f.env.fileDialogs.next = f.path("门诊日志.xls");
        f.window->exportLog();
        QCOMPARE(f.env.messages.texts().size(), 1);
        QVERIFY2(f.env.messages.last().startsWith(
                     QStringLiteral("文件导出失败！\n无法写入文件“%1”：这个位置上是一个文件夹，而不是文件。")
                         .arg(QDir::toNativeSeparators(f.path("门诊日志.xls")))),
            qPrintable(f.env.messages.last()));
        QVERIFY(QFileInfo(f.path("门诊日志.xls")).isDir());
    }

    void moreRecordsThanASixteenBitCountAreAllExported()
    {
        TestEnv env;
        insertPrescriptions(env.db, 33000, "2020-07-01");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-07-01");
        w.toDate->setText("2020-07-01");
        env.fileDialogs.next = env.dir.filePath("big");
        w.exportLog();
        QCOMPARE(env.messages.texts(), QStringList { kDone });
        XlsReadBack xls(env.dir.filePath("big.xls"));
        QVERIFY2(xls.ok(), qPrintable(xls.error()));
        QCOMPARE(xls.rowCount(), 33002);
        QCOMPARE(xls.text(33001, 0), QStringLiteral("OWNER033000"));
    }

    // One sheet takes 65,534 records under its title and headings: one more is refused with the count,
    // before any row is read, and no file is left.
    void moreRecordsThanASheetHoldsAreRefusedWithTheirCount()
    {
        TestEnv env;
        insertPrescriptions(env.db, kLogExportLimit + 1, "2020-07-01");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-07-01");
        w.toDate->setText("2020-07-01");
        env.fileDialogs.next = env.dir.filePath("big");
        w.exportLog();
        QCOMPARE(env.messages.texts(),
            QStringList { QStringLiteral(
                "记录数 65535 超过 .xls 工作表的上限 65534 条，无法导出！\n请缩短查询时间范围。") });
        QCOMPARE(w.recordCount->text(), QStringLiteral("计录数：65535"));
        QVERIFY(!QFileInfo::exists(env.dir.filePath("big.xls")));
    }
};

QTEST_MAIN(LogExportActionTest)
#include "tst_logexportaction.moc"
