// Pictures of a height grid for the toolpath window: from the top a shaded
// relief coloured by depth, at an angle a lit block, from the front and the
// side the silhouette, and the legend of depths. The pixels are those of
// relief_image.h, which the command line's picture draws too, wrapped in
// QImage and handed to a QPainter; only the legend's text is drawn here.
// A worker thread may make the relief and tests may read the pixels; which
// picture and when is the workpiece layer's.
#pragma once

#include <QImage>
#include <QString>

#include "height_grid.h"
#include "path_view.h"
#include "relief_image.h"

class QPainter;

namespace WorkpiecePicture {

// The material where nothing cut it.
constexpr QRgb TOP_COLOUR = ReliefImage::TOP_COLOUR;

// The colour of a depth: 0 at the top of the box, 1 at its bottom.
inline QRgb DepthColour(double fraction) { return ReliefImage::DepthColour(fraction); }
// One pixel per cell, the first image row the grid's last (largest Y).
QImage DrawRelief(const CHeightGrid& grid);
// The same for a grid whose relief was drawn from kept: kept is brought to
// grid, and only rows whose shading may have changed are drawn again (all
// of them, when kept is of another box).
void UpdateRelief(const CHeightGrid& grid, CHeightGrid& kept, QImage& relief);
// Where the relief of DrawRelief lands for a view from the top.
QRectF ReliefPlacement(const CHeightGrid& grid, const CPathView& view);
// The block at an angle into a transparent image of the given size.
QImage DrawBlock(const CHeightGrid& grid, const CPathView& view, const QSize& size);
// One pass over the grid for both silhouettes, so that a repaint need not
// read every cell.
inline CSilhouettes MeasureSilhouettes(const CHeightGrid& grid) { return ReliefImage::MeasureSilhouettes(grid); }
// From the front or the side: solid where every cell along the line of
// sight holds material, darker and see-through on the dark background where
// only some do; over the whole of the painter's device, in its own pixels.
void DrawSilhouette(QPainter& painter, const CHeightGrid& grid, const CSilhouettes& silhouettes,
                    const CPathView& view);
// A bar of the depth colours with the box's top, middle and bottom.
void DrawLegend(QPainter& painter, const QRect& bar, double bottom, double top);
// "Z -2.500": the way the window writes a height.
QString FormatLength(double value);
// The pixels of image for the drawing in relief_image.h; image must be of
// a 32-bit format.
CPixelSpan SpanOf(QImage& image);

} // namespace WorkpiecePicture

