#include "ui/common/WindowPlace.h"

#include "platform/desktop/FrameExtents.h"

#include <QWidget>

namespace kestrine {

namespace {

// Qt places a window by its frame once it has seen one; until then, a window that exists
// natively is placed by its client area.
bool frameSeen(const QWidget* window) {
    return window->frameGeometry() != window->geometry();
}

} // namespace

QMargins windowFrame(QWidget* window) {
    if (frameSeen(window)) {
        const QRect outer = window->frameGeometry(), inner = window->geometry();
        return {inner.left() - outer.left(), inner.top() - outer.top(),
                outer.right() - inner.right(), outer.bottom() - inner.bottom()};
    }
    return expectedFrameExtents(window->winId());
}

void moveFrameTo(QWidget* window, const QPoint& frameTopLeft, const QMargins& frame) {
    if (frameSeen(window) || !window->windowHandle())
        window->move(frameTopLeft);
    else
        window->move(frameTopLeft + QPoint(frame.left(), frame.top()));
}

} // namespace kestrine
