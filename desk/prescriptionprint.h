#pragma once
// Printing the prescription paper: the same texts, fonts and positions in twips as on screen, shifted by the
// print margins of the settings. Printing does not save.

#include "desk/paperlayout.h"
#include "platform/services.h"
#include "platform/typedvalues.h"

#include <QPointF>
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
// The top of the practice name, the paper's title.
inline constexpr double kTitleTop = 300;

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

// The printed body lines in groups that belong together on a sheet: a line and the usage lines ("用法…")
// that follow it.
QList<QStringList> printedBodyGroups(const QString& body);

// The printed body lines, sheet by sheet: as many on each sheet as fit above the signature rule, broken
// between groups, so that a drug line never ends a sheet whose next sheet begins with its usage. A group
// longer than a sheet breaks where the sheet is full. Always at least one sheet, which may be empty.
QList<QStringList> bodySheets(const QString& body);

// The mark every sheet of a prescription printed on several sheets carries, so that the dispenser can tell
// one prescription of two sheets from two prescriptions: "第1页/共2页". A prescription of one sheet has none.
QString sheetMark(int sheet, int sheetCount);

// The title line of a sheet that carries a mark of markWidth: where the practice name and the mark go (their
// top-left corners). The mark ends where the 档案号 field ends, in the header fields' font, its baseline on
// the title's. A title that would come closer to it than one character moves left, but no further than the
// header fields' left edge; a title too wide even then keeps its place, and the mark goes to the foot of the
// diagnosis column, which nothing else uses.
struct TitleLine {
    QPointF title;
    QPointF mark;
};
TitleLine titleLine(double titleWidth, double markWidth);

// Draws the paper, shifted by (margin - 10 mm) right and down, and ends the document: one portrait page, and
// for a body too long for it further pages that repeat the paper with the next body lines, every page of such
// a print with its sheet mark. False when the surface failed (its errorText() says why).
bool printPaper(
    PrintSurface& surface, const PrescriptionPaper& paper, double leftMarginMm, double topMarginMm);

// Prints on the prescription printer of the settings (the system's default printer unless one is chosen) with
// the margins of the settings, as the job "处方 <owner> <date>". A printer that is stopped is the user's
// choice; one that refuses, is missing, or whose queue did not get the job is reported, and the user may save
// the page as a PDF file instead (print/printoutcome.h). True when the page was printed or saved.
bool printPrescription(Services& services, const PrescriptionPaper& paper, QWidget* parent = nullptr);

// The texts the user sees.
QString noPrinterQuestion(const QString& reason);
QString printFailedMessage(const QString& reason);

} // namespace qv
