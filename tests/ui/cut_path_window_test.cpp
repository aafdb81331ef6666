// The toolpath window on programs with cutter radius compensation and
// drilling cycles: the cut path drawn and coloured by its blocks, the
// programmed contour dashed beside it, the info line's notes and a cut error
// on the picture. Driven as the panel drives the window, with the workpiece
// hidden so that the path's own pixels are seen.
#include <memory>

#include <QtTest>

#include <QLabel>

#include "cli_panel.h"
#include "cnc_program.h"
#include "cut_path_layer.h"
#include "headless_view.h"
#include "machine_state.h"
#include "path_builder.h"
#include "path_recolour.h"
#include "program_cursor.h"
#include "test_support.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "ui_test_support.h"
#include "workpiece_layer.h"

namespace {

constexpr int WAIT_MS = 10000;
// The default tool is a flat end mill of diameter 6.
constexpr double RADIUS = 3.0;

// A rectangle 40 x 20 milled clockwise with G41 (the tool outside, at
// x = -3, y = 23, x = 43, y = -3) or counter-clockwise with G42 (the same
// sides). Line 2 holds N10, the contour starts in N30 (line 4).
const char* const LEFT_RECTANGLE = "%\r\n"
                                   "N10 G17 G90 G0 X-10 Y-10 Z0\r\n"
                                   "N20 G41 G1 X0 Y0 F100\r\n"
                                   "N30 Y20\r\n"
                                   "N40 X40\r\n"
                                   "N50 Y0\r\n"
                                   "N60 X0\r\n"
                                   "N70 G40 X-10 Y-10\r\n"
                                   "N80 M30\r\n";
const char* const RIGHT_RECTANGLE = "%\r\n"
                                    "N10 G17 G90 G0 X-10 Y-10 Z0\r\n"
                                    "N20 G42 G1 X0 Y0 F100\r\n"
                                    "N30 X40\r\n"
                                    "N40 Y20\r\n"
                                    "N50 X0\r\n"
                                    "N60 Y0\r\n"
                                    "N70 G40 X-10 Y-10\r\n"
                                    "N80 M30\r\n";
const char* const PLAIN_RECTANGLE = "%\r\n"
                                    "N10 G17 G90 G0 X-10 Y-10 Z0\r\n"
                                    "N20 G1 X0 Y0 F100\r\n"
                                    "N30 Y20\r\n"
                                    "N40 X40\r\n"
                                    "N50 Y0\r\n"
                                    "N60 X0\r\n"
                                    "N80 M30\r\n";
// One hole of five pecks: from R1 by 2 down to -9.
const char* const PECK_HOLE = "%\r\n"
                              "N10 G17 G90 G0 X0 Y0 Z5\r\n"
                              "Q2 G98 G83 X10 Y10 Z-9 R1 F100\r\n"
                              "N30 G80\r\n"
                              "N40 M30\r\n";

class CSteppingRig {
public:
    explicit CSteppingRig(ISettingsStore& settings)
        : loader(&view, chooser, settings), state(&panel), cursor(loader, state, &view, panel),
          window(settings, &panelWidget, &view)
    {
        panelWidget.setGeometry(30, 40, 500, 400);
        window.GetWorkpiece()->SetShown(false);
        window.show();
    }

    void Load(const std::string& bytes)
    {
        CTempFile file(bytes);
        chooser.SetPath(file.GetPath());
        window.OnProgramChanging();
        cursor.OnLoad();
        window.OnStepped(STEP_LOAD, cursor, state);
        QTRY_VERIFY_WITH_TIMEOUT(window.IsPictureReady(), WAIT_MS);
    }
    void Step(int times)
    {
        for (int step = 0; step < times; ++step) {
            cursor.OnNextWord();
            window.OnStepped(STEP_NEXT_WORD, cursor, state);
        }
    }
    // A click on a 1-based line of the program view: browsing.
    void ClickLine(int line)
    {
        int start = 0;
        while (view.LineFromChar(start) < line - 1)
            ++start;
        view.ClickAt(start);
        window.OnStepped(STEP_LINE_CLICK, cursor, state);
    }
    QImage Grab() { return window.GetCanvas()->grab().toImage(); }
    QPoint Pixel(double x, double y) const
    {
        const QPointF point = window.GetCanvas()->MapToCanvas(CMovePoint{x, y, 0.0});
        return QPoint(static_cast<int>(std::floor(point.x() + 0.5)), static_cast<int>(std::floor(point.y() + 0.5)));
    }

    CCliPanel panel;
    CHeadlessView view{&panel};
    CFixedFileChooser chooser{std::string()};
    CCncProgram loader;
    CMachineState state;
    CProgramCursor cursor;
    QWidget panelWidget;
    CToolpathWindow window;
};

QRgb Opaque(QRgb colour) { return colour | 0xFF000000u; }

// Whether colour is within a pixel of point: arcs are rounded to pixels.
bool NearPixel(const QImage& image, const QPoint& point, QRgb colour)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint at = point + QPoint(dx, dy);
            if (image.rect().contains(at) && Opaque(image.pixel(at)) == colour)
                return true;
        }
    }
    return false;
}

// How many pixels from a to b (a horizontal or vertical run) have colour,
// within width pixels across the run.
int CountAlong(const QImage& image, const QPoint& a, const QPoint& b, QRgb colour, int& total, int width = 0)
{
    int count = 0;
    total = 0;
    const int steps = std::max(std::abs(b.x() - a.x()), std::abs(b.y() - a.y()));
    const QPoint across = a.x() == b.x() ? QPoint(1, 0) : QPoint(0, 1);
    for (int step = 0; step <= steps; ++step) {
        const QPoint at(a.x() + (b.x() - a.x()) * step / std::max(steps, 1),
                        a.y() + (b.y() - a.y()) * step / std::max(steps, 1));
        ++total;
        for (int offset = -width; offset <= width; ++offset) {
            if (Opaque(image.pixel(at + offset * across)) == colour) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// The first cut move with all of flags and of kind, from move on.
std::size_t FindMove(const CMoveTable& table, MoveFlags flags, MoveKind kind, std::size_t from = 0)
{
    for (std::size_t move = from; move < table.GetCount(); ++move) {
        if ((table.GetFlags(move) & flags) == flags && table.GetKind(move) == kind)
            return move;
    }
    return table.GetCount();
}

} // namespace

class CutPathWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void contourIsDashedBesideTheCutPath_data();
    void contourIsDashedBesideTheCutPath();
    void cornerArcTakesTheColourOfItsBlock();
    void infoLineNamesTheCompensation_data();
    void infoLineNamesTheCompensation();
    void infoLineNamesThePeckOfTheClickedMove_data();
    void infoLineNamesThePeckOfTheClickedMove();
    void otherToolsCutAnotherPath();
    void cutErrorIsShownOnThePicture_data();
    void cutErrorIsShownOnThePicture();
    void buildKeepsTheContourAndTheRest_data();
    void buildKeepsTheContourAndTheRest();
    void noteTexts_data();
    void noteTexts();
    void errorTextNamesTheLine_data();
    void errorTextNamesTheLine();

private:
    CMemorySettings* settings = nullptr;
    std::unique_ptr<CTemporarySettings> store;
};

void CutPathWindowTest::init()
{
    settings = new CMemorySettings();
    store = std::make_unique<CTemporarySettings>();
}

void CutPathWindowTest::cleanup()
{
    store.reset();
    delete settings;
    settings = nullptr;
}

void CutPathWindowTest::contourIsDashedBesideTheCutPath_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("compensated");
    QTest::newRow("G41 clockwise: the tool outside on the left") << QString::fromLatin1(LEFT_RECTANGLE) << true;
    QTest::newRow("G42 counter-clockwise: the tool outside on the right") << QString::fromLatin1(RIGHT_RECTANGLE)
                                                                         << true;
    QTest::newRow("no compensation: the path as programmed, no contour") << QString::fromLatin1(PLAIN_RECTANGLE)
                                                                         << false;
}

void CutPathWindowTest::contourIsDashedBesideTheCutPath()
{
    QFETCH(QString, program);
    QFETCH(bool, compensated);
    CSteppingRig rig(*settings);
    rig.Load(program.toStdString());
    const QImage image = rig.Grab();
    const QRgb feed = DefaultPathPalette().coming[STYLE_FEED];
    const QRgb contour = Opaque(CCutPathLayer::CONTOUR_COLOUR);
    const double offset = compensated ? RADIUS : 0.0;
    // The left side (x = 0, y 4 to 16) and the top (y = 20, x 8 to 32),
    // away from the corners.
    const struct {
        const char* name;
        QPoint programmedFrom, programmedTo, cutFrom, cutTo;
    } sides[] = {
        {"left", rig.Pixel(0, 4), rig.Pixel(0, 16), rig.Pixel(-offset, 4), rig.Pixel(-offset, 16)},
        {"top", rig.Pixel(8, 20), rig.Pixel(32, 20), rig.Pixel(8, 20 + offset), rig.Pixel(32, 20 + offset)},
    };
    for (const auto& side : sides) {
        int total = 0;
        const int cut = CountAlong(image, side.cutFrom, side.cutTo, feed, total);
        QVERIFY2(cut == total, qPrintable(QStringLiteral("%1: cut path %2 of %3").arg(side.name).arg(cut).arg(total)));
        const int dashed = CountAlong(image, side.programmedFrom, side.programmedTo, contour, total, 1);
        if (!compensated) {
            QVERIFY2(dashed == 0, side.name);
            continue;
        }
        // Dashes and gaps: much of the line, not all of it.
        QVERIFY2(dashed * 4 >= total && dashed < total,
                 qPrintable(QStringLiteral("%1: contour %2 of %3").arg(side.name).arg(dashed).arg(total)));
        // The contour has the pixels the raster would give the line.
        const int exact = CountAlong(image, side.programmedFrom, side.programmedTo, contour, total);
        QCOMPARE(exact, dashed);
    }
    // The window draws from the cut path, and the cut path only where it
    // differs from the programmed one.
    const std::shared_ptr<const CMoveTable> path = rig.window.GetPath();
    QVERIFY(path != nullptr);
    QCOMPARE(FindMove(*path, MOVE_COMPENSATED, MOVE_LINEAR) < path->GetCount(), compensated);
}

void CutPathWindowTest::cornerArcTakesTheColourOfItsBlock()
{
    CSteppingRig rig(*settings);
    rig.Load(LEFT_RECTANGLE);
    // The arc about the corner (0, 20) belongs to N40, the next element.
    const double half = RADIUS / std::sqrt(2.0);
    const QPoint arcMiddle = rig.Pixel(-half, 20 + half);
    const CPathPalette& palette = DefaultPathPalette();
    QVERIFY(NearPixel(rig.Grab(), arcMiddle, palette.coming[STYLE_ARC]));
    // Into N40: past N10's six words, N20's five and Y20.
    rig.Step(12);
    QVERIFY2(rig.window.GetInfoText().startsWith(QStringLiteral("Zeile 5: N40 X40")),
             qPrintable(rig.window.GetInfoText()));
    QVERIFY(NearPixel(rig.Grab(), arcMiddle, CToolpathCanvas::CURRENT_BLOCK_COLOUR));
    QVERIFY(!NearPixel(rig.Grab(), arcMiddle, palette.coming[STYLE_ARC]));
    rig.Step(2);
    QVERIFY(NearPixel(rig.Grab(), arcMiddle, palette.done[STYLE_ARC]));
}

void CutPathWindowTest::infoLineNamesTheCompensation_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("G41 approach") << QString::fromLatin1(LEFT_RECTANGLE) << 3
                                  << QStringLiteral("Zeile 3: N20 G41 G1 X0 Y0 F100   LINEAR, Radiuskorrektur links "
                                                    "(G41), r = 3.000\n");
    // N40 turns left at (40, 0): under G42 an outer corner, whose arc is
    // the first move of N40.
    QTest::newRow("G42 corner arc") << QString::fromLatin1(RIGHT_RECTANGLE) << 5
                                    << QStringLiteral("Zeile 5: N40 Y20   COUNTER CLCKW, Radiuskorrektur rechts (G42), "
                                                      "r = 3.000\n");
    QTest::newRow("the rapid before G41") << QString::fromLatin1(LEFT_RECTANGLE) << 2
                                          << QStringLiteral("Zeile 2: N10 G17 G90 G0 X-10 Y-10 Z0   RAPIDE, "
                                                            "Startpunkt angenommen\n");
    QTest::newRow("a cycle's first move has no peck") << QString::fromLatin1(PECK_HOLE) << 3
                                                      << QStringLiteral("Zeile 3: Q2 G98 G83 X10 Y10 Z-9 R1 F100   "
                                                                        "RAPIDE, Bohrzyklus G83\n");
}

void CutPathWindowTest::infoLineNamesTheCompensation()
{
    QFETCH(QString, program);
    QFETCH(int, line);
    QFETCH(QString, expected);
    CSteppingRig rig(*settings);
    rig.Load(program.toStdString());
    rig.ClickLine(line);
    const QString info = rig.window.GetInfoText();
    QVERIFY2(info.startsWith(expected), qPrintable(info));
}

void CutPathWindowTest::infoLineNamesThePeckOfTheClickedMove_data()
{
    QTest::addColumn<int>("peck");
    QTest::newRow("first peck") << 1;
    QTest::newRow("second peck") << 2;
    QTest::newRow("last peck") << 5;
}

void CutPathWindowTest::infoLineNamesThePeckOfTheClickedMove()
{
    QFETCH(int, peck);
    CSteppingRig rig(*settings);
    rig.Load(PECK_HOLE);
    const std::shared_ptr<const CMoveTable> path = rig.window.GetPath();
    std::size_t move = 0;
    for (int feed = 0; feed < peck; ++feed)
        move = FindMove(*path, MOVE_CYCLE, MOVE_LINEAR, feed == 0 ? 0 : move + 1);
    QVERIFY(move < path->GetCount());
    // The picture's click names the move; the program view then selects its line.
    emit rig.window.GetCanvas()->MoveClicked(move);
    rig.ClickLine(3);
    const QString expected = QStringLiteral("LINEAR, Bohrzyklus G83: Zustellung %1 von 5\n").arg(peck);
    QVERIFY2(rig.window.GetInfoText().contains(expected), qPrintable(rig.window.GetInfoText()));
}

void CutPathWindowTest::otherToolsCutAnotherPath()
{
    CSteppingRig rig(*settings);
    rig.Load(LEFT_RECTANGLE);
    CWorkpieceSettings chosen = rig.window.GetWorkpiece()->GetSettings();
    chosen.defaultTool.diameter = 10.0;
    QVERIFY(rig.window.GetWorkpiece()->ApplySettings(chosen));
    QTRY_VERIFY_WITH_TIMEOUT(rig.window.IsPictureReady(), WAIT_MS);
    rig.ClickLine(4);
    QVERIFY2(rig.window.GetInfoText().contains(QStringLiteral("Radiuskorrektur links (G41), r = 5.000")),
             qPrintable(rig.window.GetInfoText()));
    int total = 0;
    const int cut =
        CountAlong(rig.Grab(), rig.Pixel(-5, 4), rig.Pixel(-5, 16), DefaultPathPalette().coming[STYLE_FEED], total);
    QCOMPARE(cut, total);
}

void CutPathWindowTest::cutErrorIsShownOnThePicture_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("message");
    // A point of the programmed path after the error, drawn faint.
    QTest::addColumn<QPointF>("rest");
    QTest::newRow("an arc for the approach")
        << QStringLiteral("%\r\nN10 G17 G90 G0 X-10 Y0 Z0\r\nN20 G41 G2 X0 Y10 R10 F100\r\nN30 G1 X30\r\n"
                          "N40 Y-20\r\nN50 M30\r\n")
        << QStringLiteral("Radiuskorrektur in Zeile 3: Anfahren nur mit einer Geraden\nBahn bis zur Fehlerstelle")
        << QPointF(30, -10);
    QTest::newRow("a peck cycle without Q")
        << QStringLiteral("%\r\nN10 G17 G90 G0 X0 Y0 Z5\r\nN20 G1 X20 F100\r\nN30 G83 X20 Y20 Z-5 R1\r\n"
                          "N40 G80 G1 X40\r\nN50 M30\r\n")
        << QStringLiteral("Bohrzyklus G83/G73 ohne Zustellung Q in Zeile 4\nBahn bis zur Fehlerstelle")
        << QPointF(30, 20);
}

void CutPathWindowTest::cutErrorIsShownOnThePicture()
{
    QFETCH(QString, program);
    QFETCH(QString, message);
    QFETCH(QPointF, rest);
    CSteppingRig rig(*settings);
    rig.Load(program.toStdString());
    QCOMPARE(rig.window.GetCanvas()->GetMessage(), message);
    const QImage image = rig.Grab();
    const QPoint point = rig.Pixel(rest.x(), rest.y());
    const CPathPalette& palette = DefaultPathPalette();
    // Smoothed, the faint line may share its darkest pixel with a neighbour.
    bool faint = false;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QRgb seen = Opaque(image.pixel(point + QPoint(dx, dy)));
            faint = faint || (seen != palette.background && seen != palette.coming[STYLE_FEED]);
        }
    }
    QVERIFY(faint);
}

void CutPathWindowTest::buildKeepsTheContourAndTheRest_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QList<int>>("contour");
    QTest::addColumn<int>("restFirst");
    // Programmed moves: 0 the rapid, 1 the approach, 2 to 5 the sides, 6 the departure.
    QTest::newRow("every compensated block") << QString::fromLatin1(LEFT_RECTANGLE) << QList<int>{1, 2, 3, 4, 5, 6}
                                             << 7;
    // Programmed moves: 0 the rapid, 1 the arc that cannot approach, 2 the line.
    QTest::newRow("after a cut error")
        << QStringLiteral("%\r\nN10 G17 G90 G0 X-10 Y0 Z0\r\nN20 G41 G2 X0 Y10 R10 F100\r\nN30 G1 X30\r\n")
        << QList<int>{} << 1;
}

void CutPathWindowTest::buildKeepsTheContourAndTheRest()
{
    QFETCH(QString, program);
    QFETCH(QList<int>, contour);
    QFETCH(int, restFirst);
    CLoaderRig rig;
    rig.LoadBytes(program.toStdString());
    CMoveTable table;
    CPathBuilder(rig.loader.GetWordList(), 0).BuildTable(table);
    const std::size_t programmedCount = table.GetCount();
    const std::unique_ptr<CCutPathModel> cut =
        CCutPathLayer::Build(rig.loader.GetWordList(), CToolTable(), table, nullptr, SIZE_MAX);
    QVERIFY(cut != nullptr);
    QCOMPARE(cut->programmed.GetCount(), programmedCount);
    QList<int> seen;
    for (const std::uint32_t move : cut->contourMoves)
        seen.append(static_cast<int>(move));
    QCOMPARE(seen, contour);
    QCOMPARE(cut->restFirst, static_cast<std::size_t>(restFirst));
}

void CutPathWindowTest::noteTexts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("gNumber");
    QTest::addColumn<double>("radius");
    QTest::addColumn<int>("peck");
    QTest::addColumn<int>("peckCount");
    QTest::addColumn<QString>("expected");
    QTest::newRow("left") << int(CCutNote::CUT_NOTE_COMPENSATION) << 41 << 3.0 << 0 << 0
                          << QStringLiteral("Radiuskorrektur links (G41), r = 3.000");
    QTest::newRow("right, radius rounded to three places") << int(CCutNote::CUT_NOTE_COMPENSATION) << 42 << 2.54321
                                                           << 0 << 0
                                                           << QStringLiteral("Radiuskorrektur rechts (G42), r = 2.543");
    QTest::newRow("peck") << int(CCutNote::CUT_NOTE_CYCLE) << 83 << 0.0 << 2 << 5
                          << QStringLiteral("Bohrzyklus G83: Zustellung 2 von 5");
    QTest::newRow("chip-breaking peck") << int(CCutNote::CUT_NOTE_CYCLE) << 73 << 0.0 << 1 << 3
                                        << QStringLiteral("Bohrzyklus G73: Zustellung 1 von 3");
    QTest::newRow("a cycle in one feed") << int(CCutNote::CUT_NOTE_CYCLE) << 81 << 0.0 << 0 << 0
                                         << QStringLiteral("Bohrzyklus G81");
}

void CutPathWindowTest::noteTexts()
{
    QFETCH(int, kind);
    QFETCH(int, gNumber);
    QFETCH(double, radius);
    QFETCH(int, peck);
    QFETCH(int, peckCount);
    QFETCH(QString, expected);
    CCutNote note;
    note.kind = static_cast<CCutNote::Kind>(kind);
    note.gNumber = gNumber;
    note.radius = radius;
    note.peck = peck;
    note.peckCount = peckCount;
    QCOMPARE(CCutPathLayer::NoteText(note), expected);
}

void CutPathWindowTest::errorTextNamesTheLine_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the line after the subject") << QStringLiteral("Konturverletzung: das Werkzeug passt nicht in die Ecke")
                                                << 23
                                                << QStringLiteral("Konturverletzung in Zeile 23: das Werkzeug passt "
                                                                  "nicht in die Ecke");
    QTest::newRow("a message without a subject ends with the line")
        << QStringLiteral("Bohrzyklus ohne Z") << 7 << QStringLiteral("Bohrzyklus ohne Z in Zeile 7");
    QTest::newRow("UTF-8 kept") << QStringLiteral("Bohrzyklus: Z liegt \u00FCber R") << 9
                                << QStringLiteral("Bohrzyklus in Zeile 9: Z liegt \u00FCber R");
}

void CutPathWindowTest::errorTextNamesTheLine()
{
    QFETCH(QString, message);
    QFETCH(int, line);
    QFETCH(QString, expected);
    QCOMPARE(CCutPathLayer::ErrorText(message.toStdString(), line), expected);
}

QTEST_MAIN(CutPathWindowTest)
#include "cut_path_window_test.moc"
