// What a print becomes, decided with the print service: sent to the printer chosen, held back from a stopped
// printer unless the user says so, and never silently lost when the printer refuses, is missing, or did not
// get the job; the PDF offered instead carries the job's name.

#include "print/printoutcome.h"
#include "print/printsystem.h"
#include "print/recordingprint.h"
#include "tests/support/testenv.h"

#include <QMap>
#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

// A print service as a test sets it: the jobs it holds do not change while the code under test prints.
class ScriptedPrintSystem final : public PrintSystem {
public:
    PrinterListing listing { true, { "P1", "Slip" }, "P1" };
    QMap<QString, PrinterStatus> statuses;
    int lastJob = 5;
    QList<QueuedJob> queued; // newest first; what arrives after the check

    PrinterListing printers() override { return listing; }
    PrinterStatus printerStatus(const QString& printer) override
    {
        PrinterStatus status = statuses.value(printer);
        status.installed = listing.serviceRunning && listing.printers.contains(printer);
        return status;
    }
    int lastJobId(const QString&) override { return listing.serviceRunning ? lastJob : -1; }
    QList<QueuedJob> jobsAfter(const QString&, int after) override
    {
        QList<QueuedJob> out;
        for (const QueuedJob& job : queued)
            if (job.id > after)
                out << job;
        return out;
    }
    ServiceAnswer lastAnswer() override { return {}; }
};

const QString kJob = "处方 张三 2024-01-02";

bool drawOneLine(PrintSurface& surface)
{
    surface.printText("LINE");
    return surface.endDocument();
}

struct World {
    World()
    {
        printers.printers = { "P1", "Slip" };
        printers.defaultPrinter = "P1";
        printers.system = &system;
        env.services.printers = &printers;
        system.queued = { { 6, kJob, false } };
    }
    PrintOutcome print(const QString& printer = "Slip")
    {
        return printDocument(env.services, { "处方", printer, kJob }, drawOneLine);
    }
    TestEnv env;
    ScriptedPrintSystem system;
    RecordingPrinterAccess printers;
};

} // namespace

class PrintOutcomeTest final : public QObject {
    Q_OBJECT

private slots:
    // A stopped printer keeps the job until started again: the user is told why and chooses.
    void aStoppedPrinterIsTheUsersChoice()
    {
        World w;
        w.system.statuses["Slip"].activity = PrinterActivity::Stopped;
        w.system.statuses["Slip"].message = "paper jam";
        QCOMPARE(w.print(), PrintOutcome::NotPrinted);
        QCOMPARE(w.env.messages.texts(),
            QStringList { sendAnywayQuestion("处方", stoppedSentence("Slip", w.system.statuses["Slip"])) });
        QVERIFY(w.env.messages.last().contains("“paper jam”"));
        QVERIFY(w.printers.surfacePrinters.isEmpty());

        w.env.messages.setNextAnswers({ true });
        QCOMPARE(w.print(), PrintOutcome::Printed);
        QCOMPARE(w.printers.last()->finishedJobs(), 1);
        QCOMPARE(w.env.messages.texts().size(), 2);
    }

    // A job not in the queue after sending, or aborted there, or a surface that failed: each is said with its
    // reason, and the PDF saved instead is the document under the job's name.
    void whatCannotReachThePrinterIsSaidAndMaySaveAPdf()
    {
        struct Case {
            const char* name;
            std::function<void(World&)> arrange;
            QString reason;
        };
        const QList<Case> cases {
            { "no job arrived", [](World& w) { w.system.queued.clear(); }, "打印任务没有送到打印机“Slip”。" },
            { "job aborted", [](World& w) { w.system.queued.first().ended = true; },
                "打印机“Slip”上的打印任务被中止，没有打印。" },
        };
        for (const Case& c : cases) {
            World w;
            c.arrange(w);
            QCOMPARE(w.print(), PrintOutcome::NotPrinted);
            QVERIFY2(w.env.messages.last().startsWith("处方没有打印！\n" + c.reason), c.name);
            QVERIFY2(w.env.messages.last().endsWith("要把处方保存为 PDF 文件吗？"), c.name);
            QCOMPARE(w.env.messages.shown().last().icon, Messages::Icon::Warning);
            QCOMPARE(w.printers.surfacePrinters, QStringList { "Slip" });

            w.env.messages.setNextAnswers({ true });
            w.env.fileDialogs.next = w.env.dir.filePath("处方");
            QCOMPARE(w.print(), PrintOutcome::SavedAsPdf);
            QCOMPARE(w.env.fileDialogs.lastTitle, QString("保存处方"));
            QCOMPARE(w.printers.pdfPaths(), QStringList { w.env.dir.filePath("处方.pdf") });
            QCOMPARE(w.printers.last()->jobNames, QStringList { kJob });
            QCOMPARE(w.printers.last()->finishedJobs(), 1);
        }

        // A surface that fails while drawing offers the same.
        World w;
        int calls = 0;
        const auto failFirst = [&](PrintSurface& surface) { return ++calls > 1 && drawOneLine(surface); };
        w.env.messages.setNextAnswers({ true });
        w.env.fileDialogs.next = w.env.dir.filePath("a.pdf");
        QCOMPARE(
            printDocument(w.env.services, { "门诊日志", "", kJob }, failFirst), PrintOutcome::SavedAsPdf);
        QVERIFY(w.env.messages.last().startsWith("门诊日志没有打印！\n"));
        QCOMPARE(w.env.fileDialogs.lastTitle, QString("保存门诊日志"));
    }
};

QTEST_MAIN(PrintOutcomeTest)
#include "tst_printoutcome.moc"
