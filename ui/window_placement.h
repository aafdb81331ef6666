// Where a window opens: always inside the screen's available area (the
// screen less its panels and docks), whatever was stored or whatever the
// scale makes of its size; a new window beside the panel where there is
// room, shrunk to the room where it is narrower, over the panel where
// there is none. Rectangles are frames, title bar included.
#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

// The frame moved and, where it is larger than the area, shrunk into it.
QRect FitFrameIntoArea(const QRect& frame, const QRect& area);
// A frame of the wished size right of the panel, at its top.
QRect PlaceFrameBeside(const QRect& panelFrame, const QSize& wished, const QSize& smallest, int gap,
                       const QRect& area);

// The frame a window's client rectangle will have: its own once shown, else
// the common title bar and borders.
QMargins FrameMarginsOf(const QWidget& window);
// The available area of the screen that holds the point, or else the
// primary screen's.
QRect AvailableAreaAt(const QPoint& point);
// Moves and resizes a top-level window so that its frame lies inside the
// available area of the screen it is on.
void FitWindowIntoScreen(QWidget& window);
