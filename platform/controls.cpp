#include "platform/controls.h"

#include <QLabel>

namespace qv {

QString arrayName(const char* name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QLabel* caption(QWidget* parent, const QString& name, const QString& text, double left, double top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(twips(left), twips(top));
    label->adjustSize();
    return label;
}

} // namespace qv
