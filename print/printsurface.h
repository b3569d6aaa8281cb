#pragma once
// The page that printed output is drawn on. Coordinates are in the current scale unit (twips unless the
// caller switches to millimetres) and measured from the scale origin; text is placed by its top-left corner.
//
// A surface serves one caller's print: the job begins with the first drawing operation and ends with
// endDocument(). Drawing after endDocument() begins another job with the same settings. A job that is never
// ended is abandoned, not printed.

#include <QString>

namespace qv {

enum class ScaleMode { Twips = 1, Millimetres = 6 };
enum class Orientation { PrinterDefault = 0, Portrait = 1, Landscape = 2 };

class PrintSurface {
public:
    virtual ~PrintSurface() = default;

    // Font of all following text until changed.
    virtual void setFontName(const QString& name) = 0;
    virtual void setFontSize(double points) = 0;
    virtual void setFontBold(bool bold) = 0;

    // Top-left corner of the next text, in the current unit.
    virtual double currentX() const = 0;
    virtual double currentY() const = 0;
    virtual void setCurrentX(double x) = 0;
    virtual void setCurrentY(double y) = 0;

    // The coordinates that the left and top edge of the printable area get. Changing the scale mode puts both
    // back to 0.
    virtual void setScaleLeft(double left) = 0;
    virtual void setScaleTop(double top) = 0;
    virtual void setScaleMode(ScaleMode mode) = 0;

    // Takes effect when the next job (or, within a job, the next page) begins.
    virtual void setOrientation(Orientation orientation) = 0;
    // The name the next job carries in the printer's queue (and as a PDF file's title), so that the practice
    // can tell it there. Takes effect when the next job begins.
    virtual void setJobName(const QString& name) = 0;
    // Width of following lines in printer pixels (dots of a 600-dpi printer).
    virtual void setDrawWidth(int pixels) = 0;

    // Draws the text at the current position; afterwards x is back at scale left and y is one line lower.
    virtual void printText(const QString& text) = 0;
    // Draws the text at the current position; afterwards x is at the end of the text and y is unchanged.
    virtual void printTextNoAdvance(const QString& text) = 0;
    // A black straight line of the current draw width.
    virtual void line(double x1, double y1, double x2, double y2) = 0;

    virtual void newPage() = 0;
    // Hands the job to the printer. False when the job (or anything drawn in it) failed.
    virtual bool endDocument() = 0;

    // False once the surface cannot print (no printer, an output that cannot be opened); errorText() says why
    // in words a message box can show.
    virtual bool ok() const = 0;
    virtual QString errorText() const = 0;
};

} // namespace qv
