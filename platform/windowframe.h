#pragma once
// Placing and closing a child window whether it stands alone or sits in a sub-window of the main window's
// MDI area: the frame that moves and closes is then the sub-window, not the widget inside it.

class QWidget;

namespace qv {

// The sub-window holding w, or w itself when it stands alone.
QWidget* windowFrame(QWidget* w);

// Centres the window's frame on the screen (within the MDI area's coordinates when it sits in one).
void centreOnScreen(QWidget* w);

// Places the window's frame by the child-window rule against the main window or, standing alone, the screen.
void placeAsChildWindow(QWidget* w);

// Closes the window's frame.
void closeWindowFrame(QWidget* w);

} // namespace qv
