#pragma once
// The print service through libcups: the CUPS scheduler that CUPS_SERVER, the user's client.conf or the
// system's default names (the same one Qt's printing sends to).

#include "print/printsystem.h"

namespace qv {

class CupsPrintSystem final : public PrintSystem {
public:
    // timeoutMs: how long one request may wait for the service before it counts as not running.
    explicit CupsPrintSystem(int timeoutMs = 5000);

    PrinterListing printers() override;
    PrinterStatus printerStatus(const QString& printer) override;
    int lastJobId(const QString& printer) override;
    QList<QueuedJob> jobsAfter(const QString& printer, int after) override;
    ServiceAnswer lastAnswer() override;

private:
    int m_timeoutMs;
};

} // namespace qv
