#include "workpiece_picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <QPainter>
#include <QPolygonF>

namespace {

struct RampRow {
    double fraction;
    QRgb colour;
};
// Muted colours, so that the path's bright ones stay readable above them.
constexpr RampRow DEPTH_RAMP[] = {
    {0.0, CWorkpiecePicture::TOP_COLOUR},
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

constexpr QRgb SILHOUETTE_SOLID = CWorkpiecePicture::TOP_COLOUR;
constexpr QRgb SILHOUETTE_PARTIAL = 0x70A0A8B0;
constexpr QRgb LEGEND_TEXT = 0xFFE0E0E0;
constexpr QRgb LEGEND_PANEL = 0xC0101418;

QRgb Shaded(QRgb colour, double shade)
{
    const auto channel = [shade](int value) {
        return std::clamp(static_cast<int>(std::lround(value * shade)), 0, 255);
    };
    return qRgb(channel(qRed(colour)), channel(qGreen(colour)), channel(qBlue(colour)));
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
    QRgb lit;
    QRgb wall;
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
    const QRgb colour = CWorkpiecePicture::DepthColour(DepthFraction(grid, top));
    return {view.Project(x, y, top), view.Project(x, y, grid.GetBox().z0), Shaded(colour, Shade(slopeX, slopeY)),
            Shaded(colour, WALL_SHADE)};
}

// Paints blocks near to far. Each pixel column remembers the highest pixel
// drawn in it; a block behind shows only above that, so every pixel is
// written once.
class CBlockPainter {
public:
    explicit CBlockPainter(QImage& image)
        : width(image.width()), height(image.height()), covered(static_cast<std::size_t>(width), height),
          pixels(reinterpret_cast<QRgb*>(image.bits())),
          stride(static_cast<std::size_t>(image.bytesPerLine()) / sizeof(QRgb))
    {
    }

    void Paint(const CBlockLook& block, const CBlockLayout& layout)
    {
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
                pixels[static_cast<std::size_t>(pixelY) * stride + static_cast<std::size_t>(pixelX)] =
                    pixelY < faceEnd ? block.lit : block.wall;
            highest = std::min(highest, first);
        }
    }

private:
    const int width;
    const int height;
    std::vector<int> covered;
    QRgb* pixels;
    const std::size_t stride;
};

} // namespace

QRgb CWorkpiecePicture::DepthColour(double fraction)
{
    if (!(fraction > 0.0))
        return DEPTH_RAMP[0].colour;
    for (std::size_t index = 1; index < std::size(DEPTH_RAMP); ++index) {
        const RampRow& low = DEPTH_RAMP[index - 1];
        const RampRow& high = DEPTH_RAMP[index];
        if (fraction <= high.fraction) {
            const double t = (fraction - low.fraction) / (high.fraction - low.fraction);
            const auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
            return qRgb(mix(qRed(low.colour), qRed(high.colour)), mix(qGreen(low.colour), qGreen(high.colour)),
                        mix(qBlue(low.colour), qBlue(high.colour)));
        }
    }
    return DEPTH_RAMP[std::size(DEPTH_RAMP) - 1].colour;
}

QImage CWorkpiecePicture::DrawRelief(const CHeightGrid& grid)
{
    QImage image(static_cast<int>(grid.GetColumns()), static_cast<int>(grid.GetRows()), QImage::Format_RGB32);
    for (std::size_t row = 0; row < grid.GetRows(); ++row)
        DrawReliefRow(grid, row, image);
    return image;
}

void CWorkpiecePicture::UpdateRelief(const CHeightGrid& grid, const CHeightGrid& previous, QImage& relief)
{
    if (previous.GetBox() != grid.GetBox() || previous.GetCell() != grid.GetCell() ||
        relief.width() != static_cast<int>(grid.GetColumns()) || relief.height() != static_cast<int>(grid.GetRows())) {
        relief = DrawRelief(grid);
        return;
    }
    const std::size_t rows = grid.GetRows();
    const std::size_t rowBytes = grid.GetColumns() * sizeof(double);
    std::vector<bool> changed(rows);
    for (std::size_t row = 0; row < rows; ++row)
        changed[row] = std::memcmp(grid.GetRow(row), previous.GetRow(row), rowBytes) != 0;
    // A row's shading reads the rows beside it.
    for (std::size_t row = 0; row < rows; ++row) {
        if (changed[row] || (row > 0 && changed[row - 1]) || (row + 1 < rows && changed[row + 1]))
            DrawReliefRow(grid, row, relief);
    }
}

void CWorkpiecePicture::DrawReliefRow(const CHeightGrid& grid, std::size_t row, QImage& image)
{
    const std::size_t columns = grid.GetColumns();
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(grid.GetRows() - 1 - row)));
    const double* heights = grid.GetRow(row);
    for (std::size_t column = 0; column < columns; ++column) {
        double slopeX = 0.0;
        double slopeY = 0.0;
        Slopes(grid, column, row, 1, slopeX, slopeY);
        line[column] = Shaded(DepthColour(DepthFraction(grid, heights[column])), Shade(slopeX, slopeY));
    }
}

QRectF CWorkpiecePicture::ReliefPlacement(const CHeightGrid& grid, const CPathView& view)
{
    // The grid's cells may reach a little past the box's far sides.
    const CStockBox& box = grid.GetBox();
    const double right = box.x0 + static_cast<double>(grid.GetColumns()) * grid.GetCell();
    const double top = box.y0 + static_cast<double>(grid.GetRows()) * grid.GetCell();
    const CViewPoint topLeft = view.Project(box.x0, top, box.z1);
    const CViewPoint bottomRight = view.Project(right, box.y0, box.z1);
    return QRectF(QPointF(topLeft.x, topLeft.y), QPointF(bottomRight.x, bottomRight.y));
}

QImage CWorkpiecePicture::DrawBlock(const CHeightGrid& grid, const CPathView& view, const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (grid.GetCellCount() == 0 || size.isEmpty())
        return image;
    const CBlockLayout layout = LayOutBlocks(grid, view);
    CBlockPainter painter(image);
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
    return image;
}

CSilhouettes CWorkpiecePicture::MeasureSilhouettes(const CHeightGrid& grid)
{
    const CStockBox& box = grid.GetBox();
    CSilhouettes measured;
    measured.frontLow.assign(grid.GetColumns(), box.z1);
    measured.frontHigh.assign(grid.GetColumns(), box.z0);
    measured.sideLow.assign(grid.GetRows(), box.z1);
    measured.sideHigh.assign(grid.GetRows(), box.z0);
    for (std::size_t row = 0; row < grid.GetRows(); ++row) {
        const double* heights = grid.GetRow(row);
        for (std::size_t column = 0; column < grid.GetColumns(); ++column) {
            const double value = heights[column];
            measured.frontLow[column] = std::min(measured.frontLow[column], value);
            measured.frontHigh[column] = std::max(measured.frontHigh[column], value);
            measured.sideLow[row] = std::min(measured.sideLow[row], value);
            measured.sideHigh[row] = std::max(measured.sideHigh[row], value);
        }
    }
    return measured;
}

void CWorkpiecePicture::DrawSilhouette(QPainter& painter, const CHeightGrid& grid, const CSilhouettes& silhouettes,
                                       const CPathView& view)
{
    if (grid.GetCellCount() == 0)
        return;
    const bool fromFront = view.GetProjection() == PROJECTION_FRONT;
    // Along the screen: columns from the front, rows from the side.
    const std::vector<double>& lows = fromFront ? silhouettes.frontLow : silhouettes.sideLow;
    const std::vector<double>& highs = fromFront ? silhouettes.frontHigh : silhouettes.sideHigh;
    const CStockBox& box = grid.GetBox();
    QPolygonF solid;
    QPolygonF partial;
    const auto point = [&](double along, double z) {
        const CViewPoint projected = fromFront ? view.Project(along, box.y0, z) : view.Project(box.x0, along, z);
        return QPointF(projected.x, projected.y);
    };
    const double start = fromFront ? box.x0 : box.y0;
    solid << point(start, box.z0);
    partial << point(start, box.z0);
    for (std::size_t index = 0; index < lows.size(); ++index) {
        const double from = start + static_cast<double>(index) * grid.GetCell();
        const double to = from + grid.GetCell();
        solid << point(from, lows[index]) << point(to, lows[index]);
        partial << point(from, highs[index]) << point(to, highs[index]);
    }
    const double end = start + static_cast<double>(lows.size()) * grid.GetCell();
    solid << point(end, box.z0);
    partial << point(end, box.z0);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(SILHOUETTE_PARTIAL));
    painter.drawPolygon(partial);
    painter.setBrush(QColor::fromRgb(SILHOUETTE_SOLID));
    painter.drawPolygon(solid);
    painter.restore();
}

void CWorkpiecePicture::DrawLegend(QPainter& painter, const QRect& bar, double bottom, double top)
{
    painter.save();
    const QFontMetrics metrics(painter.font());
    const QString labels[] = {FormatLength(top), FormatLength((top + bottom) / 2.0), FormatLength(bottom)};
    int textWidth = 0;
    for (const QString& label : labels)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(label));
    const QRect panel = bar.adjusted(-textWidth - 12, -metrics.height() / 2 - 4, 6, metrics.height() / 2 + 4);
    painter.fillRect(panel, QColor::fromRgba(LEGEND_PANEL));
    for (int y = 0; y < bar.height(); ++y) {
        const double fraction = bar.height() > 1 ? static_cast<double>(y) / (bar.height() - 1) : 0.0;
        painter.setPen(QColor::fromRgb(DepthColour(fraction)));
        painter.drawLine(bar.left(), bar.top() + y, bar.right(), bar.top() + y);
    }
    painter.setPen(QColor::fromRgb(LEGEND_TEXT));
    for (int index = 0; index < 3; ++index) {
        const int y = bar.top() + (bar.height() - 1) * index / 2;
        painter.drawLine(bar.left() - 4, y, bar.left() - 1, y);
        painter.drawText(QPoint(bar.left() - 6 - metrics.horizontalAdvance(labels[index]), y + metrics.ascent() / 2 - 1),
                         labels[index]);
    }
    painter.restore();
}

QString CWorkpiecePicture::FormatLength(double value)
{
    QString text = QString::number(value, 'f', 3);
    // A height just below zero rounds to zero, not to "-0.000".
    if (text == QStringLiteral("-0.000"))
        text.remove(0, 1);
    return text;
}
