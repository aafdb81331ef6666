#include "relief_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

struct RampRow {
    double fraction;
    std::uint32_t colour;
};
// Muted colours, so that the path's bright ones stay readable above them.
constexpr RampRow DEPTH_RAMP[] = {
    {0.0, ReliefImage::TOP_COLOUR},
    {0.25, 0xFFC2A060},
    {0.5, 0xFFB8703C},
    {0.75, 0xFF8E4A5E},
    {1.0, 0xFF5A3A8C},
};

// Light from the upper left (towards -X, +Y), above.
constexpr double LIGHT_X = -0.5;
constexpr double LIGHT_Y = 0.5;
constexpr double LIGHT_Z = 0.7071067811865476;
constexpr double MIN_SHADE = 0.3;
constexpr double MAX_SHADE = 1.3;
// The sides of the block at an angle, darker than any lit top.
constexpr double WALL_SHADE = 0.55;
// Half the width and height of a cell's diamond at an angle, per unit of
// its edge on screen.
constexpr double ISO_HALF_WIDTH = 0.8660254037844386;
constexpr double ISO_HALF_HEIGHT = 0.5;
// Cells narrower than this many pixels at an angle are taken together.
constexpr double MIN_BLOCK_PIXELS = 0.8;
constexpr double PAINTER_GRID = 64.0;

int Red(std::uint32_t colour) { return static_cast<int>((colour >> 16) & 0xFF); }
int Green(std::uint32_t colour) { return static_cast<int>((colour >> 8) & 0xFF); }
int Blue(std::uint32_t colour) { return static_cast<int>(colour & 0xFF); }

std::uint32_t OpaqueColour(int red, int green, int blue)
{
    return 0xFF000000u | (static_cast<std::uint32_t>(red) << 16) | (static_cast<std::uint32_t>(green) << 8) |
           static_cast<std::uint32_t>(blue);
}

// A colour channel: rounded half away from zero and clamped to [0, 255],
// as std::lround and a clamp would give (not a number gives 0), without the
// library call that dominated drawing a relief.
int Channel(double value)
{
    if (!(value > 0.0))
        return 0;
    if (value >= 255.0)
        return 255;
    const int whole = static_cast<int>(value);
    return value - whole >= 0.5 ? whole + 1 : whole;
}

std::uint32_t Shaded(std::uint32_t colour, double shade)
{
    return OpaqueColour(Channel(Red(colour) * shade), Channel(Green(colour) * shade), Channel(Blue(colour) * shade));
}

double DepthFraction(const CHeightGrid& grid, double height)
{
    const CStockBox& box = grid.GetBox();
    return (box.z1 - height) / (box.z1 - box.z0);
}

// Brightness of a surface with the given slopes, 1 where it is flat.
double Shade(double slopeX, double slopeY)
{
    const double length = std::sqrt(slopeX * slopeX + slopeY * slopeY + 1.0);
    const double lit = (-slopeX * LIGHT_X - slopeY * LIGHT_Y + LIGHT_Z) / length;
    return std::clamp(lit / LIGHT_Z, MIN_SHADE, MAX_SHADE);
}

// The slopes at a cell from its neighbours, one-sided at the edges.
void Slopes(const CHeightGrid& grid, std::size_t column, std::size_t row, std::size_t step, double& slopeX,
            double& slopeY)
{
    const std::size_t left = column >= step ? column - step : 0;
    const std::size_t right = std::min(column + step, grid.GetColumns() - 1);
    const std::size_t below = row >= step ? row - step : 0;
    const std::size_t above = std::min(row + step, grid.GetRows() - 1);
    const double cell = grid.GetCell();
    slopeX = right == left ? 0.0
                           : (grid.GetHeight(right, row) - grid.GetHeight(left, row)) /
                                 (static_cast<double>(right - left) * cell);
    slopeY = above == below ? 0.0
                            : (grid.GetHeight(column, above) - grid.GetHeight(column, below)) /
                                  (static_cast<double>(above - below) * cell);
}

// A pixel coordinate clamped to [0, limit - 1]; far off-screen and
// non-finite values too, which no int can hold.
int PixelIndex(double value, int limit)
{
    if (!(value > 0.0))
        return 0;
    return value < limit - 1 ? static_cast<int>(value) : limit - 1;
}

// The pixels [first, end) whose centres lie in (from, to], clamped to
// [0, limit); empty for edges that are not numbers. A centre on an edge
// goes to the shape above or left of it, as Qt's painter decides.
void CentresWithin(double from, double to, int limit, int& first, int& end)
{
    first = 0;
    end = 0;
    const double low = std::floor(from - 0.5) + 1.0;
    const double high = std::floor(to - 0.5) + 1.0;
    if (!(high > 0.0 && low < limit && low < high))
        return;
    first = low > 0.0 ? static_cast<int>(low) : 0;
    end = high < limit ? static_cast<int>(high) : limit;
}

// Columns [first, end) of a row, one pixel per cell. The same arithmetic as
// Slopes, Shade and DepthColour cell by cell, but a flat cell keeps its
// depth colour as it is and neighbours of one height share its colour:
// most of a machined part is flat floors.
void DrawReliefCells(const CHeightGrid& grid, std::size_t row, std::size_t first, std::size_t end,
                     const CPixelSpan& relief)
{
    const std::size_t columns = grid.GetColumns();
    const std::size_t rows = grid.GetRows();
    std::uint32_t* line = relief.Row(static_cast<int>(rows - 1 - row));
    const double* heights = grid.GetRow(row);
    const double* below = grid.GetRow(row > 0 ? row - 1 : 0);
    const double* above = grid.GetRow(std::min(row + 1, rows - 1));
    const double cell = grid.GetCell();
    const std::size_t rowSpan = (row > 0 ? 1 : 0) + (row + 1 < rows ? 1 : 0);
    const double rowWidth = static_cast<double>(rowSpan) * cell;
    double lastHeight = std::numeric_limits<double>::quiet_NaN();
    std::uint32_t depthColour = 0;
    for (std::size_t column = first; column < end; ++column) {
        const std::size_t left = column > 0 ? column - 1 : 0;
        const std::size_t right = std::min(column + 1, columns - 1);
        const double slopeX =
            right == left ? 0.0 : (heights[right] - heights[left]) / (static_cast<double>(right - left) * cell);
        const double slopeY = rowSpan == 0 ? 0.0 : (above[column] - below[column]) / rowWidth;
        const double height = heights[column];
        if (!(height == lastHeight)) {
            depthColour = ReliefImage::DepthColour(DepthFraction(grid, height));
            lastHeight = height;
        }
        line[column] = slopeX == 0.0 && slopeY == 0.0 ? depthColour : Shaded(depthColour, Shade(slopeX, slopeY));
    }
}

void DrawReliefRow(const CHeightGrid& grid, std::size_t row, const CPixelSpan& relief)
{
    DrawReliefCells(grid, row, 0, grid.GetColumns(), relief);
}

// The grid in blocks of step x step cells, at least MIN_BLOCK_PIXELS on
// the screen, and half a block's extent there.
struct CBlockLayout {
    std::size_t step;
    std::ptrdiff_t columns;
    std::ptrdiff_t rows;
    double halfWidth;
    double halfHeight;
};

CBlockLayout LayOutBlocks(const CHeightGrid& grid, const CPathView& view)
{
    const double edge = grid.GetCell() * view.GetScale();
    const auto step = static_cast<std::size_t>(std::clamp(std::floor(MIN_BLOCK_PIXELS / edge), 1.0, 1e6));
    return {step, static_cast<std::ptrdiff_t>((grid.GetColumns() + step - 1) / step),
            static_cast<std::ptrdiff_t>((grid.GetRows() + step - 1) / step),
            std::max(0.5, ISO_HALF_WIDTH * edge * static_cast<double>(step)),
            std::max(0.5, ISO_HALF_HEIGHT * edge * static_cast<double>(step))};
}

// One block as the view shows it: its top and the box's bottom below the
// block's middle, and the colours of its lit face and of its wall.
struct CBlockLook {
    CViewPoint up;
    CViewPoint down;
    std::uint32_t lit;
    std::uint32_t wall;
};

CBlockLook LookAtBlock(const CHeightGrid& grid, const CPathView& view, const CBlockLayout& layout,
                       std::size_t column0, std::size_t row0)
{
    // The lowest cell of the block, so that a slot narrower than a pixel
    // still shows.
    std::size_t lowColumn = column0;
    std::size_t lowRow = row0;
    for (std::size_t row = row0; row < std::min(row0 + layout.step, grid.GetRows()); ++row) {
        for (std::size_t column = column0; column < std::min(column0 + layout.step, grid.GetColumns()); ++column) {
            if (grid.GetHeight(column, row) < grid.GetHeight(lowColumn, lowRow)) {
                lowColumn = column;
                lowRow = row;
            }
        }
    }
    const double top = grid.GetHeight(lowColumn, lowRow);
    const double middleOffset = 0.5 * static_cast<double>(layout.step - 1) * grid.GetCell();
    const double x = grid.GetCenterX(column0) + middleOffset;
    const double y = grid.GetCenterY(row0) + middleOffset;
    double slopeX = 0.0;
    double slopeY = 0.0;
    Slopes(grid, lowColumn, lowRow, layout.step, slopeX, slopeY);
    const std::uint32_t colour = ReliefImage::DepthColour(DepthFraction(grid, top));
    return {view.Project(x, y, top), view.Project(x, y, grid.GetBox().z0), Shaded(colour, Shade(slopeX, slopeY)),
            Shaded(colour, WALL_SHADE)};
}

// Paints blocks near to far. Each pixel column remembers the highest pixel
// drawn in it; a block behind shows only above that, so every pixel is
// written once.
class CBlockPainter {
public:
    explicit CBlockPainter(const CPixelSpan& picture)
        : picture(picture), covered(static_cast<std::size_t>(picture.width), picture.height)
    {
    }

    void Paint(const CBlockLook& block, const CBlockLayout& layout)
    {
        const int width = picture.width;
        const int height = picture.height;
        const double leftEdge = std::floor(block.up.x - layout.halfWidth);
        const double rightEdge = std::ceil(block.up.x + layout.halfWidth) - 1.0;
        const double topEdge = std::floor(block.up.y - layout.halfHeight);
        const double bottomEdge = std::ceil(block.down.y + layout.halfHeight) - 1.0;
        // Off the picture, or not a number at all.
        if (!(rightEdge >= 0.0 && leftEdge < width && bottomEdge >= 0.0 && topEdge < height))
            return;
        const int left = PixelIndex(leftEdge, width);
        const int right = PixelIndex(rightEdge, width);
        const int first = PixelIndex(topEdge, height);
        const int last = PixelIndex(bottomEdge, height);
        const double faceEnd = block.up.y + layout.halfHeight;
        for (int pixelX = left; pixelX <= right; ++pixelX) {
            int& highest = covered[static_cast<std::size_t>(pixelX)];
            const int end = std::min(last, highest - 1);
            for (int pixelY = first; pixelY <= end; ++pixelY)
                picture.Row(pixelY)[pixelX] = pixelY < faceEnd ? block.lit : block.wall;
            highest = std::min(highest, first);
        }
    }

private:
    const CPixelSpan& picture;
    std::vector<int> covered;
};

// A coordinate on the 1/64 pixel grid on which Qt's painter places the
// corners of what it fills.
double OnPainterGrid(double value) { return std::floor(value * PAINTER_GRID + 0.5) / PAINTER_GRID; }

// Paints colour into the pixels whose centres lie in the rectangle.
void FillRect(const CPixelSpan& picture, double left, double top, double right, double bottom, std::uint32_t colour)
{
    int firstX = 0;
    int endX = 0;
    int firstY = 0;
    int endY = 0;
    CentresWithin(OnPainterGrid(left), OnPainterGrid(right), picture.width, firstX, endX);
    CentresWithin(OnPainterGrid(top), OnPainterGrid(bottom), picture.height, firstY, endY);
    for (int y = firstY; y < endY; ++y) {
        std::uint32_t* line = picture.Row(y);
        for (int x = firstX; x < endX; ++x)
            line[x] = BlendOver(colour, line[x]);
    }
}

} // namespace

namespace ReliefImage {

std::uint32_t DepthColour(double fraction)
{
    if (!(fraction > 0.0))
        return DEPTH_RAMP[0].colour;
    for (std::size_t index = 1; index < std::size(DEPTH_RAMP); ++index) {
        const RampRow& low = DEPTH_RAMP[index - 1];
        const RampRow& high = DEPTH_RAMP[index];
        if (fraction <= high.fraction) {
            const double t = (fraction - low.fraction) / (high.fraction - low.fraction);
            const auto mix = [t](int a, int b) { return Channel(a + (b - a) * t); };
            return OpaqueColour(mix(Red(low.colour), Red(high.colour)), mix(Green(low.colour), Green(high.colour)),
                                mix(Blue(low.colour), Blue(high.colour)));
        }
    }
    return DEPTH_RAMP[std::size(DEPTH_RAMP) - 1].colour;
}

void DrawRelief(const CHeightGrid& grid, const CPixelSpan& relief)
{
    for (std::size_t row = 0; row < grid.GetRows(); ++row)
        DrawReliefRow(grid, row, relief);
}

CPixelImage DrawRelief(const CHeightGrid& grid)
{
    CPixelImage relief(static_cast<int>(grid.GetColumns()), static_cast<int>(grid.GetRows()), TOP_COLOUR);
    DrawRelief(grid, relief.GetSpan());
    return relief;
}

void UpdateRelief(const CHeightGrid& grid, CHeightGrid& kept, const CPixelSpan& relief)
{
    // Compared in stretches of a row, so that a step that cuts a little of
    // many rows (a circle) redraws only around what it cut.
    constexpr std::size_t STRETCH = 64;
    const std::size_t rows = grid.GetRows();
    const std::size_t columns = grid.GetColumns();
    const std::size_t stretches = (columns + STRETCH - 1) / STRETCH;
    std::vector<std::uint8_t> changed(rows * stretches);
    double* keptRows = kept.GetData();
    for (std::size_t row = 0; row < rows; ++row) {
        const double* now = grid.GetRow(row);
        double* was = keptRows + row * columns;
        for (std::size_t stretch = 0; stretch < stretches; ++stretch) {
            const std::size_t first = stretch * STRETCH;
            const std::size_t bytes = (std::min(first + STRETCH, columns) - first) * sizeof(double);
            if (std::memcmp(now + first, was + first, bytes) != 0) {
                changed[row * stretches + stretch] = 1;
                std::memcpy(was + first, now + first, bytes);
            }
        }
    }
    // A cell's shading reads the cells beside it, in its row and the rows
    // above and below: a changed stretch redraws with a cell's margin.
    const auto isChanged = [&](std::size_t row, std::size_t stretch) {
        return changed[row * stretches + stretch] != 0 || (row > 0 && changed[(row - 1) * stretches + stretch] != 0) ||
               (row + 1 < rows && changed[(row + 1) * stretches + stretch] != 0);
    };
    for (std::size_t row = 0; row < rows; ++row) {
        std::size_t stretch = 0;
        while (stretch < stretches) {
            if (!isChanged(row, stretch)) {
                ++stretch;
                continue;
            }
            const std::size_t from = stretch;
            while (stretch < stretches && isChanged(row, stretch))
                ++stretch;
            const std::size_t first = from * STRETCH;
            DrawReliefCells(grid, row, first > 0 ? first - 1 : 0, std::min(stretch * STRETCH + 1, columns), relief);
        }
    }
}

CPixelRect ReliefPlacement(const CHeightGrid& grid, const CPathView& view)
{
    // The grid's cells may reach a little past the box's far sides.
    const CStockBox& box = grid.GetBox();
    const double right = box.x0 + static_cast<double>(grid.GetColumns()) * grid.GetCell();
    const double top = box.y0 + static_cast<double>(grid.GetRows()) * grid.GetCell();
    const CViewPoint topLeft = view.Project(box.x0, top, box.z1);
    const CViewPoint bottomRight = view.Project(right, box.y0, box.z1);
    return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void PlaceRelief(const CPixelImage& relief, const CPixelRect& placement, const CPixelSpan& picture)
{
    const double width = placement.right - placement.left;
    const double height = placement.bottom - placement.top;
    if (relief.GetWidth() == 0 || relief.GetHeight() == 0 || !(width > 0.0) || !(height > 0.0))
        return;
    int firstX = 0;
    int endX = 0;
    int firstY = 0;
    int endY = 0;
    CentresWithin(placement.left, placement.right, picture.width, firstX, endX);
    CentresWithin(placement.top, placement.bottom, picture.height, firstY, endY);
    const double columnsPerPixel = relief.GetWidth() / width;
    const double rowsPerPixel = relief.GetHeight() / height;
    std::vector<int> columnAt(static_cast<std::size_t>(std::max(0, endX - firstX)));
    for (int x = firstX; x < endX; ++x) {
        const double column = std::floor((x + 0.5 - placement.left) * columnsPerPixel);
        columnAt[static_cast<std::size_t>(x - firstX)] = std::clamp(static_cast<int>(column), 0, relief.GetWidth() - 1);
    }
    for (int y = firstY; y < endY; ++y) {
        const double row = std::floor((y + 0.5 - placement.top) * rowsPerPixel);
        const int sourceRow = std::clamp(static_cast<int>(row), 0, relief.GetHeight() - 1);
        std::uint32_t* line = picture.Row(y);
        for (int x = firstX; x < endX; ++x)
            line[x] = BlendOver(relief.GetPixel(columnAt[static_cast<std::size_t>(x - firstX)], sourceRow), line[x]);
    }
}

void DrawBlock(const CHeightGrid& grid, const CPathView& view, const CPixelSpan& picture)
{
    if (grid.GetCellCount() == 0 || picture.IsEmpty())
        return;
    const CBlockLayout layout = LayOutBlocks(grid, view);
    CBlockPainter painter(picture);
    // Near to far: a row farther back (larger Y) and a column farther left
    // (smaller X) lie behind, so blocks go by rising (row - column).
    for (std::ptrdiff_t diagonal = 1 - layout.columns; diagonal < layout.rows; ++diagonal) {
        const std::ptrdiff_t firstColumn = std::max<std::ptrdiff_t>(0, -diagonal);
        const std::ptrdiff_t lastColumn = std::min(layout.columns - 1, layout.rows - 1 - diagonal);
        for (std::ptrdiff_t blockColumn = firstColumn; blockColumn <= lastColumn; ++blockColumn) {
            const auto column0 = static_cast<std::size_t>(blockColumn) * layout.step;
            const auto row0 = static_cast<std::size_t>(blockColumn + diagonal) * layout.step;
            painter.Paint(LookAtBlock(grid, view, layout, column0, row0), layout);
        }
    }
}

CSilhouettes MeasureSilhouettes(const CHeightGrid& grid)
{
    const CStockBox& box = grid.GetBox();
    const std::size_t columns = grid.GetColumns();
    CSilhouettes measured;
    measured.frontLow.assign(columns, box.z1);
    measured.frontHigh.assign(columns, box.z0);
    measured.sideLow.assign(grid.GetRows(), box.z1);
    measured.sideHigh.assign(grid.GetRows(), box.z0);
    double* const frontLow = measured.frontLow.data();
    double* const frontHigh = measured.frontHigh.data();
    for (std::size_t row = 0; row < grid.GetRows(); ++row) {
        const double* heights = grid.GetRow(row);
        // The row's own bounds in locals: stored through the vectors at
        // every cell they would be read back from memory each time.
        double rowLow = box.z1;
        double rowHigh = box.z0;
        for (std::size_t column = 0; column < columns; ++column) {
            const double value = heights[column];
            frontLow[column] = std::min(frontLow[column], value);
            frontHigh[column] = std::max(frontHigh[column], value);
            rowLow = std::min(rowLow, value);
            rowHigh = std::max(rowHigh, value);
        }
        measured.sideLow[row] = rowLow;
        measured.sideHigh[row] = rowHigh;
    }
    return measured;
}

void DrawSilhouette(const CHeightGrid& grid, const CSilhouettes& silhouettes, const CPathView& view,
                    const CPixelSpan& picture)
{
    if (grid.GetCellCount() == 0 || picture.IsEmpty())
        return;
    const bool fromFront = view.GetProjection() == PROJECTION_FRONT;
    // Along the screen: columns from the front, rows from the side.
    const std::vector<double>& lows = fromFront ? silhouettes.frontLow : silhouettes.sideLow;
    const std::vector<double>& highs = fromFront ? silhouettes.frontHigh : silhouettes.sideHigh;
    const CStockBox& box = grid.GetBox();
    const auto point = [&](double along, double z) {
        return fromFront ? view.Project(along, box.y0, z) : view.Project(box.x0, along, z);
    };
    const double start = fromFront ? box.x0 : box.y0;
    const double bottom = point(start, box.z0).y;
    const std::uint32_t partial = Premultiply(SILHOUETTE_PARTIAL);
    // The lighter part first, the solid one over it.
    for (const std::vector<double>* heights : {&highs, &lows}) {
        const std::uint32_t colour = heights == &lows ? SILHOUETTE_SOLID : partial;
        for (std::size_t index = 0; index < heights->size(); ++index) {
            const double from = start + static_cast<double>(index) * grid.GetCell();
            const double to = from + grid.GetCell();
            const CViewPoint left = point(from, (*heights)[index]);
            FillRect(picture, left.x, left.y, point(to, (*heights)[index]).x, bottom, colour);
        }
    }
}

void DrawWorkpiece(const CHeightGrid& grid, const CPathView& view, CPixelImage& picture)
{
    switch (view.GetProjection()) {
    case PROJECTION_TOP:
        PlaceRelief(DrawRelief(grid), ReliefPlacement(grid, view), picture.GetSpan());
        break;
    case PROJECTION_ISOMETRIC: {
        CPixelImage block(picture.GetWidth(), picture.GetHeight(), 0);
        DrawBlock(grid, view, block.GetSpan());
        picture.DrawOver(block);
        break;
    }
    case PROJECTION_FRONT:
    case PROJECTION_SIDE:
        DrawSilhouette(grid, MeasureSilhouettes(grid), view, picture.GetSpan());
        break;
    }
}

} // namespace ReliefImage
