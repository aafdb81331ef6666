#include "window_placement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// A title bar and borders as most window managers draw them, for a window
// whose frame is not known yet.
constexpr QMargins ASSUMED_FRAME(4, 30, 4, 4);

} // namespace

QRect FitFrameIntoArea(const QRect& frame, const QRect& area)
{
    if (area.isEmpty())
        return frame;
    const int width = std::min(frame.width(), area.width());
    const int height = std::min(frame.height(), area.height());
    const int x = std::clamp(frame.x(), area.left(), area.right() + 1 - width);
    const int y = std::clamp(frame.y(), area.top(), area.bottom() + 1 - height);
    return {x, y, width, height};
}

QRect PlaceFrameBeside(const QRect& panelFrame, const QSize& wished, const QSize& smallest, int gap,
                       const QRect& area)
{
    const int left = panelFrame.right() + 1 + gap;
    const int room = area.right() + 1 - left;
    if (room >= smallest.width())
        return FitFrameIntoArea(QRect(QPoint(left, panelFrame.top()), QSize(std::min(wished.width(), room),
                                                                            wished.height())),
                                area);
    return FitFrameIntoArea(QRect(panelFrame.topLeft(), wished), area);
}

QMargins FrameMarginsOf(const QWidget& window)
{
    const QWindow* handle = window.windowHandle();
    if (handle != nullptr && window.isVisible()) {
        const QMargins margins = handle->frameMargins();
        if (!margins.isNull())
            return margins;
    }
    return ASSUMED_FRAME;
}

QRect AvailableAreaAt(const QPoint& point)
{
    const QScreen* screen = QGuiApplication::screenAt(point);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

void FitWindowIntoScreen(QWidget& window)
{
    const QMargins frame = FrameMarginsOf(window);
    const QRect client(window.pos() + QPoint(frame.left(), frame.top()), window.size());
    const QRect outer = client.marginsAdded(frame);
    const QRect fitted = FitFrameIntoArea(outer, AvailableAreaAt(outer.center()));
    if (fitted == outer)
        return;
    window.resize(fitted.marginsRemoved(frame).size());
    window.move(fitted.topLeft());
}
