// The desk's and the log book's "打印" through a real print service (a throw-away CUPS scheduler with virtual
// PDF printers): each reaches the printer the settings chose, under its name, as the pages of the program's
// own PDF; and what keeps a print from its printer is said by the window, with the offer of a PDF instead.

#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "desk/prescriptionprint.h"
#include "pagecompare.h"
#include "print/fonts.h"
#include "print/printoutcome.h"
#include "print/printsystem.h"
#include "print/qtprint.h"
#include "reports/logdates.h"
#include "reports/logprint.h"
#include "reports/logquery.h"
#include "reports/outpatientlogwindow.h"
#include "tests/desk/fakesettings.h"
#include "tests/reports/archiverows.h"
#include "tests/support/cupsserver.h"
#include "tests/support/testenv.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

const QString kQueue = QString::fromLatin1(CupsServer::kQueue);
const QString kSlip = "QvSlip";

// The desk and the log book of one practice: prescriptions on the slip printer, the log book on the default.
struct Practice {
    Practice()
    {
        settings.slipPrinter = kSlip;
        env.services.printers = &printers;
        env.services.settings = &settings;
        insertPrescriptions(env.db, 15, "2020-04-01");
        desk.fieldEdits[0]->setText("张三");
        desk.fieldEdits[kDateField]->setText("2024-01-02");
        desk.setBodyText("青霉素钠 160万单位×4支\r\n    用法：肌肉注射 每日2次\r\n");
        log.fromDate->setText("2020-04-01");
        log.toDate->setText("2020-04-01");
        log.leftMargin->setText("12");
        log.topMargin->setText("18");
    }
    void printDesk() { QTest::mouseClick(desk.toolbarClickAreas[3], Qt::LeftButton); }
    void printLog() { QTest::mouseClick(log.printButton, Qt::LeftButton); }

    TestEnv env;
    QtPrinterAccess printers;
    FakeSettings settings;
    PrescriptionDesk desk { env.services };
    OutpatientLogWindow log { env.services };
};

// A landscape page as the print service puts it on a portrait sheet: turned a quarter counter-clockwise.
GreyPage turnedOntoPortrait(const GreyPage& page)
{
    GreyPage out;
    out.width = page.height;
    out.height = page.width;
    out.pixels.resize(page.pixels.size());
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.pixels[y * out.width + x] = char(page.at(page.width - 1 - y, x));
    return out;
}

} // namespace

class PrintWindowsTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installFontSubstitutions();
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        QVERIFY2(m_server.addPrinter(kSlip), qPrintable(m_server.error()));
        m_system = m_printers.printSystem();
        QVERIFY(m_system);
    }

    void theDeskAndTheLogBookReachTheirPrintersAsOurOwnPdf()
    {
        Practice p;
        const int slipBefore = m_system->lastJobId(kSlip), queueBefore = m_system->lastJobId(kQueue);
        p.printDesk();
        p.printLog();
        QCOMPARE(p.env.messages.texts(), QStringList());

        const QList<QueuedJob> slipJobs = m_system->jobsAfter(kSlip, slipBefore);
        QCOMPARE(slipJobs.size(), 1);
        QCOMPARE(slipJobs.first().name, QString("处方 张三 2024-01-02"));
        const QList<QueuedJob> logJobs = m_system->jobsAfter(kQueue, queueBefore);
        QCOMPARE(logJobs.size(), 1);
        QCOMPARE(logJobs.first().name, QString("门诊日志 2020-04-01–2020-04-01"));

        // The desk's margins are the settings' 20 and 15 mm; the log book's are its own boxes.
        const QString ownSlip = m_dir.filePath("slip.pdf"), ownLog = m_dir.filePath("log.pdf");
        QVERIFY(printPaper(*p.printers.pdfSurface(ownSlip), p.desk.currentPaper(), 20, 15));
        const LogQueryResult rows = queryLog(p.env.db, *parseDateRange("2020-04-01", "2020-04-01"));
        QVERIFY(printLogBook(*p.printers.pdfSurface(ownLog), rows.records, 12, 18));

        const QString printedSlip = m_server.waitForPdf(slipJobs.first().id);
        QVERIFY2(!printedSlip.isEmpty(), qPrintable(m_server.error()));
        const PageComparison slip = comparePdfPages(printedSlip, 1, ownSlip, 1);
        QVERIFY2(slip.matches(), qPrintable(slip.describe()));
        const QString printedLog = m_server.waitForPdf(logJobs.first().id);
        QVERIFY2(!printedLog.isEmpty(), qPrintable(m_server.error()));
        for (int page : { 1, 2 }) {
            const GreyPage own = renderPage(ownLog, page, kCompareDotsPerInch);
            QVERIFY(own.width > own.height);
            const PageComparison log
                = comparePages(renderPage(printedLog, page, kCompareDotsPerInch), turnedOntoPortrait(own));
            QVERIFY2(log.matches(), qPrintable(QString("page %1: %2").arg(page).arg(log.describe())));
        }
    }

    // Refused, stopped, service down, chosen printer gone: the window says which, sends nothing where it
    // would be lost, and saves the PDF when asked.
    void theWindowsSayWhyAPrintDidNotGo()
    {
        Practice p;
        const int slipBefore = m_system->lastJobId(kSlip), queueBefore = m_system->lastJobId(kQueue);

        QVERIFY2(m_server.run("cupsreject", { "-r", "纸盒已空", kSlip }), qPrintable(m_server.error()));
        p.env.messages.setNextAnswers({ true });
        p.env.fileDialogs.next = p.env.dir.filePath("张三");
        p.printDesk();
        QCOMPARE(p.env.messages.last(),
            QString("处方没有打印！\n打印机“QvSlip”拒绝接受打印任务，原因：“纸盒已空”。\n要把处方保存为 PDF "
                    "文件吗？"));
        QVERIFY(QFileInfo(p.env.dir.filePath("张三.pdf")).size() > 0);
        QVERIFY2(m_server.run("cupsaccept", { kSlip }), qPrintable(m_server.error()));

        QVERIFY2(m_server.run("cupsdisable", { "-r", "paper jam", kQueue }), qPrintable(m_server.error()));
        p.printLog(); // answered no: not sent
        QCOMPARE(p.env.messages.last(),
            QString(
                "打印机“QvPDF”已停止，原因：“paper jam”。现在发送的打印任务要等打印机重新启动后才会打印。\n"
                "仍然发送门诊日志吗？"));
        QVERIFY2(m_server.run("cupsenable", { kQueue }), qPrintable(m_server.error()));

        QVERIFY2(m_server.halt(), qPrintable(m_server.error()));
        p.printDesk();
        const QString deskDown = p.env.messages.last();
        p.printLog();
        const QString logDown = p.env.messages.last();
        QVERIFY2(m_server.resume(), qPrintable(m_server.error()));
        QCOMPARE(deskDown, savePdfQuestion("处方", serviceNotRunningSentence()));
        QCOMPARE(logDown, savePdfQuestion("门诊日志", serviceNotRunningSentence()));

        p.settings.slipPrinter = "前台小票机";
        p.printDesk();
        QCOMPARE(p.env.messages.last(),
            savePdfQuestion("处方", "选定的打印机“前台小票机”没有安装。" + choosePrinterHint()));

        QCOMPARE(p.env.messages.texts().size(), 5);
        QCOMPARE(m_system->lastJobId(kSlip), slipBefore);
        QCOMPARE(m_system->lastJobId(kQueue), queueBefore);
    }

private:
    QTemporaryDir m_dir;
    CupsServer m_server;
    QtPrinterAccess m_printers;
    PrintSystem* m_system = nullptr;
};

QTEST_MAIN(PrintWindowsTest)
#include "tst_printwindows.moc"
