#pragma once
// The tests' throw-away print service (tests/support/cupsserver.sh): a CUPS scheduler on a Unix socket in a
// temporary folder with one virtual PDF printer, kQueue, that is also the default printer and writes each job
// as a PDF file into pdfFolder(). Starting it points this process (and the tools it runs) at it; the
// destructor stops it and removes the folder. A test that crashes leaves nothing running either: the script
// stops the scheduler once this process is gone.

#include <QString>
#include <QStringList>

namespace qv::test {

class CupsServer {
public:
    static constexpr const char* kQueue = "QvPDF";

    CupsServer();
    ~CupsServer();
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    // False when the service could not be started; error() says why.
    bool start();
    // Stops the scheduler and keeps its printers (a service that is down), and starts it again.
    bool halt();
    bool resume();
    QString error() const { return m_error; }

    QString folder() const { return m_folder; }
    QString socket() const { return m_folder + QStringLiteral("/cups.sock"); }
    QString pdfFolder() const { return m_folder + QStringLiteral("/pdf"); }

    // Runs a CUPS tool (lpadmin, cupsreject, cupsdisable …) on this service; false, with error(), when it
    // fails.
    bool run(const QString& tool, const QStringList& arguments);
    // Adds another virtual PDF printer.
    bool addPrinter(const QString& name);
    // Restarts the service with the policy a machine's CUPS has by default, under which nobody who has not
    // logged in to it (the program never does) sees a job's name.
    bool keepJobNamesPrivate();

    // Later requests of this thread to the service say they come from user (empty: this process's user).
    static void askAs(const QString& user);

    // Waits until the job has been printed and returns the path of the PDF file it became; empty (with
    // error()) when it did not come within timeoutMs.
    QString waitForPdf(int jobId, int timeoutMs = 60000);

private:
    bool script(const QString& action);

    QString m_state;
    QString m_folder;
    QString m_error;
};

} // namespace qv::test
