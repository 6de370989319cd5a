#pragma once
// The frame a window manager will put around a window that is not shown yet.

#include <QMargins>
#include <QSize>
#include <QWindow>

namespace kestrine {

// The outer size of a window of this client size in this frame.
QSize outerSize(const QSize& client, const QMargins& frame);

// The frame the window manager will give this top-level window, asked before the window is
// mapped; no margins without a window manager that answers (or off X11).
QMargins expectedFrameExtents(WId window);

} // namespace kestrine
