#pragma once
// Names a designed control (its objectName is the design's name) and puts it where the design has it.

#include <QRect>
#include <QString>

namespace qv {

template <typename W> W* placed(W* widget, const QString& name, QRect rect)
{
    widget->setObjectName(name);
    widget->setGeometry(rect);
    return widget;
}

} // namespace qv
