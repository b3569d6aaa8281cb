#pragma once
// Window layouts are designed in twips (1440 per inch); this is the one conversion to screen pixels.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace qv {

// Pixels at the screen's logical DPI (96 when no screen is known).
double logicalDpi();
int twips(double value);
double pixelsToTwips(int pixels);
QRect twipsRect(double left, double top, double width, double height);
QSize twipsSize(double width, double height);

} // namespace qv
