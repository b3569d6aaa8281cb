// Prints through Qt to a real print service (a throw-away CUPS scheduler with a virtual PDF printer) and
// checks what the print system layer says before and after sending: a refused, stopped, missing or
// unreachable printer is named as what it is, and a job that did not arrive is never taken for printed.

#include "pagecompare.h"
#include "print/cupsprintsystem.h"
#include "print/fonts.h"
#include "print/printsystem.h"
#include "print/qtprint.h"
#include "tests/support/cupsserver.h"

#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

using namespace qv;
using namespace qv::test;

namespace {

const QString kQueue = QString::fromLatin1(CupsServer::kQueue);

// A page with what the program's pages have: a 黑体 title, 宋体 text, Latin digits and ruled lines.
void drawPage(
    PrintSurface& surface, double bodyShiftTwips = 0, const QString& usage = "    用法：肌肉注射 每日2次")
{
    surface.setFontName("黑体");
    surface.setFontSize(20.25);
    surface.setCurrentX(3500);
    surface.setCurrentY(300);
    surface.printText("安康动物医院");
    surface.setFontName("宋体");
    surface.setFontSize(12);
    surface.setCurrentX(240);
    surface.setCurrentY(960);
    surface.printText("动物主人/饲养单位：张三    开具日期：2024-01-02");
    surface.setCurrentY(2580 + bodyShiftTwips);
    for (const QString& line : { QString("青霉素钠 160万单位×4支"), usage, QString("Rp: 0.9% NaCl 100ml") }) {
        surface.setCurrentX(4560);
        surface.setCurrentY(surface.currentY() + 90);
        surface.printText(line);
    }
    surface.setDrawWidth(1);
    surface.line(120, 120, 10620, 120);
    surface.line(120, 120, 120, 7080);
    surface.line(120, 7080, 10620, 7080);
    surface.line(10620, 7080, 10620, 120);
    surface.line(120, 2220, 10620, 2220);
}

QString pdfTitle(const QString& pdf)
{
    QProcess info;
    info.start("pdfinfo", { pdf });
    info.waitForFinished();
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("Title:"))
            return line.mid(6).trimmed();
    }
    return {};
}

} // namespace

class CupsPrintTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installFontSubstitutions();
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        m_system = m_printers.printSystem();
        QVERIFY(m_system);
    }

    // The whole road of a good print: Qt sees the queue through CUPS_SERVER, the layer finds the printer
    // ready, the job arrives under its name, and the page the printer makes is our own PDF's page.
    void aJobArrivesUnderItsNameAndPrintsAsOurPdf()
    {
        QCOMPARE(QPrinterInfo::availablePrinterNames(), QStringList { kQueue });
        QCOMPARE(QPrinterInfo::defaultPrinterName(), kQueue);
        const PrinterListing listing = m_system->printers();
        QVERIFY(listing.serviceRunning);
        QCOMPARE(listing.printers, QStringList { kQueue });
        QCOMPARE(listing.defaultPrinter, kQueue);

        const PrinterCheck check = checkPrinter(*m_system, {});
        QCOMPARE(check.verdict, PrinterCheck::Verdict::Ready);
        QCOMPARE(check.printer, kQueue);
        QCOMPARE(check.sentence, QString());

        const QString name = prescriptionJobName(" 张三 ", "2024-01-02");
        QCOMPARE(name, QString("处方 张三 2024-01-02"));
        const JobConfirmation sent = send(check, name);
        QVERIFY2(sent.arrived, qPrintable(sent.sentence));
        QVERIFY(sent.jobId > check.mark.lastJobId);
        QCOMPARE(m_system->jobsAfter(kQueue, check.mark.lastJobId).value(0).name, name);

        const QString printed = m_server.waitForPdf(sent.jobId);
        QVERIFY2(!printed.isEmpty(), qPrintable(m_server.error()));
        const QString own = m_dir.filePath("own.pdf");
        auto surface = m_printers.pdfSurface(own);
        surface->setJobName(name);
        drawPage(*surface);
        QVERIFY(surface->endDocument());
        QCOMPARE(pdfTitle(own), name);
        const PageComparison comparison = comparePdfPages(printed, 1, own, 1);
        QVERIFY2(comparison.matches(), qPrintable(comparison.describe()));
    }

    // The comparison is not blind: the same page with its body half a millimetre lower, or with one character
    // missing, does not match.
    void pageComparisonSeesHalfAMillimetreAndOneCharacter()
    {
        const QString a = m_dir.filePath("a.pdf"), b = m_dir.filePath("b.pdf");
        const QString moved = m_dir.filePath("moved.pdf"), missing = m_dir.filePath("missing.pdf");
        for (const QString& path : { a, b, moved, missing }) {
            auto surface = m_printers.pdfSurface(path);
            if (path == moved)
                drawPage(*surface, 28.35);
            else if (path == missing)
                drawPage(*surface, 0, "    用法：肌肉注射 每2次");
            else
                drawPage(*surface);
            QVERIFY(surface->endDocument());
        }
        const PageComparison same = comparePdfPages(a, 1, b, 1);
        QVERIFY2(same.matches(), qPrintable(same.describe()));
        QCOMPARE(same.strayA + same.strayB, 0);
        for (const QString& faulty : { moved, missing }) {
            const PageComparison fault = comparePdfPages(a, 1, faulty, 1);
            QVERIFY2(!fault.matches(), qPrintable(fault.describe()));
        }
    }

    // cupsreject: named with its reason before sending; Qt reports the refused job as printed, the layer does
    // not.
    void aRefusingPrinterIsNamedAndItsJobIsMissed()
    {
        QVERIFY2(m_server.run("cupsreject", { "-r", "纸盒已空", kQueue }), qPrintable(m_server.error()));
        const PrinterCheck check = checkPrinter(*m_system, {});
        QCOMPARE(check.verdict, PrinterCheck::Verdict::Refusing);
        QCOMPARE(check.sentence, QString("打印机“QvPDF”拒绝接受打印任务，原因：“纸盒已空”。"));

        const JobConfirmation sent = send(check, logBookJobName("2024-01-01", "2024-01-31"));
        QVERIFY(!sent.arrived);
        QCOMPARE(sent.sentence,
            QString("打印任务没有送到打印机“QvPDF”。\n打印机“QvPDF”拒绝接受打印任务，原因：“纸盒已空”。"));
        QVERIFY2(m_server.run("cupsaccept", { kQueue }), qPrintable(m_server.error()));
        QCOMPARE(checkPrinter(*m_system, {}).verdict, PrinterCheck::Verdict::Ready);
    }

    // cupsdisable: named with its reason before sending; a job sent anyway waits and prints once the printer
    // is started again.
    void aStoppedPrinterIsNamedAndKeepsTheJob()
    {
        QVERIFY2(m_server.run("cupsdisable", { "-r", "paper jam", kQueue }), qPrintable(m_server.error()));
        const PrinterCheck check = checkPrinter(*m_system, {});
        QCOMPARE(check.verdict, PrinterCheck::Verdict::Stopped);
        QCOMPARE(check.sentence,
            QString(
                "打印机“QvPDF”已停止，原因：“paper jam”。现在发送的打印任务要等打印机重新启动后才会打印。"));

        const JobConfirmation sent = send(check, logBookJobName("2024-01-01", "2024-01-31"));
        QVERIFY2(sent.arrived, qPrintable(sent.sentence));
        QVERIFY2(m_server.run("cupsenable", { kQueue }), qPrintable(m_server.error()));
        QVERIFY2(!m_server.waitForPdf(sent.jobId).isEmpty(), qPrintable(m_server.error()));
    }

    // Without a reason the service puts its own English words in the state message ("Rejecting Jobs",
    // "Paused"): they only restate the state and are not said.
    void aStateWithoutAReasonIsSaidWithoutTheServicesWords()
    {
        QVERIFY2(m_server.run("cupsreject", { kQueue }), qPrintable(m_server.error()));
        QVERIFY2(m_server.run("cupsdisable", { kQueue }), qPrintable(m_server.error()));
        const PrinterStatus status = m_system->printerStatus(kQueue);
        QVERIFY2(m_server.run("cupsaccept", { kQueue }), qPrintable(m_server.error()));
        const QString stopped = checkPrinter(*m_system, {}).sentence;
        QVERIFY2(m_server.run("cupsenable", { kQueue }), qPrintable(m_server.error()));
        QCOMPARE(refusingSentence(kQueue, status), QString("打印机“QvPDF”拒绝接受打印任务。"));
        QCOMPARE(stopped, QString("打印机“QvPDF”已停止。现在发送的打印任务要等打印机重新启动后才会打印。"));
    }

    // With the scheduler down Qt sees no printer, as on a machine without one; the layer says the service is
    // not running. Once it runs again, the next print arrives without a restart of the program.
    void aServiceThatIsDownIsNotAMissingPrinter()
    {
        QVERIFY2(m_server.halt(), qPrintable(m_server.error()));
        QCOMPARE(QPrinterInfo::availablePrinterNames(), QStringList());
        const PrinterCheck down = checkPrinter(*m_system, {});
        QCOMPARE(down.verdict, PrinterCheck::Verdict::Unavailable);
        QCOMPARE(down.problem, PrinterProblem::ServiceNotRunning);
        QCOMPARE(down.sentence, QString("打印服务（CUPS）没有运行，无法打印。"));
        QCOMPARE(checkPrinter(*m_system, kQueue).problem, PrinterProblem::ServiceNotRunning);

        QVERIFY2(m_server.resume(), qPrintable(m_server.error()));
        // A scheduler that runs but hangs is not said to be not running.
        QFile pidFile(m_server.folder() + "/cupsd.pid");
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const pid_t scheduler = pid_t(pidFile.readAll().trimmed().toInt());
        QVERIFY(scheduler > 0 && ::kill(scheduler, SIGSTOP) == 0);
        {
            const auto wake = qScopeGuard([scheduler] { ::kill(scheduler, SIGCONT); });
            CupsPrintSystem impatient(500);
            QCOMPARE(checkPrinter(impatient, {}).sentence, QString("打印服务（CUPS）没有响应，无法打印。"));
        }
        const PrinterCheck up = checkPrinter(*m_system, {});
        QCOMPARE(up.verdict, PrinterCheck::Verdict::Ready);
        const JobConfirmation sent = send(up, prescriptionJobName("李四", "2024-02-03"));
        QVERIFY2(sent.arrived, qPrintable(sent.sentence));
    }

    // A chosen printer that is not installed is named and never replaced by the default; without a default
    // or without any printer the layer says which.
    void missingPrintersAreNamed()
    {
        const QString gone = "前台小票机";
        const PrinterCheck chosen = checkPrinter(*m_system, gone);
        QCOMPARE(chosen.problem, PrinterProblem::ChosenNotInstalled);
        QCOMPARE(chosen.sentence, QString("选定的打印机“前台小票机”没有安装。"));
        const int before = m_system->lastJobId(kQueue);
        auto surface = m_printers.printerSurface(gone);
        drawPage(*surface);
        QVERIFY(!surface->endDocument());
        QCOMPARE(surface->errorText(), chosen.sentence);
        QCOMPARE(m_system->lastJobId(kQueue), before);

        QVERIFY2(m_server.addPrinter("QvSpare"), qPrintable(m_server.error()));
        QVERIFY2(m_server.run("lpadmin", { "-d", "QvSpare" }), qPrintable(m_server.error()));
        QVERIFY2(m_server.run("lpadmin", { "-x", "QvSpare" }), qPrintable(m_server.error()));
        QCOMPARE(checkPrinter(*m_system, {}).problem, PrinterProblem::NoDefaultPrinter);
        QCOMPARE(checkPrinter(*m_system, {}).sentence, QString("没有设置默认打印机。"));
        QCOMPARE(checkPrinter(*m_system, kQueue).verdict, PrinterCheck::Verdict::Ready);

        QVERIFY2(m_server.run("lpadmin", { "-x", kQueue }), qPrintable(m_server.error()));
        QCOMPARE(checkPrinter(*m_system, {}).problem, PrinterProblem::NoPrinterInstalled);
        QCOMPARE(checkPrinter(*m_system, {}).sentence, QString("没有安装打印机。"));
        QCOMPARE(checkPrinter(*m_system, kQueue).problem, PrinterProblem::ChosenNotInstalled);

        QVERIFY2(m_server.addPrinter(kQueue), qPrintable(m_server.error()));
        QVERIFY2(m_server.run("lpadmin", { "-d", kQueue }), qPrintable(m_server.error()));
    }

    // A machine's own CUPS shows a job's name to its owner only, and the owner is whoever the request says it
    // is: a program asking under another user name than its print went out with sees the job without a name.
    // The job sent is then the newest after the mark.
    void aJobWhoseNameTheServiceHidesIsStillFound()
    {
        QVERIFY2(m_server.keepJobNamesPrivate(), qPrintable(m_server.error()));
        const PrinterCheck check = checkPrinter(*m_system, {});
        QCOMPARE(check.verdict, PrinterCheck::Verdict::Ready);
        const QString name = prescriptionJobName("王五", "2024-03-04");
        auto surface = m_printers.printerSurface(check.printer);
        surface->setJobName(name);
        drawPage(*surface);
        QVERIFY(surface->endDocument());

        CupsServer::askAs("nobody");
        const QList<QueuedJob> seen = m_system->jobsAfter(kQueue, check.mark.lastJobId);
        const JobConfirmation confirmation = confirmJob(*m_system, check.mark, name);
        CupsServer::askAs({});
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().name, QString());
        QVERIFY2(confirmation.arrived, qPrintable(confirmation.sentence));
        QCOMPARE(confirmation.jobId, seen.first().id);
        QCOMPARE(m_system->jobsAfter(kQueue, check.mark.lastJobId).value(0).name, name);
    }

private:
    // Sends the page to the checked printer as a window would, and asks the service at once whether it
    // arrived. Qt answers every job as printed.
    JobConfirmation send(const PrinterCheck& check, const QString& jobName)
    {
        auto surface = m_printers.printerSurface(check.printer);
        surface->setJobName(jobName);
        drawPage(*surface);
        if (!surface->endDocument())
            return { false, 0, surface->errorText() };
        return confirmJob(*m_system, check.mark, jobName);
    }

    QTemporaryDir m_dir;
    CupsServer m_server;
    QtPrinterAccess m_printers;
    PrintSystem* m_system = nullptr;
};

QTEST_MAIN(CupsPrintTest)
#include "tst_cupsprint.moc"
