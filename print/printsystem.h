#pragma once
// The print service behind the printers: whether it runs, which printers it has, whether a printer takes
// jobs, and whether a job sent to it arrived. Qt draws the pages but reports neither a refused job nor a
// stopped printer, so a print is checked with the service before and after it is sent; the sentences here say
// what went wrong in words a message box can show.

#include <QList>
#include <QString>
#include <QStringList>

namespace qv {

struct PrinterListing {
    bool serviceRunning = false;
    QStringList printers; // in the service's order
    QString defaultPrinter; // empty when there is none
    bool serviceStalled = false; // not serving: it took the connection but gave no answer in time
};

enum class PrinterActivity { Idle, Processing, Stopped };

struct PrinterStatus {
    bool installed = false;
    bool acceptingJobs = true;
    PrinterActivity activity = PrinterActivity::Idle;
    QString message; // what the printer or its administrator said last, as said
    QStringList reasons; // state keywords ("media-jam-error", "paused"), without "none"
};

struct QueuedJob {
    int id = 0;
    QString name; // empty when the service keeps job names private
    bool ended = false; // aborted or cancelled: it will not print
};

// A mark taken before sending, to tell the job sent from those that were there.
struct JobMark {
    QString printer;
    int lastJobId = 0;
};

// The answer to the last request this thread sent to the service, Qt's submission of a job included.
struct ServiceAnswer {
    bool failed = false;
    QString text; // the service's own words
};

class PrintSystem {
public:
    virtual ~PrintSystem() = default;

    // Every call asks the service afresh and gives up after a few seconds.
    virtual PrinterListing printers() = 0;
    virtual PrinterStatus printerStatus(const QString& printer) = 0;
    // The newest job the printer holds, finished ones included; 0 when none. Negative when the service
    // cannot be asked.
    virtual int lastJobId(const QString& printer) = 0;
    // The jobs of the printer newer than after, newest first.
    virtual QList<QueuedJob> jobsAfter(const QString& printer, int after) = 0;
    // Read it first after sending: any later request replaces it.
    virtual ServiceAnswer lastAnswer() = 0;
};

// Why a job cannot be sent at all.
enum class PrinterProblem {
    None,
    ServiceNotRunning,
    NoPrinterInstalled,
    NoDefaultPrinter,
    ChosenNotInstalled
};

// Before sending: the printer a job goes to and whether it takes the job now.
struct PrinterCheck {
    enum class Verdict {
        Ready, // send
        Stopped, // the job waits in the queue until the printer is started again: the user chooses
        Refusing, // the printer refuses jobs: sending would lose the print
        Unavailable, // see problem
    };
    Verdict verdict = Verdict::Unavailable;
    PrinterProblem problem = PrinterProblem::None;
    QString printer; // the printer a job goes to (the default printer resolved); empty when unavailable
    QString sentence; // what to tell the user; empty when ready
    JobMark mark; // pass to confirmJob
};

// chosenPrinter empty: the system's default printer. A chosen printer that is not installed is reported,
// never replaced by another.
PrinterCheck checkPrinter(PrintSystem& system, const QString& chosenPrinter);

// After sending, at once (before anything else asks the service): whether the job arrived in the printer's
// queue, found as the newest job after the mark with the name it was sent with.
struct JobConfirmation {
    bool arrived = false;
    int jobId = 0;
    QString sentence; // when it did not arrive: that it did not, and why
};
JobConfirmation confirmJob(PrintSystem& system, const JobMark& mark, const QString& jobName);

// The names jobs carry in the queue.
QString prescriptionJobName(const QString& owner, const QString& date);
QString logBookJobName(const QString& from, const QString& to);

// The sentences, for the windows and the tests.
QString serviceNotRunningSentence();
QString serviceNotAnsweringSentence();
QString noPrinterInstalledSentence();
QString noDefaultPrinterSentence();
QString chosenNotInstalledSentence(const QString& printer);
QString refusingSentence(const QString& printer, const PrinterStatus& status);
QString stoppedSentence(const QString& printer, const PrinterStatus& status);
// The state keywords and message in words: "卡纸、“paper jam”"; empty when there are none worth saying.
QString stateReasonText(const PrinterStatus& status);

} // namespace qv
