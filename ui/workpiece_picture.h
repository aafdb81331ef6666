// Pictures of a height grid for the toolpath window: from the top a shaded
// relief coloured by depth, at an angle a lit block, from the front and the
// side the silhouette, and the legend of depths. Plain drawing on QImage and
// QPainter, so that a worker thread may make the relief and tests may read
// the pixels; which picture and when is the workpiece layer's.
#pragma once

#include <vector>

#include <QImage>
#include <QString>

#include "height_grid.h"
#include "path_view.h"

class QPainter;

// The lowest and highest height along each line of sight of a view from the
// front (one per column) and from the side (one per row).
struct CSilhouettes {
    std::vector<double> frontLow;
    std::vector<double> frontHigh;
    std::vector<double> sideLow;
    std::vector<double> sideHigh;
};

class CWorkpiecePicture {
public:
    // The material where nothing cut it.
    static constexpr QRgb TOP_COLOUR = 0xFFA0A8B0;

    // The colour of a depth: 0 at the top of the box, 1 at its bottom.
    static QRgb DepthColour(double fraction);
    // One pixel per cell, the first image row the grid's last (largest Y).
    static QImage DrawRelief(const CHeightGrid& grid);
    // The same for a grid that differs from previous, whose relief is
    // given: only rows whose shading may have changed are drawn again.
    static void UpdateRelief(const CHeightGrid& grid, const CHeightGrid& previous, QImage& relief);
    // Where the relief of DrawRelief lands for a view from the top.
    static QRectF ReliefPlacement(const CHeightGrid& grid, const CPathView& view);
    // The block at an angle into a transparent image of the given size.
    static QImage DrawBlock(const CHeightGrid& grid, const CPathView& view, const QSize& size);
    // One pass over the grid for both silhouettes, so that a repaint need
    // not read every cell.
    static CSilhouettes MeasureSilhouettes(const CHeightGrid& grid);
    // From the front or the side: solid where every cell along the line of
    // sight holds material, lighter where only some do.
    static void DrawSilhouette(QPainter& painter, const CHeightGrid& grid, const CSilhouettes& silhouettes,
                               const CPathView& view);
    // A bar of the depth colours with the box's top, middle and bottom.
    static void DrawLegend(QPainter& painter, const QRect& bar, double bottom, double top);
    // "Z -2.500": the way the window writes a height.
    static QString FormatLength(double value);

private:
    static void DrawReliefRow(const CHeightGrid& grid, std::size_t row, QImage& image);
};
