#include "toolpath_canvas.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "canvas_layer.h"
#include "path_raster.h"
#include "path_recolour.h"

namespace {

constexpr qreal CURRENT_BLOCK_WIDTH = 3.0;
constexpr QRgb TOOL_COLOUR = 0xFFFFFFFF;
constexpr qreal TOOL_RADIUS = 7.0;
constexpr QRgb ORIGIN_COLOUR = 0xFFB0BEC5;
constexpr QRgb TEXT_COLOUR = 0xFFE0E0E0;
constexpr QRgb PANEL_COLOUR = 0xC0101418;
constexpr int CORNER_MARGIN = 10;
constexpr qreal AXIS_LENGTH = 28.0;
constexpr qreal MESSAGE_POINT_SIZE = 10.0;
// A drag shorter than this is a click.
constexpr qreal CLICK_SLOP = 3.0;
// The scale bar aims at this length in pixels and picks 1, 2 or 5 times a
// power of ten units.
constexpr double SCALE_BAR_PIXELS = 100.0;
constexpr double SCALE_BAR_STEPS[] = {1.0, 2.0, 5.0, 10.0};
// The scale bar's panel beyond the bar and its label.
constexpr qreal SCALE_BAR_PADDING = 12.0;

struct AxisRow {
    const char* name;
    QRgb colour;
};
constexpr AxisRow AXES[] = {
    {"X", 0xFFEF5350},
    {"Y", 0xFF66BB6A},
    {"Z", 0xFF42A5F5},
};

QPointF ToQt(const CViewPoint& point) { return {point.x, point.y}; }

// Numbers on the scale bar: no exponent, no trailing zeros.
QString ScaleText(double value)
{
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace

CToolpathCanvas::CToolpathCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(160, 120);
    QFont small = font();
    small.setPointSizeF(8.0);
    setFont(small);
}

void CToolpathCanvas::SetPath(std::shared_ptr<const CMoveTable> newPath)
{
    path = std::move(newPath);
    ids.reset();
    picture = QImage();
    step = CStepState();
    Fit();
}

void CToolpathCanvas::Fit()
{
    CPathView fittedView = view;
    CMovePoint min;
    CMovePoint max;
    if (path == nullptr || !path->GetBounds(min, max))
        min = max = CMovePoint{};
    for (const ICanvasLayer* layer : layers)
        layer->ExtendBounds(min, max);
    // The axes and the legend stay off the picture: beside it, or above it,
    // whichever leaves it larger.
    QPointF base;
    const QRectF axes = AxesBox(view.GetProjection(), base);
    const QSize legend = legendSize ? legendSize(view.GetProjection()) : QSize();
    const int axesWidth = static_cast<int>(std::ceil(axes.right()));
    const int axesHeight = static_cast<int>(std::ceil(axes.bottom()));
    // The scale bar at the bottom right: its right strip or a strip below.
    const QSizeF scaleBarBound = ScaleBarBound();
    const int scaleWidth = static_cast<int>(std::ceil(scaleBarBound.width())) + CORNER_MARGIN;
    const int scaleHeight = static_cast<int>(std::ceil(scaleBarBound.height())) + CORNER_MARGIN;
    const QMargins candidates[] = {
        QMargins(axesWidth, 0, std::max(legend.width(), scaleWidth), 0),
        QMargins(axesWidth, 0, legend.width(), scaleHeight),
        QMargins(0, std::max(axesHeight, legend.height()), 0, scaleHeight),
    };
    bool any = false;
    for (const QMargins& room : candidates) {
        CPathView candidate = view;
        candidate.Fit(min, max, std::max(1, width() - room.left() - room.right()),
                      std::max(1, height() - room.top() - room.bottom()), FIT_MARGIN);
        candidate.Pan(room.left(), room.top());
        if (!any || candidate.GetScale() > fittedView.GetScale()) {
            fittedView = candidate;
            fitRoom = room;
            any = true;
        }
    }
    ChangeView(fittedView, true);
}

void CToolpathCanvas::SetLegendSize(std::function<QSize(PathProjection)> size)
{
    legendSize = std::move(size);
}

void CToolpathCanvas::SetProjection(PathProjection projection)
{
    view.SetProjection(projection);
    Fit();
}

void CToolpathCanvas::ZoomAbout(const QPointF& point, double factor)
{
    CPathView zoomed = view;
    zoomed.ZoomAbout(point.x(), point.y(), factor);
    ChangeView(zoomed, false);
}

void CToolpathCanvas::Pan(const QPointF& delta)
{
    CPathView panned = view;
    panned.Pan(delta.x(), delta.y());
    ChangeView(panned, false);
}

void CToolpathCanvas::ChangeView(const CPathView& newView, bool isFitted)
{
    fitted = isFitted;
    if (newView == view && HasCurrentPicture())
        return;
    view = newView;
    update();
    emit ViewChanged();
}

void CToolpathCanvas::SetPicture(std::shared_ptr<const CMoveIdImage> newIds, const CPathView& drawnView,
                                 std::size_t firstMove)
{
    ids = std::move(newIds);
    pictureView = drawnView;
    pictureFirst = firstMove;
    if (ids == nullptr) {
        picture = QImage();
    } else if (picture.width() != ids->GetWidth() || picture.height() != ids->GetHeight()) {
        picture = QImage(ids->GetWidth(), ids->GetHeight(), QImage::Format_ARGB32_Premultiplied);
    }
    recolourPending = true;
    update();
}

CPathView CToolpathCanvas::GetDeviceView() const
{
    CPathView deviceView = view;
    const double ratio = devicePixelRatioF();
    if (ratio != 1.0)
        deviceView.ZoomAbout(0.0, 0.0, ratio);
    return deviceView;
}

QSize CToolpathCanvas::GetDeviceSize() const
{
    const double ratio = devicePixelRatioF();
    return QSize(qRound(width() * ratio), qRound(height() * ratio));
}

bool CToolpathCanvas::HasCurrentPicture() const
{
    return ids != nullptr && pictureView == GetDeviceView() &&
           QSize(ids->GetWidth(), ids->GetHeight()) == GetDeviceSize() && pictureFirst == GetFirstDrawnMove();
}

void CToolpathCanvas::SetPathShowing(PathShowing showing)
{
    if (showing == pathShowing)
        return;
    pathShowing = showing;
    recolourPending = true;
    update();
}

std::size_t CToolpathCanvas::GetFirstDrawnMove() const
{
    return pathShowing == SHOW_PATH_AHEAD ? step.doneCount : 0;
}

void CToolpathCanvas::SetStep(const CStepState& state)
{
    if (state == step)
        return;
    step = state;
    recolourPending = true;
    update();
}

void CToolpathCanvas::AddLayer(ICanvasLayer* layer)
{
    layers.push_back(layer);
    update();
}

void CToolpathCanvas::SetUnitName(const QString& name)
{
    if (name == unitName)
        return;
    unitName = name;
    update();
}

void CToolpathCanvas::SetMessage(const QString& text)
{
    if (text == message)
        return;
    message = text;
    update();
}

QPointF CToolpathCanvas::MapToCanvas(const CMovePoint& point) const { return ToQt(view.Project(point)); }

CMovePoint CToolpathCanvas::GetToolPoint() const
{
    if (path == nullptr || path->IsEmpty())
        return CMovePoint{};
    const std::size_t done = std::min(step.doneCount, path->GetCount());
    return done == 0 ? startPoint : path->GetEnd(done - 1);
}

void CToolpathCanvas::SetStartPoint(const CMovePoint& point)
{
    if (point.x == startPoint.x && point.y == startPoint.y && point.z == startPoint.z)
        return;
    startPoint = point;
    update();
}

void CToolpathCanvas::Recolour()
{
    recolourPending = false;
    if (ids == nullptr || picture.isNull())
        return;
    // Opaque pixels are 0xFFRRGGBB words, the palette's own form; empty
    // ones stay clear, so that a layer under the path shows through.
    CPathPalette palette = DefaultPathPalette();
    palette.background = 0;
    // Until a picture without them comes, the moves done are left clear.
    if (pathShowing == SHOW_PATH_AHEAD)
        std::fill(std::begin(palette.done), std::end(palette.done), 0u);
    RecolourPath(*ids, step, palette, reinterpret_cast<std::uint32_t*>(picture.bits()),
                 static_cast<std::size_t>(picture.bytesPerLine()) / sizeof(std::uint32_t));
}

bool CToolpathCanvas::PicturePlacement(double& factor, QPointF& topLeft) const
{
    if (picture.isNull() || pictureView.GetProjection() != view.GetProjection())
        return false;
    // Both views are the same projection at different scale and offset: a
    // picture pixel p lands at factor * (p - old offset) + new offset.
    factor = view.GetScale() / pictureView.GetScale();
    topLeft = QPointF(view.GetOffsetX() - factor * pictureView.GetOffsetX(),
                      view.GetOffsetY() - factor * pictureView.GetOffsetY());
    return std::isfinite(factor) && factor > 0.0;
}

void CToolpathCanvas::paintEvent(QPaintEvent*)
{
    if (recolourPending)
        Recolour();
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(DefaultPathPalette().background));
    for (ICanvasLayer* layer : layers)
        layer->PaintUnder(painter, view, size());
    double factor = 1.0;
    QPointF topLeft;
    const bool pathShown = pathShowing != SHOW_PATH_NONE;
    if (pathShown && PicturePlacement(factor, topLeft)) {
        if (factor == 1.0 && topLeft == QPointF(0.0, 0.0))
            painter.drawImage(0, 0, picture);
        else
            painter.drawImage(QRectF(topLeft, QSizeF(picture.width() * factor, picture.height() * factor)), picture);
    }
    for (ICanvasLayer* layer : layers)
        layer->PaintOver(painter, view, size());
    painter.setRenderHint(QPainter::Antialiasing);
    DrawOrigin(painter);
    if (pathShown)
        DrawCurrentBlock(painter);
    DrawTool(painter);
    DrawAxes(painter);
    DrawScaleBar(painter);
    DrawMessage(painter);
}

void CToolpathCanvas::DrawCurrentBlock(QPainter& painter) const
{
    if (path == nullptr || !step.HasCurrentBlock())
        return;
    painter.save();
    QPen pen(QColor::fromRgb(CURRENT_BLOCK_COLOUR), CURRENT_BLOCK_WIDTH);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    std::vector<CViewPoint> points;
    const std::size_t last = std::min({step.blockLast, path->GetCount() - 1, step.blockFirst + MAX_OVERLAY_MOVES - 1});
    for (std::size_t move = step.blockFirst; move <= last; ++move) {
        CPathRaster::TraceMove(*path, move, view, points);
        QPolygonF polygon;
        polygon.reserve(static_cast<int>(points.size()));
        for (const CViewPoint& point : points)
            polygon.append(ToQt(point));
        // Qt draws nothing for a line of no length: a dot instead.
        if (polygon.size() == 2 && polygon.first() == polygon.last())
            painter.drawPoint(polygon.first());
        else
            painter.drawPolyline(polygon);
    }
    painter.restore();
}

void CToolpathCanvas::DrawTool(QPainter& painter) const
{
    if (path == nullptr || path->IsEmpty())
        return;
    const QPointF tool = MapToCanvas(GetToolPoint());
    if (!std::isfinite(tool.x()) || !std::isfinite(tool.y()))
        return;
    painter.save();
    // A ring with a cross through it: the path under the tool stays visible.
    painter.setPen(QPen(QColor(0, 0, 0, 160), 3.0));
    painter.drawEllipse(tool, TOOL_RADIUS, TOOL_RADIUS);
    painter.setPen(QPen(QColor::fromRgb(TOOL_COLOUR), 1.5));
    painter.drawEllipse(tool, TOOL_RADIUS, TOOL_RADIUS);
    const qreal arm = TOOL_RADIUS * 1.8;
    painter.drawLine(tool - QPointF(arm, 0), tool - QPointF(TOOL_RADIUS * 0.4, 0));
    painter.drawLine(tool + QPointF(TOOL_RADIUS * 0.4, 0), tool + QPointF(arm, 0));
    painter.drawLine(tool - QPointF(0, arm), tool - QPointF(0, TOOL_RADIUS * 0.4));
    painter.drawLine(tool + QPointF(0, TOOL_RADIUS * 0.4), tool + QPointF(0, arm));
    painter.restore();
}

void CToolpathCanvas::DrawOrigin(QPainter& painter) const
{
    const QPointF origin = MapToCanvas(CMovePoint{});
    if (!rect().adjusted(-10, -10, 10, 10).contains(origin.toPoint()))
        return;
    painter.save();
    painter.setPen(QPen(QColor::fromRgb(ORIGIN_COLOUR), 1.0));
    painter.drawEllipse(origin, 4.0, 4.0);
    painter.drawLine(origin - QPointF(7, 0), origin + QPointF(7, 0));
    painter.drawLine(origin - QPointF(0, 7), origin + QPointF(0, 7));
    painter.drawText(origin + QPointF(6, -6), QStringLiteral("0"));
    painter.restore();
}

QRectF CToolpathCanvas::AxesBox(PathProjection projection, QPointF& base) const
{
    // The arrows from a point at the origin, their labels beyond the tips.
    const QFontMetricsF metrics(font());
    QRectF box(-6.0, -6.0 - metrics.height(), 12.0 + metrics.averageCharWidth() * 2, 12.0 + 2 * metrics.height());
    for (int axis = 0; axis < 3; ++axis) {
        const CViewPoint direction = CPathView::AxisDirection(projection, axis);
        const double length = std::hypot(direction.x, direction.y);
        if (length < 1e-9)
            continue;
        const QPointF tip = QPointF(direction.x, direction.y) * (AXIS_LENGTH / std::max(1.0, length));
        const QPointF label = tip + QPointF(direction.x, direction.y) * (9.0 / length);
        const qreal half = metrics.height() / 2.0;
        box |= QRectF(label - QPointF(half, half), QSizeF(2.0 * half, 2.0 * half));
    }
    base = QPointF(CORNER_MARGIN, CORNER_MARGIN) - box.topLeft();
    return box.translated(base);
}

void CToolpathCanvas::DrawAxes(QPainter& painter) const
{
    QPointF base;
    AxesBox(view.GetProjection(), base);
    painter.save();
    const QFontMetricsF metrics(font());
    for (int axis = 0; axis < 3; ++axis) {
        const CViewPoint direction = CPathView::AxisDirection(view.GetProjection(), axis);
        const QColor colour = QColor::fromRgb(AXES[axis].colour);
        painter.setPen(QPen(colour, 2.0));
        const QString name = QString::fromLatin1(AXES[axis].name);
        const double length = std::hypot(direction.x, direction.y);
        if (length < 1e-9) {
            // The axis points at the viewer: a dot in a ring.
            painter.drawEllipse(base, 4.0, 4.0);
            painter.drawPoint(base);
            painter.drawText(base + QPointF(6, 12), name);
            continue;
        }
        const QPointF tip = base + QPointF(direction.x, direction.y) * (AXIS_LENGTH / std::max(1.0, length));
        painter.drawLine(base, tip);
        const QPointF unit = (tip - base) / std::hypot(tip.x() - base.x(), tip.y() - base.y());
        const QPointF normal(-unit.y(), unit.x());
        painter.drawLine(tip, tip - unit * 6.0 + normal * 3.5);
        painter.drawLine(tip, tip - unit * 6.0 - normal * 3.5);
        const QPointF label = tip + unit * 9.0 - QPointF(metrics.horizontalAdvance(name) / 2.0, -metrics.ascent() / 2.5);
        painter.drawText(label, name);
    }
    painter.restore();
}

QRectF CToolpathCanvas::ScaleBarBox(double pixels, const QString& text) const
{
    const QFontMetricsF metrics(font());
    const qreal width = std::max(pixels, metrics.horizontalAdvance(text)) + SCALE_BAR_PADDING;
    const qreal height = metrics.height() + SCALE_BAR_PADDING + 6;
    return QRectF(this->width() - CORNER_MARGIN - width, this->height() - CORNER_MARGIN - height, width, height);
}

QSizeF CToolpathCanvas::ScaleBarBound() const
{
    // The bar is at most SCALE_BAR_PIXELS long; the longest label its steps
    // give at a usual scale.
    return ScaleBarBox(SCALE_BAR_PIXELS, QStringLiteral("0.0005 ") + unitName).size();
}

QRectF CToolpathCanvas::GetScaleBarBox() const
{
    double units = 0.0;
    double pixels = 0.0;
    if (!ScaleBarLength(units, pixels))
        return QRectF();
    return ScaleBarBox(pixels, ScaleText(units) + QLatin1Char(' ') + unitName);
}

bool CToolpathCanvas::ScaleBarLength(double& units, double& pixels) const
{
    const double unitsWanted = SCALE_BAR_PIXELS / view.GetScale();
    const double power = std::pow(10.0, std::floor(std::log10(unitsWanted)));
    units = power;
    for (const double step : SCALE_BAR_STEPS) {
        if (power * step <= unitsWanted)
            units = power * step;
    }
    pixels = units * view.GetScale();
    return std::isfinite(pixels) && pixels >= 1.0;
}

void CToolpathCanvas::DrawScaleBar(QPainter& painter) const
{
    double units = 0.0;
    double pixels = 0.0;
    if (!ScaleBarLength(units, pixels))
        return;
    const QString text = ScaleText(units) + QLatin1Char(' ') + unitName;
    const QFontMetricsF metrics(font());
    const qreal right = width() - CORNER_MARGIN;
    const qreal bottom = height() - CORNER_MARGIN;
    const QRectF box = ScaleBarBox(pixels, text);
    painter.save();
    painter.fillRect(box, QColor::fromRgba(PANEL_COLOUR));
    painter.setPen(QPen(QColor::fromRgb(TEXT_COLOUR), 1.5));
    const qreal barY = bottom - 6;
    const qreal barRight = right - 6;
    painter.drawLine(QPointF(barRight - pixels, barY), QPointF(barRight, barY));
    painter.drawLine(QPointF(barRight - pixels, barY - 4), QPointF(barRight - pixels, barY + 1));
    painter.drawLine(QPointF(barRight, barY - 4), QPointF(barRight, barY + 1));
    painter.drawText(QPointF(barRight - metrics.horizontalAdvance(text), barY - 6), text);
    painter.restore();
}

void CToolpathCanvas::DrawMessage(QPainter& painter) const
{
    if (message.isEmpty())
        return;
    painter.save();
    QFont bigger = font();
    bigger.setPointSizeF(MESSAGE_POINT_SIZE);
    painter.setFont(bigger);
    // Centred across the top, clear of the axes in the corner: a path drawn
    // up to an error stays visible below it.
    QPointF base;
    const qreal side = AxesBox(view.GetProjection(), base).right() + 8.0;
    const QRectF room(side, CORNER_MARGIN, std::max(1.0, width() - 2.0 * side), height() - 2.0 * CORNER_MARGIN);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const QRectF text = painter.boundingRect(room, flags, message);
    painter.fillRect(text.adjusted(-8, -4, 8, 4), QColor::fromRgba(PANEL_COLOUR));
    painter.setPen(QColor::fromRgb(TEXT_COLOUR));
    painter.drawText(room, flags, message);
    painter.restore();
}

void CToolpathCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (fitted) {
        Fit();
        return;
    }
    // Keep what was in the middle in the middle.
    CPathView moved = view;
    const QSize delta = event->size() - event->oldSize();
    if (event->oldSize().isValid())
        moved.Pan(delta.width() / 2.0, delta.height() / 2.0);
    view = moved;
    update();
    emit ViewChanged();
}

void CToolpathCanvas::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0)
        return;
    ZoomAbout(event->position(), std::pow(WHEEL_ZOOM, notches));
    event->accept();
}

void CToolpathCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressed = true;
    dragging = false;
    pressPoint = event->position();
    lastDragPoint = pressPoint;
}

void CToolpathCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed)
        return;
    const QPointF point = event->position();
    if (!dragging && std::hypot(point.x() - pressPoint.x(), point.y() - pressPoint.y()) < CLICK_SLOP)
        return;
    dragging = true;
    Pan(point - lastDragPoint);
    lastDragPoint = point;
}

void CToolpathCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed)
        return;
    pressed = false;
    if (!dragging)
        Pick(event->position());
    dragging = false;
}

void CToolpathCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Fit();
}

void CToolpathCanvas::Pick(const QPointF& point)
{
    // A picture made for another view shows moves where they no longer are:
    // a click on it would name a block the user did not point at.
    if (!HasCurrentPicture() || pathShowing == SHOW_PATH_NONE)
        return;
    // Clamped while still a double, so that no point reaches the int
    // conversion out of range; beyond the margin nothing is in reach anyway.
    // The picture is made in the screen's pixels, which a scaled display
    // makes several to one of the canvas.
    const double ratio = devicePixelRatioF();
    const int radius = static_cast<int>(std::ceil(PICK_RADIUS * ratio));
    const double margin = radius + 1.0;
    const double x = std::clamp(std::floor(point.x() * ratio), -margin, ids->GetWidth() + margin);
    const double y = std::clamp(std::floor(point.y() * ratio), -margin, ids->GetHeight() + margin);
    const std::size_t move = ids->FindNearestMove(static_cast<int>(x), static_cast<int>(y), radius);
    if (move != CMoveIdImage::NO_MOVE)
        emit MoveClicked(static_cast<qulonglong>(move));
}
