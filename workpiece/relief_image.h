// The pictures of a height grid, in plain pixels (pixel_image.h): from the
// top a shaded relief coloured by depth, at an angle a lit block, from the
// front and the side the silhouettes. The toolpath window and the command
// line's picture both draw them here, so that they show the same pixels;
// text, the legend and everything drawn over the workpiece are theirs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "height_grid.h"
#include "path_view.h"
#include "pixel_image.h"

// The lowest and highest height along each line of sight of a view from the
// front (one per column) and from the side (one per row).
struct CSilhouettes {
    std::vector<double> frontLow;
    std::vector<double> frontHigh;
    std::vector<double> sideLow;
    std::vector<double> sideHigh;
};

// Where a picture lands on the screen, in pixels, edges not rounded.
struct CPixelRect {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

namespace ReliefImage {

// The material where nothing cut it.
constexpr std::uint32_t TOP_COLOUR = 0xFFA0A8B0;
// Silhouettes: where every cell along the line of sight holds material,
// and (straight alpha) where only some do.
constexpr std::uint32_t SILHOUETTE_SOLID = TOP_COLOUR;
constexpr std::uint32_t SILHOUETTE_PARTIAL = 0x70A0A8B0;

// The colour of a depth: 0 at the top of the box, 1 at its bottom.
std::uint32_t DepthColour(double fraction);

// One pixel per cell into relief, which is GetColumns() x GetRows(): the
// first pixel row is the grid's last (largest Y).
void DrawRelief(const CHeightGrid& grid, const CPixelSpan& relief);
CPixelImage DrawRelief(const CHeightGrid& grid);
// The same for a grid that differs from kept in its heights only, kept
// being the grid the relief was drawn from: kept is brought to grid, row by
// row where they differ, and only the rows whose shading may have changed
// are drawn again.
void UpdateRelief(const CHeightGrid& grid, CHeightGrid& kept, const CPixelSpan& relief);
// Where the relief lands for a view from the top.
CPixelRect ReliefPlacement(const CHeightGrid& grid, const CPathView& view);
// The relief scaled into its placement on picture, nearest cell to each
// pixel centre, as the window's painter scales it.
void PlaceRelief(const CPixelImage& relief, const CPixelRect& placement, const CPixelSpan& picture);

// The block at an angle into picture, which the caller has cleared: opaque
// where the block is, untouched elsewhere.
void DrawBlock(const CHeightGrid& grid, const CPathView& view, const CPixelSpan& picture);

// One pass over the grid for both silhouettes, so that a repaint need not
// read every cell.
CSilhouettes MeasureSilhouettes(const CHeightGrid& grid);
// From the front or the side onto picture: solid where every cell along the
// line of sight holds material, see-through (darker on the dark background)
// where only some do. The
// pixels whose centres lie inside are painted.
void DrawSilhouette(const CHeightGrid& grid, const CSilhouettes& silhouettes, const CPathView& view,
                    const CPixelSpan& picture);

// The workpiece as the view shows it, over what picture holds.
void DrawWorkpiece(const CHeightGrid& grid, const CPathView& view, CPixelImage& picture);

} // namespace ReliefImage
