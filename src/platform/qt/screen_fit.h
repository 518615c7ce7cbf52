// Windows on a screen too small for them (a small screen, or a large scale factor): their size
// and place within the screen's available area, the part that panels and docks leave free.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace quillet {

// The available area of the screen that `window` shows on; for a window not yet shown, its
// owner's screen, else the primary screen.
QRect AvailableArea(const QWidget& window);

// The frame the window system puts around `window`: as measured once it has been shown (scaled,
// a pixel more on each edge, for the rounding); before that its owner's; a usual title bar and
// border when neither is known (no owner shown, or a frame told that does not hold its window).
QMargins FrameOf(const QWidget& window);

// The largest client size `window` may have with its frame inside the available area.
QSize ClientRoom(const QWidget& window);

// Moves `window`, no further than it must go, so that its frame lies within the available
// area; a window larger than the area goes to the area's top or left edge. Its size is kept.
void KeepOnScreen(QWidget& window);

// For a window being shown: on a screen too small for it (its size reaches the client room in
// width or height), as large as the area holds and its frame within the area, at the area's
// top left unless it was moved; on a screen that holds it, the window system places it, and a
// window that was moved is only kept on the screen.
void FitOnScreen(QWidget& window);

}  // namespace quillet
