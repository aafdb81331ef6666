// The picture area of the toolpath window. It shows the last picture the
// raster made, recoloured for the cursor, and draws on top what changes with
// every step or is exact at any zoom: the current block wide and bright, the
// tool, the origin, the axis directions and a scale bar. Wheel,
// drag, click and double-click become zoom, pan, pick and fit. Making the
// picture is the window's: the canvas only says when it needs a new one and
// shows the old one shifted or scaled meanwhile.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QMargins>
#include <QRectF>
#include <QWidget>

#include "move_id_image.h"
#include "move_table.h"
#include "path_view.h"
#include "step_state.h"

class ICanvasLayer;

// How much of the path is drawn: a dense program's path may hide the
// workpiece under it.
enum PathShowing {
    SHOW_PATH_ALL,
    // The current block and the moves to come.
    SHOW_PATH_AHEAD,
    SHOW_PATH_NONE,
};

class CToolpathCanvas : public QWidget {
    Q_OBJECT

public:
    static constexpr int FIT_MARGIN = CPathView::FIT_MARGIN;
    // How far from the pointer a click still takes a move.
    static constexpr int PICK_RADIUS = 6;
    // One wheel notch zooms by this factor.
    static constexpr double WHEEL_ZOOM = 1.25;
    // The overlay draws the current block up to this many moves.
    static constexpr std::size_t MAX_OVERLAY_MOVES = 2000;
    // The current block's colour on top of the picture.
    static constexpr QRgb CURRENT_BLOCK_COLOUR = 0xFFFF9100;

    explicit CToolpathCanvas(QWidget* parent);

    // The path shown, null for none; drops the picture of the previous one.
    void SetPath(std::shared_ptr<const CMoveTable> path);
    const CPathView& GetView() const { return view; }
    // Fits the whole path into the canvas.
    void Fit();
    // The legend a layer draws at the top right corner in a view, empty for
    // none: a fitted picture keeps clear of it, as of the axes.
    void SetLegendSize(std::function<QSize(PathProjection)> legendSize);
    // The room the last fit kept free at the edges for the axes and the
    // legend, beside the margin.
    const QMargins& GetFitRoom() const { return fitRoom; }
    // Where the axes are drawn in the current view.
    QRectF GetAxesBox() const
    {
        QPointF base;
        return AxesBox(view.GetProjection(), base);
    }
    // Where the scale bar is drawn in the current view, empty for none.
    QRectF GetScaleBarBox() const;
    // Whether the view is the fitted one, not zoomed or panned since.
    bool IsFitted() const { return fitted; }
    void SetProjection(PathProjection projection);
    void ZoomAbout(const QPointF& point, double factor);
    void Pan(const QPointF& delta);

    // The view and size in the screen's own pixels, for which the raster is
    // made: where a pixel of the canvas covers several on the screen (a
    // scaled or high-density display) the path stays as sharp as the rest.
    CPathView GetDeviceView() const;
    QSize GetDeviceSize() const;
    // A finished raster of the current path from move firstMove on, made
    // for drawnView.
    void SetPicture(std::shared_ptr<const CMoveIdImage> ids, const CPathView& drawnView, std::size_t firstMove = 0);
    // True when the picture shown was made for the current view, size and
    // first move.
    bool HasCurrentPicture() const;
    void SetPathShowing(PathShowing showing);
    PathShowing GetPathShowing() const { return pathShowing; }
    // The first move the picture should hold: the moves done are left out
    // while only what is to come is shown.
    std::size_t GetFirstDrawnMove() const;
    void SetStep(const CStepState& state);
    // The unit the scale bar names: "MM" or "INCH".
    void SetUnitName(const QString& name);
    // A note across the top of the picture: why there is no path, or only
    // part of it. One line per line of text; empty for none.
    void SetMessage(const QString& text);
    const QString& GetMessage() const { return message; }
    // Drawn under and over the path, in the order added (the first one
    // lowest); the canvas does not own them.
    void AddLayer(ICanvasLayer* layer);

    // Where a program point lies on the canvas.
    QPointF MapToCanvas(const CMovePoint& point) const;
    // Where the tool stands while no move of the path is done: the machine's
    // position, which neither F4 nor a load moves.
    void SetStartPoint(const CMovePoint& point);
    // The tool: the end of the last move done, or the start point.
    CMovePoint GetToolPoint() const;

signals:
    // The view or the size changed: a new picture is wanted.
    void ViewChanged();
    void MoveClicked(qulonglong move);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ChangeView(const CPathView& newView, bool fitted);
    void Recolour();
    // The picture's placement for the current view: its scale factor and
    // where its top-left corner lands. False when it cannot be placed.
    bool PicturePlacement(double& factor, QPointF& topLeft) const;
    void Pick(const QPointF& point);
    void DrawCurrentBlock(QPainter& painter) const;
    void DrawTool(QPainter& painter) const;
    void DrawOrigin(QPainter& painter) const;
    void DrawAxes(QPainter& painter) const;
    // Where the axes are drawn: their box, with the labels, in the top left
    // corner, and the point they start from.
    QRectF AxesBox(PathProjection projection, QPointF& base) const;
    void DrawScaleBar(QPainter& painter) const;
    // The bar's length in units and pixels in the current view; false when
    // it cannot be drawn.
    bool ScaleBarLength(double& units, double& pixels) const;
    QRectF ScaleBarBox(double pixels, const QString& text) const;
    // The largest box the scale bar takes, whatever the scale.
    QSizeF ScaleBarBound() const;
    void DrawMessage(QPainter& painter) const;

    std::shared_ptr<const CMoveTable> path;
    CPathView view;
    // Whether the view is the fitted one: a resize then fits again.
    bool fitted = true;
    std::shared_ptr<const CMoveIdImage> ids;
    CPathView pictureView;
    std::size_t pictureFirst = 0;
    PathShowing pathShowing = SHOW_PATH_ALL;
    QImage picture;
    bool recolourPending = false;
    CStepState step;
    CMovePoint startPoint;
    QString unitName = QStringLiteral("MM");
    QString message;
    std::vector<ICanvasLayer*> layers;
    std::function<QSize(PathProjection)> legendSize;
    QMargins fitRoom;
    QPointF pressPoint;
    QPointF lastDragPoint;
    bool pressed = false;
    bool dragging = false;
};
