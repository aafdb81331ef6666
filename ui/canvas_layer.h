// Something the toolpath canvas draws with its path: under it, where the
// path leaves the picture empty, and over it, below the current block and the
// tool marker. The canvas knows nothing of what it is.
#pragma once

#include <QSize>

#include "move_table.h"
#include "path_view.h"

class QPainter;

class ICanvasLayer {
public:
    virtual ~ICanvasLayer() = default;
    virtual void PaintUnder(QPainter& painter, const CPathView& view, const QSize& size) = 0;
    virtual void PaintOver(QPainter& painter, const CPathView& view, const QSize& size) = 0;
    // Widens the box that fitting shows by what the layer draws.
    virtual void ExtendBounds(CMovePoint& min, CMovePoint& max) const = 0;
};
