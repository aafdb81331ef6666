// The window's pictures of the workpiece and the command line's are one set
// of pixels: what the window's painter makes of WorkpiecePicture's images,
// as the workpiece layer paints them, equals pixel for pixel what the
// Qt-free drawing gives, in every view, fitted, zoomed and panned.
#include <QtTest>

#include <QPainter>

#include "generated_programs.h"
#include "path_builder.h"
#include "path_recolour.h"
#include "picture.h"
#include "relief_image.h"
#include "test_support.h"
#include "toolpath_canvas.h"
#include "workpiece.h"
#include "workpiece_picture.h"

namespace {

constexpr int WIDTH = 301;
constexpr int HEIGHT = 207;

enum ViewChange { VIEW_FITTED, VIEW_ZOOMED_IN, VIEW_ZOOMED_FAR_IN, VIEW_ZOOMED_OUT_AND_PANNED };

// The rectangular pocket half cut, so that every view shows cut, uncut and
// partly cut material.
CHeightGrid HalfCutPocket()
{
    CLoaderRig rig;
    rig.LoadBytes(RectangularPocketProgram());
    CMoveTable table;
    CPathBuilder(rig.loader.GetWordList(), 0).BuildTable(table);
    CWorkpiece::CSettings settings;
    settings.box = CStockBox{-2.0, -1.0, -4.0, 43.0, 22.0, 0.0};
    settings.cell = 0.23;
    CToolTable tools;
    tools.SetDefaultTool(CTool{TOOL_FLAT, 6.0});
    CWorkpiece workpiece(table, rig.loader.GetWordList(), 0, tools, settings);
    workpiece.BringTo(table.GetCount() / 2);
    return workpiece.GetGrid();
}

CPathView MakeView(const CHeightGrid& grid, PathProjection projection, ViewChange change)
{
    const CStockBox& box = grid.GetBox();
    CPathView view(projection, 1.0, 0.0, 0.0);
    view.Fit(CMovePoint{box.x0, box.y0, box.z0}, CMovePoint{box.x1, box.y1, box.z1}, WIDTH, HEIGHT,
             CPathView::FIT_MARGIN);
    if (change == VIEW_ZOOMED_IN)
        view.ZoomAbout(123.37, 111.71, 2.71);
    if (change == VIEW_ZOOMED_FAR_IN)
        view.ZoomAbout(150.61, 90.13, 9.37);
    if (change == VIEW_ZOOMED_OUT_AND_PANNED) {
        view.ZoomAbout(200.2, 100.9, 0.413);
        view.Pan(17.3, -5.55);
    }
    return view;
}

// What the workpiece layer paints under the path.
QImage PaintedByWindow(const CHeightGrid& grid, const CPathView& view)
{
    QImage image(WIDTH, HEIGHT, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor::fromRgb(DefaultPathPalette().background));
    QPainter painter(&image);
    switch (view.GetProjection()) {
    case PROJECTION_TOP:
        painter.drawImage(WorkpiecePicture::ReliefPlacement(grid, view), WorkpiecePicture::DrawRelief(grid));
        break;
    case PROJECTION_ISOMETRIC: {
        const QImage block = WorkpiecePicture::DrawBlock(grid, view, image.size());
        painter.drawImage(QRectF(QPointF(0.0, 0.0), QSizeF(block.size())), block);
        break;
    }
    case PROJECTION_FRONT:
    case PROJECTION_SIDE:
        WorkpiecePicture::DrawSilhouette(painter, grid, WorkpiecePicture::MeasureSilhouettes(grid), view);
        break;
    }
    return image;
}

} // namespace

class WorkpiecePictureTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { grid = HalfCutPocket(); }
    void windowAndPlainPixelsAgree_data();
    void windowAndPlainPixelsAgree();

private:
    CHeightGrid grid;
};

void WorkpiecePictureTest::windowAndPlainPixelsAgree_data()
{
    QTest::addColumn<int>("projection");
    QTest::addColumn<int>("change");
    const char* const projections[] = {"top", "front", "side", "iso"};
    const char* const changes[] = {"fitted", "zoomed in", "zoomed far in", "zoomed out and panned"};
    for (int projection = 0; projection < PROJECTION_COUNT; ++projection) {
        for (int change = VIEW_FITTED; change <= VIEW_ZOOMED_OUT_AND_PANNED; ++change) {
            QTest::addRow("%s, %s", projections[projection], changes[change]) << projection << change;
        }
    }
}

void WorkpiecePictureTest::windowAndPlainPixelsAgree()
{
    QFETCH(int, projection);
    QFETCH(int, change);
    const CPathView view = MakeView(grid, static_cast<PathProjection>(projection), static_cast<ViewChange>(change));
    const QImage window = PaintedByWindow(grid, view);
    CPixelImage plain(WIDTH, HEIGHT, DefaultPathPalette().background);
    ReliefImage::DrawWorkpiece(grid, view, plain);
    int workpiecePixels = 0;
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x) {
            const QRgb expected = window.pixel(x, y);
            if (plain.GetPixel(x, y) != expected)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): %3 instead of %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(plain.GetPixel(x, y), 8, 16)
                                     .arg(expected, 8, 16)));
            workpiecePixels += expected != DefaultPathPalette().background ? 1 : 0;
        }
    }
    // A comparison of two empty pictures would prove nothing.
    QVERIFY(workpiecePixels > WIDTH * HEIGHT / 100);
}

QTEST_MAIN(WorkpiecePictureTest)
#include "workpiece_picture_test.moc"
