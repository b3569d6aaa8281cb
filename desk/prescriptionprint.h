#pragma once
// Printing the prescription paper: the same texts, fonts and positions in twips as on screen, shifted by the
// print margins of the settings. Printing does not save.

#include "desk/paperlayout.h"
#include "platform/services.h"
#include "platform/typedvalues.h"

#include <QString>
#include <QStringList>

#include <array>

class QWidget;

namespace qv {

class PrintSurface;

// At most this many body lines are printed; the paper has room for no more.
inline constexpr int kPrintedBodyLines = 20;
// Extra room above each body line, in twips.
inline constexpr double kBodyLineGap = 90;
inline constexpr double kBodyLeft = 4560;
inline constexpr double kBodyTop = 2580;

// What the paper shows, with the widths its self-sizing labels have taken (in twips).
struct PrescriptionPaper {
    QString title; // the practice name
    double titleWidth = 0;
    std::array<QString, kFieldCount> values;
    std::array<double, kFieldCount> captionWidths {}; // 0 for the diagnosis lines, which have no caption
    QString body; // lines end in CR LF, CR or LF
};

// A paper whose label widths are measured with the print fonts (for printing without the window).
PrescriptionPaper measuredPaper(
    const QString& title, const std::array<QString, kFieldCount>& values, const QString& body);

// The body lines that are printed: lines that are not blank, as they are (leading blanks kept), the first 20.
QStringList printedBodyLines(const QString& body);

// Draws the paper as one portrait page, shifted by (margin - 10 mm) right and down, and ends the document.
// False when the surface failed (its errorText() says why).
bool printPaper(
    PrintSurface& surface, const PrescriptionPaper& paper, double leftMarginMm, double topMarginMm);

// Prints on the system's default printer with the margins of the settings. Without a printer the user is told
// and may save the page as a PDF file instead; a print that fails is reported. True when the page was printed
// or saved.
bool printPrescription(Services& services, const PrescriptionPaper& paper, QWidget* parent = nullptr);

// The texts the user sees.
QString noPrinterQuestion(const QString& reason);
QString printFailedMessage(const QString& reason);

} // namespace qv
