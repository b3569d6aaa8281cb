#pragma once
// Sending a print and telling the user what became of it. Qt reports neither a refused job nor a stopped
// printer, so a print is checked with the print service before it goes (a stopped printer is the user's
// choice, a refusing or missing one is not sent to) and confirmed after it went. Whatever does not reach the
// printer is said with its reason, and the user may save the pages as a PDF file instead.

#include <QString>

#include <functional>

class QWidget;

namespace qv {

class PrintSurface;
struct Services;

struct PrintRequest {
    QString document; // what the messages call it: "处方", "门诊日志"
    QString printer; // the printer chosen in the settings; empty: the system's default printer
    QString jobName; // its name in the printer's queue, and the title of a PDF saved instead
};

enum class PrintOutcome { Printed, SavedAsPdf, NotPrinted };

// Draws the whole document on the surface and ends it; false when the surface failed.
using DrawDocument = std::function<bool(PrintSurface&)>;

// Prints through services.printers, asking services.messages and services.fileDialogs what to do when the
// printer cannot take the job. A printer service that cannot be asked (none, or jobs forced to a PDF file)
// leaves the print unchecked: only a surface that fails is reported then.
PrintOutcome printDocument(
    Services& services, const PrintRequest& request, const DrawDocument& draw, QWidget* parent = nullptr);

// The texts the user sees.
QString sendAnywayQuestion(const QString& document, const QString& stoppedSentence);
QString savePdfQuestion(const QString& document, const QString& reason);
QString notPrintedMessage(const QString& document, const QString& reason);
QString notSavedMessage(const QString& document, const QString& reason);
// Said with a chosen printer that is not installed: where another is chosen.
QString choosePrinterHint();

} // namespace qv
