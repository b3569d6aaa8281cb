#pragma once
// The coordinate rules every print surface shares: scale unit and origin, the current position, the font, the
// implicit line advance. A back end only draws at resolved positions, given in twips from the printable
// area's top-left corner.

#include "print/printsurface.h"

#include <QFont>
#include <QPointF>

namespace qv {

// Twips per unit of a scale mode.
double twipsPerUnit(ScaleMode mode);
// Twips per printer pixel: a pixel is one dot of a 600-dpi printer.
inline constexpr double kTwipsPerPixel = 1440.0 / 600.0;
// Line spacing, ascent (top of the text to its baseline) and text width of a font, in twips.
double lineSpacingTwips(const QFont& font);
double ascentTwips(const QFont& font);
double textWidthTwips(const QFont& font, const QString& text);

class ScaledPrintSurface : public PrintSurface {
public:
    void setFontName(const QString& name) override;
    void setFontSize(double points) override;
    void setFontBold(bool bold) override;

    double currentX() const override;
    double currentY() const override;
    void setCurrentX(double x) override;
    void setCurrentY(double y) override;

    void setScaleLeft(double left) override;
    void setScaleTop(double top) override;
    void setScaleMode(ScaleMode mode) override;

    void setOrientation(Orientation orientation) override;
    void setJobName(const QString& name) override { m_jobName = name; }
    void setDrawWidth(int pixels) override;

    void printText(const QString& text) override;
    void printTextNoAdvance(const QString& text) override;
    void line(double x1, double y1, double x2, double y2) override;

    void newPage() override;
    bool endDocument() override;

    bool ok() const override { return m_error.isEmpty(); }
    QString errorText() const override { return m_error; }

protected:
    ScaledPrintSurface();
    // Derived destructors call this: a job still open is abandoned, not printed.
    void abandonOpenJob();

    // Back end. The hooks that answer bool call fail() with the reason before answering false.
    virtual bool beginJob(Orientation orientation) = 0;
    virtual bool beginNextPage(Orientation orientation) = 0;
    virtual bool finishJob() = 0;
    virtual void abandonJob() = 0;
    virtual void drawText(QPointF topLeftTwips, const QString& text, const QFont& font) = 0;
    virtual void drawLine(QPointF fromTwips, QPointF toTwips, double widthTwips) = 0;

    void fail(const QString& reason);
    const QFont& font() const { return m_font; }
    const QString& jobName() const { return m_jobName; }

private:
    QPointF toTwips(double x, double y) const;
    // Begins a job when none is open; false when the surface cannot print.
    bool ensureJob();
    void drawTextAtPen(const QString& text);

    QFont m_font;
    ScaleMode m_mode = ScaleMode::Twips;
    double m_scaleLeft = 0;
    double m_scaleTop = 0;
    // The pen is kept in twips from the printable area's corner, so a change of scale does not move it.
    QPointF m_pen;
    Orientation m_orientation = Orientation::PrinterDefault;
    QString m_jobName;
    int m_drawWidth = 1;
    bool m_inJob = false;
    QString m_error;
};

} // namespace qv
