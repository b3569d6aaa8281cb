#pragma once
// Where the main window may be on a screen: its minimum size and its normal (not maximised) place, both
// kept inside the screen's available area with room for the window frame, so no edge is ever out of reach.

#include <QMargins>
#include <QRect>
#include <QSize>

namespace qv {

// The frame a window manager adds around the window when it is not yet known (title bar and borders).
QMargins assumedFrame();

// Each edge as wide as the wider of the two.
QMargins widestOf(const QMargins& a, const QMargins& b);

// The wanted minimum size, no larger than the available area less the frame.
QSize minimumSizeWithin(const QSize& wanted, const QRect& available, const QMargins& frame);

// The normal geometry (inside the frame): most of the available area, never below minimum, centred, the
// frame included, in the available area.
QRect normalGeometryWithin(const QRect& available, const QMargins& frame, const QSize& minimum);

} // namespace qv
