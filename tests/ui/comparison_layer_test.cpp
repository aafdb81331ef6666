// The comparison with a reference in the toolpath window, driven through the
// real panel: a learner's program loaded and stepped with the keys, the
// reference started, the canvas grabbed once the workpiece has caught up
// and its pixels and the info line checked.
#include <cmath>
#include <memory>
#include <string>

#include <QtTest>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include "cnc_edit_box_ctrl.h"
#include "comparison_layer.h"
#include "controller_dlg.h"
#include "settings_store.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "ui_test_support.h"
#include "workpiece_layer.h"
#include "workpiece_picture.h"

namespace {

// A plunge 2 deep at the origin and a slot along X to 20 and along Y to 10.
const char* const REFERENCE = "%\r\n"
                              "N10 G0 X0 Y0 Z5\r\n"
                              "N20 G1 Z-2 F100\r\n"
                              "N30 X20\r\n"
                              "N40 Y10\r\n"
                              "N50 G0 Z5\r\n"
                              "N60 M30\r\n";
// The same, half a millimetre deeper from the plunge on.
const char* const LEARNER = "%\r\n"
                            "N10 G0 X0 Y0 Z5\r\n"
                            "N20 G1 Z-2.5 F100\r\n"
                            "N30 X20\r\n"
                            "N40 Y10\r\n"
                            "N50 G0 Z5\r\n"
                            "N60 M30\r\n";
// Twice as long: its box is another.
const char* const LONGER = "%\r\n"
                           "N10 G0 X0 Y0 Z5\r\n"
                           "N20 G1 Z-2 F100\r\n"
                           "N30 X40\r\n"
                           "N50 G0 Z5\r\n";
// A box both state, and a reference that sweeps it tens of thousands of
// times: its cut runs far longer than any bound below unless cancelled.
const char* const BOXED = "%\r\n"
                          "(ROHTEIL X0 Y0 Z-10 X100 Y100 Z0)\r\n"
                          "N10 G0 X10 Y10 Z5\r\n"
                          "N20 G1 Z-1 F100\r\n"
                          "N30 X90\r\n"
                          "N40 G0 Z5\r\n";
constexpr int HEAVY_PASSES = 100000;
// Ending a cut must not wait for it: far below its own length.
constexpr qint64 ENDED_WITHIN_MS = 5000;

std::string HeavyReference()
{
    std::string text = "%\r\n(ROHTEIL X0 Y0 Z-10 X100 Y100 Z0)\r\nN10 G0 X0 Y0 Z5\r\nG1 Z-2 F100\r\n";
    for (int pass = 0; pass < HEAVY_PASSES; ++pass)
        text += pass % 2 == 0 ? "X100 Y100\r\n" : "X0 Y0\r\n";
    return text + "M30\r\n";
}

// F10 presses until N20 is applied and the cursor stands on X20 of N30.
constexpr int STEPS_AFTER_PLUNGE = 8;
constexpr int WAIT_MS = 10000;

QPoint Pixel(const CToolpathCanvas& canvas, double x, double y)
{
    const QPointF point = canvas.MapToCanvas(CMovePoint{static_cast<float>(x), static_cast<float>(y), 0.0f});
    return QPoint(static_cast<int>(std::floor(point.x())), static_cast<int>(std::floor(point.y())));
}

QRgb ColourAt(CToolpathCanvas& canvas, double x, double y)
{
    return canvas.grab().toImage().pixel(Pixel(canvas, x, y)) | 0xFF000000u;
}

// The pixel of a point from the front (along X) or the side (along Y) at
// height z.
QRgb SightColourAt(CToolpathCanvas& canvas, bool fromFront, double along, double z)
{
    const CMovePoint point = fromFront ? CMovePoint{static_cast<float>(along), 0.0f, static_cast<float>(z)}
                                       : CMovePoint{0.0f, static_cast<float>(along), static_cast<float>(z)};
    const QPointF pixel = canvas.MapToCanvas(point);
    return canvas.grab().toImage().pixel(static_cast<int>(std::floor(pixel.x())),
                                         static_cast<int>(std::floor(pixel.y()))) |
           0xFF000000u;
}

} // namespace

class ComparisonLayerTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void coloursFollowTheSteps_data();
    void coloursFollowTheSteps();
    void summaryAtTheEnd();
    void referenceThatCannotBeUsed_data();
    void referenceThatCannotBeUsed();
    void pictureCarriesTheSummary();
    void referenceStatesItsOwnBox();
    void linesOfSightFollowTheSteps_data();
    void linesOfSightFollowTheSteps();
    void cutEndsWithoutWaiting_data();
    void cutEndsWithoutWaiting();
    void firstOverUsesTheLearnersOwnTools_data();
    void firstOverUsesTheLearnersOwnTools();

private:
    CToolpathWindow& LoadAndCompare(const char* learner, const char* reference);
    void StartAndWait(CToolpathWindow& window, const std::string& file);
    void Press(Qt::Key key, int times = 1, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void WaitForWorkpiece();

    std::unique_ptr<CTemporarySettings> store;
    std::unique_ptr<CControllerDlg> panel;
};

void ComparisonLayerTest::init() { store = std::make_unique<CTemporarySettings>(); }

void ComparisonLayerTest::cleanup()
{
    panel.reset();
    store.reset();
}

void ComparisonLayerTest::WaitForWorkpiece()
{
    CToolpathWindow& window = *panel->GetToolpathWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window.IsPictureReady() && window.GetWorkpiece()->IsUpToDate(), WAIT_MS);
}

void ComparisonLayerTest::Press(Qt::Key key, int times, Qt::KeyboardModifiers modifiers)
{
    for (int press = 0; press < times; ++press)
        QTest::keyClick(panel->GetEditor(), key, modifiers);
    WaitForWorkpiece();
}

CToolpathWindow& ComparisonLayerTest::LoadAndCompare(const char* learner, const char* reference)
{
    panel = OpenPanel();
    Load(*panel, learner);
    WaitForWorkpiece();
    CToolpathWindow& window = *panel->GetToolpathWindow();
    const std::string file = programs.Write(QStringLiteral("muster.nc"), reference);
    StartAndWait(window, file);
    return window;
}

void ComparisonLayerTest::StartAndWait(CToolpathWindow& window, const std::string& file)
{
    CComparisonLayer& comparison = *window.GetComparison();
    QVERIFY(comparison.Start(QString::fromStdString(file)));
    // While it is cut, the info line says so.
    QVERIFY2(!comparison.IsCutting() || window.GetInfoText().contains(QStringLiteral("wird geschnitten")),
             qPrintable(window.GetInfoText()));
    QTRY_VERIFY_WITH_TIMEOUT(!comparison.IsCutting() && !comparison.IsSearching(), WAIT_MS);
    WaitForWorkpiece();
}

void ComparisonLayerTest::coloursFollowTheSteps_data()
{
    QTest::addColumn<int>("forward");
    QTest::addColumn<int>("back");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("info");
    QTest::newRow("the plunge too deep is red at once") << STEPS_AFTER_PLUNGE << 0 << 0.0 << 2.0 << "over"
                                                        << "zu tief: 0.500 bei X";
    QTest::newRow("the slot not yet cut is material still to cut") << STEPS_AFTER_PLUNGE << 0 << 10.0 << 2.0
                                                                    << "coming" << "durch Zeile 3";
    QTest::newRow("the step that cuts the slot turns it red") << STEPS_AFTER_PLUNGE + 1 << 0 << 10.0 << 2.0 << "over"
                                                              << "durch Zeile 3";
    QTest::newRow("a step back takes the red away again") << STEPS_AFTER_PLUNGE + 1 << 1 << 10.0 << 2.0 << "coming"
                                                          << "zu tief: 0.500";
    QTest::newRow("before the plunge nothing is too deep") << STEPS_AFTER_PLUNGE << 3 << 0.0 << 2.0 << "coming"
                                                           << "";
    QTest::newRow("material nothing cuts is within, in the relief's colour")
        << STEPS_AFTER_PLUNGE + 1 << 0 << 10.0 << 8.5 << "within" << "zu tief";
}

void ComparisonLayerTest::coloursFollowTheSteps()
{
    QFETCH(int, forward);
    QFETCH(int, back);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(QString, expected);
    QFETCH(QString, info);
    CToolpathWindow& window = LoadAndCompare(LEARNER, REFERENCE);
    QVERIFY2(window.GetComparison()->IsOn(), qPrintable(window.GetComparison()->GetMessage()));
    Press(Qt::Key_F10, forward);
    Press(Qt::Key_F10, back, Qt::ShiftModifier);
    const QRgb colour = ColourAt(*window.GetCanvas(), x, y);
    if (expected == QStringLiteral("over")) {
        QCOMPARE(colour, CComparisonLayer::OVER_COLOUR);
    } else if (expected == QStringLiteral("coming")) {
        // Light blue over the relief: more blue than red, and no red cell.
        QVERIFY2(qBlue(colour) > qRed(colour) + 40, qPrintable(QString::number(colour, 16)));
        QVERIFY(colour != CComparisonLayer::OVER_COLOUR);
    } else {
        QCOMPARE(colour, WorkpiecePicture::TOP_COLOUR);
    }
    const QString text = window.GetComparison()->GetInfoText();
    if (info.isEmpty())
        QVERIFY2(!text.contains(QStringLiteral("zu tief")), qPrintable(text));
    else
        QVERIFY2(text.contains(info), qPrintable(text));
    QVERIFY(window.GetInfoText().contains(text));
}

void ComparisonLayerTest::summaryAtTheEnd()
{
    CToolpathWindow& window = LoadAndCompare(LEARNER, REFERENCE);
    Press(Qt::Key_F10, 40);
    const CComparisonTotals& totals = window.GetComparison()->GetComparison()->GetTotals();
    QVERIFY(totals.over > 0);
    QCOMPARE(totals.under, std::size_t{0});
    const QString expected =
        QStringLiteral("Vergleich mit muster.nc: %1 % innerhalb \u00B10.05; zu tief %2 Zellen (max 0.500); "
                       "Rest 0 Zellen (max 0.000)")
            .arg(QString::number(100.0 * totals.within / totals.cells, 'f', 1))
            .arg(totals.over);
    QCOMPARE(window.GetComparison()->GetInfoText(), expected);
    QCOMPARE(ColourAt(*window.GetCanvas(), 10.0, 2.0), CComparisonLayer::OVER_COLOUR);
    QPushButton* stop = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Vergleich aus"))
            stop = button;
    }
    QVERIFY(stop != nullptr && stop->isEnabled());
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(!stop->isEnabled());
    QVERIFY(window.GetComparison()->GetInfoText().isEmpty());
    QCOMPARE(ColourAt(*window.GetCanvas(), 10.0, 2.0), WorkpiecePicture::DepthColour(2.5 / 3.5));
}

void ComparisonLayerTest::referenceThatCannotBeUsed_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("message");
    QTest::newRow("a reference that cannot be opened") << "" << "l\u00E4sst sich nicht laden: Can't open file.";
    QTest::newRow("a reference with a syntax error") << "%\r\nN10 G1 X\r\nN20 M30\r\n"
                                                     << "l\u00E4sst sich nicht laden: Syntax error in line: 2";
    QTest::newRow("a reference in another box") << LONGER << "weicht vom Rohteil dieses Programms ab";
}

void ComparisonLayerTest::referenceThatCannotBeUsed()
{
    QFETCH(QString, reference);
    QFETCH(QString, message);
    panel = OpenPanel();
    Load(*panel, LEARNER);
    WaitForWorkpiece();
    Press(Qt::Key_F10, STEPS_AFTER_PLUNGE + 1);
    CToolpathWindow& window = *panel->GetToolpathWindow();
    const QRgb before = ColourAt(*window.GetCanvas(), 10.0, 2.0);
    const std::string file = reference.isEmpty() ? programs.Write(QStringLiteral("weg.nc"), "") + ".fehlt"
                                                 : programs.Write(QStringLiteral("muster.nc"), reference.toStdString());
    StartAndWait(window, file);
    QVERIFY(!window.GetComparison()->IsOn());
    QVERIFY2(window.GetComparison()->GetMessage().contains(message),
             qPrintable(window.GetComparison()->GetMessage()));
    // The learner's workpiece stays as it was.
    QCOMPARE(ColourAt(*window.GetCanvas(), 10.0, 2.0), before);
    QCOMPARE(before, WorkpiecePicture::DepthColour(2.5 / 3.5));
}

void ComparisonLayerTest::pictureCarriesTheSummary()
{
    CToolpathWindow& window = LoadAndCompare(LEARNER, REFERENCE);
    Press(Qt::Key_F10, 40);
    const QImage shot = window.GetCanvas()->grab().toImage();
    const QImage picture = window.GetComparison()->MakePicture(QStringLiteral("schueler.nc"));
    // The canvas as it is, with a strip of two text lines below.
    QCOMPARE(picture.width(), shot.width());
    const int line = QFontMetrics(window.GetCanvas()->font()).height();
    QVERIFY(picture.height() >= shot.height() + 2 * line);
    QCOMPARE(picture.pixel(Pixel(*window.GetCanvas(), 10.0, 2.0)) | 0xFF000000u, CComparisonLayer::OVER_COLOUR);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("bild.png"));
    QVERIFY(window.GetComparison()->SavePicture(file, QStringLiteral("schueler.nc")));
    QImage read;
    QVERIFY(read.load(file, "PNG"));
    QCOMPARE(read.size(), picture.size());
}


void ComparisonLayerTest::referenceStatesItsOwnBox()
{
    // Its stated box is wider than the one fitted to its path: the reference
    // must be cut in it as the learner is, or the boxes would seem to differ.
    const char* const STATED = "%\r\n"
                               "(ROHTEIL X-20 Y-20 Z-6 X40 Y30 Z0)\r\n"
                               "N10 G0 X0 Y0 Z5\r\n"
                               "N20 G1 Z-2 F100\r\n"
                               "N30 X20\r\n"
                               "N40 G0 Z5\r\n"
                               "N50 M30\r\n";
    panel = OpenPanel();
    Load(*panel, STATED);
    WaitForWorkpiece();
    CToolpathWindow& window = *panel->GetToolpathWindow();
    StartAndWait(window, programs.Write(QStringLiteral("muster.nc"), STATED));
    QVERIFY2(window.GetComparison()->IsOn(), qPrintable(window.GetComparison()->GetInfoText()));
    Press(Qt::Key_F10, 40);
    const CComparisonTotals& totals = window.GetComparison()->GetComparison()->GetTotals();
    QCOMPARE(totals.over, std::size_t{0});
    QCOMPARE(totals.under, std::size_t{0});
    QCOMPARE(totals.within, totals.cells);
}

void ComparisonLayerTest::linesOfSightFollowTheSteps_data()
{
    QTest::addColumn<bool>("fromFront");
    QTest::addColumn<int>("forward");
    QTest::addColumn<int>("back");
    QTest::addColumn<double>("along");
    QTest::addColumn<double>("z");
    QTest::addColumn<QString>("expected");
    // The learner's slot along X is half a millimetre below the reference's
    // (Z -2.5 for -2): red between the two along every line of sight through it.
    QTest::newRow("front: the step that cuts the slot too deep is red between the depths")
        << true << STEPS_AFTER_PLUNGE + 1 << 0 << 10.0 << -2.25 << "over";
    QTest::newRow("front: before that step the line holds material still to cut")
        << true << STEPS_AFTER_PLUNGE << 0 << 10.0 << -1.0 << "coming";
    QTest::newRow("front: below the material still to cut the block stays as it is")
        << true << STEPS_AFTER_PLUNGE << 0 << 10.0 << -2.25 << "block";
    QTest::newRow("front: a step back takes the red away again")
        << true << STEPS_AFTER_PLUNGE + 1 << 1 << 10.0 << -2.25 << "block";
    QTest::newRow("side: the plunge too deep is red on its row at once")
        << false << STEPS_AFTER_PLUNGE << 0 << 2.0 << -2.25 << "over";
    QTest::newRow("side: a step back before the plunge takes it away")
        << false << STEPS_AFTER_PLUNGE << 3 << 2.0 << -2.25 << "block";
}

void ComparisonLayerTest::linesOfSightFollowTheSteps()
{
    QFETCH(bool, fromFront);
    QFETCH(int, forward);
    QFETCH(int, back);
    QFETCH(double, along);
    QFETCH(double, z);
    QFETCH(QString, expected);
    CToolpathWindow& window = LoadAndCompare(LEARNER, REFERENCE);
    QVERIFY(window.GetComparison()->IsOn());
    const QString viewName = fromFront ? QStringLiteral("Vorne") : QStringLiteral("Seite");
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (button->text() == viewName)
            QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(window.GetCanvas()->GetView().GetProjection(), fromFront ? PROJECTION_FRONT : PROJECTION_SIDE);
    Press(Qt::Key_F10, forward);
    Press(Qt::Key_F10, back, Qt::ShiftModifier);
    const QRgb colour = SightColourAt(*window.GetCanvas(), fromFront, along, z);
    if (expected == QStringLiteral("over")) {
        QCOMPARE(colour, CComparisonLayer::OVER_COLOUR);
    } else if (expected == QStringLiteral("coming")) {
        QVERIFY2(qBlue(colour) > qRed(colour) + 40, qPrintable(QString::number(colour, 16)));
    } else {
        // The silhouette of an uncut line of sight, untouched by the comparison.
        QCOMPARE(colour, WorkpiecePicture::TOP_COLOUR);
    }
}

void ComparisonLayerTest::cutEndsWithoutWaiting_data()
{
    // heavyLearner: the reference is light and the search through the
    // learner's moves for the first one too deep is what runs.
    QTest::addColumn<bool>("heavyLearner");
    QTest::addColumn<QString>("ending");
    QTest::newRow("Vergleich aus") << false << "stop";
    QTest::newRow("another reference") << false << "other";
    QTest::newRow("a new load") << false << "load";
    QTest::newRow("closing the window") << false << "close";
    QTest::newRow("Vergleich aus during the search") << true << "stop";
    QTest::newRow("a new load during the search") << true << "load";
    QTest::newRow("closing the window during the search") << true << "close";
}

void ComparisonLayerTest::cutEndsWithoutWaiting()
{
    QFETCH(bool, heavyLearner);
    QFETCH(QString, ending);
    panel = OpenPanel();
    Load(*panel, heavyLearner ? HeavyReference() : BOXED);
    WaitForWorkpiece();
    CToolpathWindow& window = *panel->GetToolpathWindow();
    CComparisonLayer& comparison = *window.GetComparison();
    const QString reference = heavyLearner ? QStringLiteral("leicht.nc") : QStringLiteral("schwer.nc");
    QVERIFY(comparison.Start(
        QString::fromStdString(programs.Write(reference, heavyLearner ? std::string(BOXED) : HeavyReference()))));
    QVERIFY(comparison.IsCutting());
    QVERIFY2(window.GetInfoText().contains(QStringLiteral("Vergleich: Musterl\u00F6sung %1 wird geschnitten...")
                                               .arg(reference)),
             qPrintable(window.GetInfoText()));
    if (heavyLearner) {
        QTRY_VERIFY_WITH_TIMEOUT(!comparison.IsCutting(), WAIT_MS);
        QVERIFY2(comparison.IsOn(), qPrintable(comparison.GetMessage()));
        QVERIFY(comparison.IsSearching());
    }
    // Let the cut or the search get under way.
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    if (ending == QStringLiteral("stop")) {
        comparison.Stop();
        QVERIFY(!comparison.IsCutting());
        QVERIFY(!comparison.IsSearching());
        QVERIFY(!comparison.IsOn());
        QVERIFY(!window.GetInfoText().contains(QStringLiteral("geschnitten")));
    } else if (ending == QStringLiteral("other")) {
        StartAndWait(window, programs.Write(QStringLiteral("leicht.nc"), BOXED));
        QVERIFY2(comparison.IsOn(), qPrintable(comparison.GetMessage()));
        // The light reference's, not the heavy one's: its slot is still to cut.
        QVERIFY2(comparison.GetSummary().startsWith(QStringLiteral("Vergleich mit leicht.nc:")),
                 qPrintable(comparison.GetSummary()));
        QCOMPARE(comparison.GetComparison()->GetTotals().over, std::size_t{0});
        QVERIFY(comparison.GetComparison()->GetTotals().under > 0);
    } else if (ending == QStringLiteral("load")) {
        Load(*panel, BOXED);
    }
    QVERIFY2(clock.elapsed() < ENDED_WITHIN_MS, qPrintable(QString::number(clock.elapsed())));
    // Closing waits for the cut only as long as it takes to notice its
    // cancel: the cut must have ended or end now.
    clock.restart();
    panel.reset();
    QVERIFY2(clock.elapsed() < ENDED_WITHIN_MS, qPrintable(QString::number(clock.elapsed())));
}

// A slot along Y 0 cut with a D10 end mill (reaching Y 5), in the box both
// programs state; the learner states its own T1, which the workpiece is cut
// with instead of the settings' (the default D6). Its second pass lies inside
// the reference's slot only with the stated tool's reach.
void ComparisonLayerTest::firstOverUsesTheLearnersOwnTools_data()
{
    QTest::addColumn<QString>("diameter");
    QTest::addColumn<QString>("passY");
    QTest::addColumn<bool>("found");
    // D10 at Y 1.5 reaches Y 6.5, beyond the slot; D6 would stay within.
    QTest::newRow("a stated tool wider than the settings' cuts too deep with its pass") << "10" << "1.5" << true;
    // D2 at Y 3.5 reaches Y 4.5, within the slot; D6 would reach beyond.
    QTest::newRow("a stated tool narrower than the settings' stays within") << "2" << "3.5" << false;
}

void ComparisonLayerTest::firstOverUsesTheLearnersOwnTools()
{
    QFETCH(QString, diameter);
    QFETCH(QString, passY);
    QFETCH(bool, found);
    const char* const slot = "%\r\n"
                             "(ROHTEIL X-10 Y-10 Z-5 X30 Y10 Z0)\r\n"
                             "(WERKZEUG T1 SCHAFTFRAESER D10)\r\n"
                             "N10 T1\r\n"
                             "N20 G0 X0 Y0 Z5\r\n"
                             "N30 G1 Z-2 F100\r\n"
                             "N40 X20\r\n"
                             "N50 G0 Z5\r\n"
                             "N60 M30\r\n";
    // Move 3 is the pass along Y.
    const QString learner = QStringLiteral("%\r\n"
                                           "(ROHTEIL X-10 Y-10 Z-5 X30 Y10 Z0)\r\n"
                                           "(WERKZEUG T1 SCHAFTFRAESER D%1)\r\n"
                                           "N10 T1\r\n"
                                           "N20 G0 X0 Y0 Z5\r\n"
                                           "N30 G1 Z-2 F100\r\n"
                                           "N40 X20\r\n"
                                           "N50 Y%2\r\n"
                                           "N60 X0\r\n"
                                           "N70 G0 Z5\r\n"
                                           "N80 M30\r\n")
                                .arg(diameter, passY);
    CToolpathWindow& window = LoadAndCompare(learner.toStdString().c_str(), slot);
    CComparisonLayer& comparison = *window.GetComparison();
    QVERIFY2(comparison.IsOn(), qPrintable(comparison.GetMessage()));
    std::size_t move = 0;
    QCOMPARE(comparison.GetFirstOver(move), found);
    if (found)
        QCOMPARE(move, std::size_t{3});
    // The search and the workpiece shown agree: the finished part is too
    // deep exactly when the search found a move that cut too deep.
    Press(Qt::Key_F10, 40);
    QCOMPARE(comparison.GetComparison()->GetTotals().over > 0, found);
}

QTEST_MAIN(ComparisonLayerTest)
#include "comparison_layer_test.moc"
