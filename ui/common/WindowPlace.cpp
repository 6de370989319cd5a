#include "ui/common/WindowPlace.h"

#include "platform/desktop/FrameExtents.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <limits>

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

QPoint keptOnScreen(const QRect& outer, const QList<QRect>& screens,
                    const QList<QRect>& available) {
    if (screens.isEmpty() || screens.size() != available.size())
        return outer.topLeft();
    qsizetype best = 0;
    qint64 bestArea = -1;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QRect common = screens[i].intersected(outer);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        // How far the frame lies beside and above or below the screen.
        const QRect& screen = screens[i];
        const qint64 across =
            std::max({0, screen.left() - outer.right(), outer.left() - screen.right()});
        const qint64 down =
            std::max({0, screen.top() - outer.bottom(), outer.top() - screen.bottom()});
        const qint64 distance = across * across + down * down;
        if (area > bestArea || (area == bestArea && area == 0 && distance < bestDistance)) {
            best = i;
            bestArea = area;
            bestDistance = distance;
        }
    }
    const QRect room = available[best];
    auto within = [](int at, int length, int from, int roomLength) {
        return std::max(from, std::min(at, from + roomLength - length));
    };
    return {within(outer.x(), outer.width(), room.x(), room.width()),
            within(outer.y(), outer.height(), room.y(), room.height())};
}

QPoint keptOnScreen(const QRect& outer) {
    QList<QRect> screens, available;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens << screen->geometry();
        available << screen->availableGeometry();
    }
    return keptOnScreen(outer, screens, available);
}

void placeOnScreen(QWidget* window, const QPoint& frameTopLeft) {
    // A window manager asked for the frame has made the native window exist, and Qt places an
    // existing window by its client area: the place asked for is the frame's.
    const QMargins frame =
        window->windowHandle() ? expectedFrameExtents(window->winId()) : QMargins();
    const QPoint at = keptOnScreen(QRect(frameTopLeft, window->size().grownBy(frame)));
    window->move(at + QPoint(frame.left(), frame.top()));
}

void keepOnScreen(QWidget* window) {
    const QRect outer = window->frameGeometry();
    const QPoint at = keptOnScreen(outer);
    if (at != outer.topLeft())
        window->move(at);
}

QSize outerFrameSize(const QWidget* window) {
    if (window->isVisible())
        return window->frameGeometry().size();
    return outerSize(window->size(), expectedFrameExtents(window->winId()));
}

QSize desktopSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualSize() : QSize();
}

} // namespace kestrine
