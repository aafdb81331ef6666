// How the toolpath window looks at the path: a projection onto the screen
// plane, a scale in pixels per program unit and the pixel where the
// program origin lies. Pixels count right and down from the top-left
// corner; the projected plane's second axis points up. Fitting, zooming
// and panning change only scale and offset; drawing is the raster's.
#pragma once

#include "move_table.h"

enum PathProjection {
    PROJECTION_TOP,       // X right, Y up
    PROJECTION_FRONT,     // X right, Z up
    PROJECTION_SIDE,      // Y right, Z up
    PROJECTION_ISOMETRIC, // seen from front right above: X right down, Y right up, Z up
};
constexpr int PROJECTION_COUNT = 4;

struct CViewPoint {
    double x = 0.0;
    double y = 0.0;
};

class CPathView {
public:
    // The extremes of the scale, so that zooming can neither reach zero nor
    // overflow the pixel arithmetic.
    static constexpr double MIN_SCALE = 1e-6;
    static constexpr double MAX_SCALE = 1e7;

    CPathView() = default;
    CPathView(PathProjection projection, double scale, double offsetX, double offsetY);

    PathProjection GetProjection() const { return projection; }
    // Keeps scale and offset; the caller fits again when it wants to.
    void SetProjection(PathProjection newProjection) { projection = newProjection; }
    double GetScale() const { return scale; }
    double GetOffsetX() const { return offsetX; }
    double GetOffsetY() const { return offsetY; }

    // The point in the projected plane, in program units, second axis up.
    static CViewPoint ToPlane(PathProjection projection, double x, double y, double z);
    CViewPoint Project(double x, double y, double z) const;
    CViewPoint Project(const CMovePoint& point) const { return Project(point.x, point.y, point.z); }
    // The plane point under a pixel.
    CViewPoint PixelToPlane(double pixelX, double pixelY) const;
    // Where one program unit along axis (0 = X, 1 = Y, 2 = Z) goes on the
    // screen, in pixels at scale 1.
    static CViewPoint AxisDirection(PathProjection projection, int axis);

    // Pixels the window's canvas and the command line's pictures leave around
    // a fitted path, so that both show the same picture.
    static constexpr int FIT_MARGIN = 16;

    // Centres the projected box in a width x height image with at least
    // margin pixels free on every side. A box that is a point in both screen
    // directions gets ten units across the smaller side. From now on no zoom
    // goes beyond the scale at which double arithmetic on the box's
    // coordinates would put a pixel off by more than a tenth.
    void Fit(const CMovePoint& min, const CMovePoint& max, int width, int height, int margin);
    // The plane point under (pixelX, pixelY) stays where it is.
    void ZoomAbout(double pixelX, double pixelY, double factor);
    void Pan(double deltaX, double deltaY);

    bool operator==(const CPathView& other) const
    {
        return projection == other.projection && scale == other.scale && offsetX == other.offsetX &&
               offsetY == other.offsetY;
    }
    bool operator!=(const CPathView& other) const { return !(*this == other); }

private:
    PathProjection projection = PROJECTION_TOP;
    double scale = 1.0;
    double scaleLimit = MAX_SCALE;
    double offsetX = 0.0;
    double offsetY = 0.0;
};
