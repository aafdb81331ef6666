#include "workpiece_picture.h"

#include <algorithm>

#include <QPaintDevice>
#include <QPainter>

namespace {

constexpr QRgb LEGEND_TEXT = 0xFFE0E0E0;
constexpr QRgb LEGEND_PANEL = 0xC0101418;

} // namespace

namespace WorkpiecePicture {

CPixelSpan SpanOf(QImage& image)
{
    if (image.isNull())
        return {};
    return {reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
            static_cast<std::size_t>(image.bytesPerLine()) / sizeof(std::uint32_t)};
}

QImage DrawRelief(const CHeightGrid& grid)
{
    QImage image(static_cast<int>(grid.GetColumns()), static_cast<int>(grid.GetRows()), QImage::Format_RGB32);
    ReliefImage::DrawRelief(grid, SpanOf(image));
    return image;
}

void UpdateRelief(const CHeightGrid& grid, CHeightGrid& kept, QImage& relief)
{
    if (kept.GetBox() != grid.GetBox() || kept.GetCell() != grid.GetCell() ||
        kept.GetColumns() != grid.GetColumns() || kept.GetRows() != grid.GetRows() ||
        relief.width() != static_cast<int>(grid.GetColumns()) || relief.height() != static_cast<int>(grid.GetRows())) {
        kept = grid;
        relief = DrawRelief(grid);
        return;
    }
    ReliefImage::UpdateRelief(grid, kept, SpanOf(relief));
}

QRectF ReliefPlacement(const CHeightGrid& grid, const CPathView& view)
{
    const CPixelRect placed = ReliefImage::ReliefPlacement(grid, view);
    return QRectF(QPointF(placed.left, placed.top), QPointF(placed.right, placed.bottom));
}

QImage DrawBlock(const CHeightGrid& grid, const CPathView& view, const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    ReliefImage::DrawBlock(grid, view, SpanOf(image));
    return image;
}

void DrawSilhouette(QPainter& painter, const CHeightGrid& grid, const CSilhouettes& silhouettes,
                                       const CPathView& view)
{
    const QPaintDevice* device = painter.device();
    if (device == nullptr || grid.GetCellCount() == 0)
        return;
    // Drawn in the device's own pixels, so that a scaled display keeps its
    // edges sharp.
    const qreal ratio = device->devicePixelRatioF();
    QImage image(qRound(device->width() * ratio), qRound(device->height() * ratio),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return;
    image.fill(Qt::transparent);
    CPathView deviceView = view;
    if (ratio != 1.0)
        deviceView.ZoomAbout(0.0, 0.0, ratio);
    ReliefImage::DrawSilhouette(grid, silhouettes, deviceView, SpanOf(image));
    image.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(0.0, 0.0), image);
}

void DrawLegend(QPainter& painter, const QRect& bar, double bottom, double top)
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

QString FormatLength(double value)
{
    QString text = QString::number(value, 'f', 3);
    // A height just below zero rounds to zero, not to "-0.000".
    if (text == QStringLiteral("-0.000"))
        text.remove(0, 1);
    return text;
}

} // namespace WorkpiecePicture
