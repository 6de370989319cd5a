#pragma once
// Placing a window by its frame, as the user sees it, rather than by its client area.

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kestrine {

// The frame around the top-level `window`: the one Qt has seen it in, or before its first
// showing the one the window manager says it will give; none without a window manager.
QMargins windowFrame(QWidget* window);

// Puts the outer top-left corner of `window`, framed by `frame`, at `frameTopLeft`.
void moveFrameTo(QWidget* window, const QPoint& frameTopLeft, const QMargins& frame);

// Where the frame `outer` goes so that it lies on a screen: the screen that holds most of it
// (the nearest when none holds any part), and within that screen's available area; a frame
// larger than that area keeps its top-left corner there. `screens` and `available` pair up.
QPoint keptOnScreen(const QRect& outer, const QList<QRect>& screens, const QList<QRect>& available);
// The same for the screens of this desktop.
QPoint keptOnScreen(const QRect& outer);
// Puts the top-level `window`, not shown yet, with its frame's top-left corner at
// `frameTopLeft`, or where keptOnScreen moves it.
void placeOnScreen(QWidget* window, const QPoint& frameTopLeft);
// Once shown: moves `window` onto the screen where the frame it got is larger than the one
// foreseen (no window manager said which it would give).
void keepOnScreen(QWidget* window);

// The size of `window` with its frame: the frame it has, or before its first showing the one
// the window manager will give it, so that it is centred by the size it will have on screen.
QSize outerFrameSize(const QWidget* window);
// The size of the whole desktop (every screen).
QSize desktopSize();

} // namespace kestrine
