#include "platform/units.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace qv {

double logicalDpi()
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = app->primaryScreen())
            return screen->logicalDotsPerInchX();
    }
    return 96.0;
}

int twips(double value) { return static_cast<int>(std::lround(value * logicalDpi() / 1440.0)); }

double pixelsToTwips(int pixels) { return pixels * 1440.0 / logicalDpi(); }

QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

QSize twipsSize(double width, double height) { return QSize(twips(width), twips(height)); }

} // namespace qv
