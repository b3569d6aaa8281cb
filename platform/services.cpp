#include "platform/services.h"
#include "platform/units.h"

#include <QPoint>
#include <QSize>

namespace qv {

QPoint childWindowPosition(const QSize& parentSize, const QSize& ownSize)
{
    return QPoint((parentSize.width() - ownSize.width()) / 2 - twips(150),
        (parentSize.height() - ownSize.height()) / 2 - twips(450));
}

} // namespace qv
