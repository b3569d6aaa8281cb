#include "app/screenfit.h"

#include <algorithm>

namespace qv {

namespace {
    // A restored window is visibly a window: a margin of the screen shows around it.
    const int kNormalShare = 85; // per cent of the room in each direction
}

QMargins assumedFrame() { return QMargins(8, 32, 8, 8); }

QMargins widestOf(const QMargins& a, const QMargins& b)
{
    return QMargins(std::max(a.left(), b.left()), std::max(a.top(), b.top()), std::max(a.right(), b.right()),
        std::max(a.bottom(), b.bottom()));
}

QSize minimumSizeWithin(const QSize& wanted, const QRect& available, const QMargins& frame)
{
    const QSize room = available.marginsRemoved(frame).size();
    return QSize(std::max(0, std::min(wanted.width(), room.width())),
        std::max(0, std::min(wanted.height(), room.height())));
}

QRect normalGeometryWithin(const QRect& available, const QMargins& frame, const QSize& minimum)
{
    const QRect room = available.marginsRemoved(frame);
    auto fit
        = [](int share, int least, int most) { return std::max(0, std::min(std::max(share, least), most)); };
    const int width = fit(room.width() * kNormalShare / 100, minimum.width(), room.width());
    const int height = fit(room.height() * kNormalShare / 100, minimum.height(), room.height());
    return QRect(
        room.left() + (room.width() - width) / 2, room.top() + (room.height() - height) / 2, width, height);
}

} // namespace qv
