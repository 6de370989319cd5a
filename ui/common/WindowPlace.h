#pragma once
// Placing a window by its frame, as the user sees it, rather than by its client area.

#include <QMargins>
#include <QPoint>

class QWidget;

namespace kestrine {

// The frame around the top-level `window`: the one Qt has seen it in, or before its first
// showing the one the window manager says it will give; none without a window manager.
QMargins windowFrame(QWidget* window);

// Puts the outer top-left corner of `window`, framed by `frame`, at `frameTopLeft`.
void moveFrameTo(QWidget* window, const QPoint& frameTopLeft, const QMargins& frame);

} // namespace kestrine
