#include "print/scaledsurface.h"

#include <QFontMetricsF>
#include <QImage>

#include <algorithm>

namespace qv {

namespace {

    // Font metrics at 1440 dots per inch, so one device unit is one twip.
    QFontMetricsF twipsMetrics(const QFont& font)
    {
        static const QImage device = [] {
            QImage image(1, 1, QImage::Format_ARGB32);
            const int dotsPerMetre = qRound(1440 / 0.0254);
            image.setDotsPerMeterX(dotsPerMetre);
            image.setDotsPerMeterY(dotsPerMetre);
            return image;
        }();
        return QFontMetricsF(font, &device);
    }

} // namespace

double twipsPerUnit(ScaleMode mode) { return mode == ScaleMode::Millimetres ? 1440.0 / 25.4 : 1.0; }

double lineSpacingTwips(const QFont& font) { return twipsMetrics(font).lineSpacing(); }

double ascentTwips(const QFont& font) { return twipsMetrics(font).ascent(); }

double textWidthTwips(const QFont& font, const QString& text)
{
    return twipsMetrics(font).horizontalAdvance(text);
}

ScaledPrintSurface::ScaledPrintSurface() { m_font.setPointSizeF(12); }

void ScaledPrintSurface::abandonOpenJob()
{
    if (m_inJob)
        abandonJob();
    m_inJob = false;
}

void ScaledPrintSurface::setFontName(const QString& name) { m_font.setFamily(name); }

void ScaledPrintSurface::setFontSize(double points)
{
    if (points > 0)
        m_font.setPointSizeF(points);
}

void ScaledPrintSurface::setFontBold(bool bold) { m_font.setBold(bold); }

double ScaledPrintSurface::currentX() const { return m_pen.x() / twipsPerUnit(m_mode) + m_scaleLeft; }

double ScaledPrintSurface::currentY() const { return m_pen.y() / twipsPerUnit(m_mode) + m_scaleTop; }

void ScaledPrintSurface::setCurrentX(double x) { m_pen.setX(toTwips(x, 0).x()); }

void ScaledPrintSurface::setCurrentY(double y) { m_pen.setY(toTwips(0, y).y()); }

void ScaledPrintSurface::setScaleLeft(double left) { m_scaleLeft = left; }

void ScaledPrintSurface::setScaleTop(double top) { m_scaleTop = top; }

void ScaledPrintSurface::setScaleMode(ScaleMode mode)
{
    m_mode = mode;
    m_scaleLeft = 0;
    m_scaleTop = 0;
}

void ScaledPrintSurface::setOrientation(Orientation orientation) { m_orientation = orientation; }

void ScaledPrintSurface::setDrawWidth(int pixels) { m_drawWidth = std::max(1, pixels); }

void ScaledPrintSurface::printText(const QString& text)
{
    drawTextAtPen(text);
    m_pen = QPointF(0, m_pen.y() + lineSpacingTwips(m_font));
}

void ScaledPrintSurface::printTextNoAdvance(const QString& text)
{
    drawTextAtPen(text);
    m_pen.rx() += textWidthTwips(m_font, text);
}

void ScaledPrintSurface::line(double x1, double y1, double x2, double y2)
{
    if (ensureJob())
        drawLine(toTwips(x1, y1), toTwips(x2, y2), m_drawWidth * kTwipsPerPixel);
}

void ScaledPrintSurface::newPage()
{
    // A new page before anything was drawn starts the job with its first page, as the printer would.
    if (!m_inJob) {
        ensureJob();
        return;
    }
    if (ok())
        beginNextPage(m_orientation);
    m_pen = QPointF();
}

bool ScaledPrintSurface::endDocument()
{
    if (!ok()) {
        abandonOpenJob();
        return false;
    }
    if (!m_inJob)
        return true; // nothing drawn, nothing to print
    m_inJob = false;
    m_pen = QPointF();
    return finishJob();
}

void ScaledPrintSurface::fail(const QString& reason)
{
    if (m_error.isEmpty())
        m_error = reason;
}

QPointF ScaledPrintSurface::toTwips(double x, double y) const
{
    const double unit = twipsPerUnit(m_mode);
    return QPointF((x - m_scaleLeft) * unit, (y - m_scaleTop) * unit);
}

bool ScaledPrintSurface::ensureJob()
{
    if (!ok())
        return false;
    if (!m_inJob)
        m_inJob = beginJob(m_orientation);
    return m_inJob && ok();
}

void ScaledPrintSurface::drawTextAtPen(const QString& text)
{
    if (ensureJob())
        drawText(m_pen, text, m_font);
}

} // namespace qv
