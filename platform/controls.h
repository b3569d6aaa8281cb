#pragma once
// Making the designed controls of a window: each gets the design's name as its objectName (arrays as
// "Text5(3)") and its place in twips.

#include "platform/units.h"

#include <QRect>
#include <QString>
#include <QWidget>

class QLabel;

namespace qv {

// "name(index)", the objectName of a member of a control array.
QString arrayName(const char* name, int index);

// Names a control and puts it at a place already in pixels.
template <typename W> W* placed(W* widget, const QString& name, QRect rect)
{
    widget->setObjectName(name);
    widget->setGeometry(rect);
    return widget;
}

// Makes a control of type W on parent at left, top, width, height in twips.
template <typename W>
W* placed(QWidget* parent, const QString& name, double left, double top, double width, double height)
{
    return placed(new W(parent), name, twipsRect(left, top, width, height));
}

// A caption that sizes itself to its text, as the designs' captions do.
QLabel* caption(QWidget* parent, const QString& name, const QString& text, double left, double top);

} // namespace qv
