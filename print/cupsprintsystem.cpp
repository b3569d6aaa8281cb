#include "print/cupsprintsystem.h"

#include <cups/cups.h>

#include <algorithm>
#include <memory>

namespace qv {

namespace {

    struct HttpClose {
        void operator()(http_t* http) const { httpClose(http); }
    };
    using Connection = std::unique_ptr<http_t, HttpClose>;

    struct IppDelete {
        void operator()(ipp_t* ipp) const { ippDelete(ipp); }
    };

    // A connection of our own per question: the scheduler may have restarted since the last one, and a
    // service that hangs must not hold the window longer than the timeout.
    Connection connectToService(int timeoutMs)
    {
        Connection http(httpConnect2(
            cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, timeoutMs, nullptr));
        if (http)
            httpSetTimeout(http.get(), timeoutMs / 1000.0, nullptr, nullptr);
        return http;
    }

    bool isError(ipp_status_t status) { return status >= IPP_STATUS_ERROR_BAD_REQUEST; }

    char* printerUri(char (&uri)[HTTP_MAX_URI], const QString& printer)
    {
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
            printer.toUtf8().constData());
        return uri;
    }

    // Every job the service keeps for the printer, finished ones too (an unknown printer has none); false
    // when the service cannot be asked. Asked directly rather than through cupsGetJobs2, which calls a job
    // whose name the service keeps private "untitled".
    bool readJobs(int timeoutMs, const QString& printer, QList<QueuedJob>& jobs)
    {
        Connection http = connectToService(timeoutMs);
        if (!http)
            return false;
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
        char uri[HTTP_MAX_URI];
        ippAddString(
            request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(uri, printer));
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
        static const char* const wanted[] = { "job-id", "job-name", "job-state" };
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
            int(std::size(wanted)), nullptr, wanted);
        const std::unique_ptr<ipp_t, IppDelete> response(cupsDoRequest(http.get(), request, "/"));
        if (!response || isError(ippGetStatusCode(response.get())))
            return cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
        QueuedJob job;
        for (ipp_attribute_t* a = ippFirstAttribute(response.get());; a = ippNextAttribute(response.get())) {
            // Each job is one group of attributes; a separator or the end closes it.
            if (!a || ippGetGroupTag(a) != IPP_TAG_JOB || !ippGetName(a)) {
                if (job.id > 0)
                    jobs.append(job);
                job = QueuedJob();
                if (!a)
                    break;
                continue;
            }
            const QByteArray name = ippGetName(a);
            if (name == "job-id")
                job.id = ippGetInteger(a, 0);
            else if (name == "job-name")
                job.name = QString::fromUtf8(ippGetString(a, 0, nullptr));
            else if (name == "job-state")
                job.ended
                    = ippGetInteger(a, 0) == IPP_JSTATE_CANCELED || ippGetInteger(a, 0) == IPP_JSTATE_ABORTED;
        }
        return true;
    }

} // namespace

CupsPrintSystem::CupsPrintSystem(int timeoutMs)
    : m_timeoutMs(timeoutMs)
{
}

PrinterListing CupsPrintSystem::printers()
{
    PrinterListing listing;
    Connection http = connectToService(m_timeoutMs);
    if (!http)
        return listing;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(http.get(), &dests);
    // No printer answers "not found"; a server error means the service is not serving, though it took the
    // connection (stopped, or hanging).
    if (count == 0 && cupsLastError() >= IPP_STATUS_ERROR_INTERNAL) {
        listing.serviceStalled = true;
        return listing;
    }
    listing.serviceRunning = true;
    for (int i = 0; i < count; ++i) {
        // Instances are the user's saved option sets of a printer, not printers.
        if (dests[i].instance)
            continue;
        const QString name = QString::fromUtf8(dests[i].name);
        listing.printers << name;
        if (dests[i].is_default)
            listing.defaultPrinter = name;
    }
    cupsFreeDests(count, dests);
    return listing;
}

PrinterStatus CupsPrintSystem::printerStatus(const QString& printer)
{
    PrinterStatus status;
    Connection http = connectToService(m_timeoutMs);
    if (!http)
        return status;
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(uri, printer));
    static const char* const wanted[]
        = { "printer-state", "printer-state-message", "printer-state-reasons", "printer-is-accepting-jobs" };
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(std::size(wanted)),
        nullptr, wanted);
    const std::unique_ptr<ipp_t, IppDelete> response(cupsDoRequest(http.get(), request, "/"));
    if (!response || isError(ippGetStatusCode(response.get())))
        return status;
    status.installed = true;
    if (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        status.acceptingJobs = ippGetBoolean(a, 0);
    if (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM)) {
        switch (ippGetInteger(a, 0)) {
        case IPP_PSTATE_PROCESSING:
            status.activity = PrinterActivity::Processing;
            break;
        case IPP_PSTATE_STOPPED:
            status.activity = PrinterActivity::Stopped;
            break;
        default:
            status.activity = PrinterActivity::Idle;
        }
    }
    if (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT))
        status.message = QString::fromUtf8(ippGetString(a, 0, nullptr));
    if (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-state-reasons", IPP_TAG_KEYWORD)) {
        for (int i = 0; i < ippGetCount(a); ++i) {
            const QString reason = QString::fromUtf8(ippGetString(a, i, nullptr));
            if (reason != QLatin1String("none"))
                status.reasons << reason;
        }
    }
    return status;
}

int CupsPrintSystem::lastJobId(const QString& printer)
{
    QList<QueuedJob> jobs;
    if (!readJobs(m_timeoutMs, printer, jobs))
        return -1;
    int last = 0;
    for (const QueuedJob& job : jobs)
        last = std::max(last, job.id);
    return last;
}

QList<QueuedJob> CupsPrintSystem::jobsAfter(const QString& printer, int after)
{
    QList<QueuedJob> jobs;
    readJobs(m_timeoutMs, printer, jobs);
    jobs.removeIf([after](const QueuedJob& job) { return job.id <= after; });
    std::sort(jobs.begin(), jobs.end(), [](const QueuedJob& a, const QueuedJob& b) { return a.id > b.id; });
    return jobs;
}

ServiceAnswer CupsPrintSystem::lastAnswer()
{
    // libcups keeps the last status per thread, and Qt's printing sends its jobs through the same library on
    // this thread.
    return { isError(cupsLastError()), QString::fromUtf8(cupsLastErrorString()) };
}

} // namespace qv
