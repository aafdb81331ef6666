#include "path_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// cos 30 and sin 30 degrees: the isometric axes.
constexpr double ISO_COS = 0.86602540378443864676;
constexpr double ISO_SIN = 0.5;
constexpr double FIT_UNITS_FOR_A_POINT = 10.0;
// A pixel is the sum of up to three products and an offset, each of them
// rounded; sixteen roundings of the largest term bound the error generously.
constexpr double ROUNDINGS = 16.0;
constexpr double PIXEL_TOLERANCE = 0.1;

double ClampScale(double scale, double limit = CPathView::MAX_SCALE)
{
    if (!(scale >= CPathView::MIN_SCALE))
        return CPathView::MIN_SCALE;
    return std::min(scale, limit);
}

double Reach(double value) { return std::isfinite(value) ? std::fabs(value) : 0.0; }

double PreciseScaleLimit(const CMovePoint& min, const CMovePoint& max)
{
    const double reach = std::max({Reach(min.x), Reach(min.y), Reach(min.z), Reach(max.x), Reach(max.y), Reach(max.z)});
    const double limit = PIXEL_TOLERANCE / (reach * ROUNDINGS * std::numeric_limits<double>::epsilon());
    return std::max(CPathView::MIN_SCALE, std::min(CPathView::MAX_SCALE, limit));
}

} // namespace

CPathView::CPathView(PathProjection projection, double scale, double offsetX, double offsetY)
    : projection(projection), scale(ClampScale(scale)), offsetX(offsetX), offsetY(offsetY)
{
}

CViewPoint CPathView::ToPlane(PathProjection projection, double x, double y, double z)
{
    switch (projection) {
    case PROJECTION_TOP:
        return {x, y};
    case PROJECTION_FRONT:
        return {x, z};
    case PROJECTION_SIDE:
        return {y, z};
    case PROJECTION_ISOMETRIC:
        return {(x + y) * ISO_COS, z + (y - x) * ISO_SIN};
    }
    return {x, y};
}

CViewPoint CPathView::Project(double x, double y, double z) const
{
    const CViewPoint plane = ToPlane(projection, x, y, z);
    return {offsetX + plane.x * scale, offsetY - plane.y * scale};
}

CViewPoint CPathView::PixelToPlane(double pixelX, double pixelY) const
{
    return {(pixelX - offsetX) / scale, (offsetY - pixelY) / scale};
}

CViewPoint CPathView::AxisDirection(PathProjection projection, int axis)
{
    const CViewPoint plane = ToPlane(projection, axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0);
    return {plane.x, -plane.y};
}

void CPathView::Fit(const CMovePoint& min, const CMovePoint& max, int width, int height, int margin)
{
    double lowA = std::numeric_limits<double>::max();
    double lowB = lowA;
    double highA = -lowA;
    double highB = -lowA;
    // The projections are linear, so the box's corners bound its image.
    for (int corner = 0; corner < 8; ++corner) {
        const CViewPoint plane = ToPlane(projection, (corner & 1) ? max.x : min.x, (corner & 2) ? max.y : min.y,
                                         (corner & 4) ? max.z : min.z);
        lowA = std::min(lowA, plane.x);
        highA = std::max(highA, plane.x);
        lowB = std::min(lowB, plane.y);
        highB = std::max(highB, plane.y);
    }
    const double roomX = std::max(1, width - 2 * margin);
    const double roomY = std::max(1, height - 2 * margin);
    const double spanA = highA - lowA;
    const double spanB = highB - lowB;
    double fitted = std::numeric_limits<double>::infinity();
    if (spanA > 0.0)
        fitted = roomX / spanA;
    if (spanB > 0.0)
        fitted = std::min(fitted, roomY / spanB);
    if (!std::isfinite(fitted))
        fitted = std::min(roomX, roomY) / FIT_UNITS_FOR_A_POINT;
    scaleLimit = PreciseScaleLimit(min, max);
    scale = ClampScale(fitted, scaleLimit);
    offsetX = width / 2.0 - (lowA + highA) / 2.0 * scale;
    offsetY = height / 2.0 + (lowB + highB) / 2.0 * scale;
}

void CPathView::ZoomAbout(double pixelX, double pixelY, double factor)
{
    if (!(factor > 0.0) || !std::isfinite(factor))
        return;
    const CViewPoint anchor = PixelToPlane(pixelX, pixelY);
    scale = ClampScale(scale * factor, scaleLimit);
    offsetX = pixelX - anchor.x * scale;
    offsetY = pixelY + anchor.y * scale;
}

void CPathView::Pan(double deltaX, double deltaY)
{
    offsetX += deltaX;
    offsetY += deltaY;
}
