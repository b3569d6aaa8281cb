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

// Extra room above each body line, in twips.
inline constexpr double kBodyLineGap = 90;
inline constexpr double kBodyLeft = 4560;
inline constexpr double kBodyTop = 2580;
// The body box's width: a longer line wraps, as it does on screen.
inline constexpr double kBodyWidth = 5775;
// The rule above the signature row: no body line may reach below it.
inline constexpr double kSignatureRuleY = 6660;

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

// The body lines that are printed: lines that are not blank, as they are (leading blanks kept), each wrapped
// at the body's width.
QStringList printedBodyLines(const QString& body);

// The printed body lines, sheet by sheet: as many on each sheet as fit above the signature rule. Always at
// least one sheet, which may be empty.
QList<QStringList> bodySheets(const QString& body);

// Draws the paper, shifted by (margin - 10 mm) right and down, and ends the document: one portrait page, and
// for a body too long for it further pages that repeat the paper with the next body lines. False when the
// surface failed (its errorText() says why).
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
