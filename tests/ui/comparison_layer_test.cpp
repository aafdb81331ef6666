// The comparison with a reference in the toolpath window, driven through the
// real panel: a learner's program loaded and stepped with the keys, the
// reference started, the canvas grabbed once the workpiece has caught up
// and its pixels and the info line checked.
#include <cmath>
#include <memory>

#include <QtTest>

#include <QApplication>
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

private:
    CToolpathWindow& LoadAndCompare(const char* learner, const char* reference);
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
    window.GetComparison()->Start(QString::fromStdString(file));
    return window;
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
        QCOMPARE(colour, CWorkpiecePicture::TOP_COLOUR);
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
    QCOMPARE(ColourAt(*window.GetCanvas(), 10.0, 2.0), CWorkpiecePicture::DepthColour(2.5 / 3.5));
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
    QVERIFY(!window.GetComparison()->Start(QString::fromStdString(file)));
    QVERIFY(!window.GetComparison()->IsOn());
    QVERIFY2(window.GetComparison()->GetMessage().contains(message),
             qPrintable(window.GetComparison()->GetMessage()));
    // The learner's workpiece stays as it was.
    QCOMPARE(ColourAt(*window.GetCanvas(), 10.0, 2.0), before);
    QCOMPARE(before, CWorkpiecePicture::DepthColour(2.5 / 3.5));
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
    const std::string file = programs.Write(QStringLiteral("muster.nc"), STATED);
    QVERIFY2(window.GetComparison()->Start(QString::fromStdString(file)),
             qPrintable(window.GetComparison()->GetInfoText()));
    Press(Qt::Key_F10, 40);
    const CComparisonTotals& totals = window.GetComparison()->GetComparison()->GetTotals();
    QCOMPARE(totals.over, std::size_t{0});
    QCOMPARE(totals.under, std::size_t{0});
    QCOMPARE(totals.within, totals.cells);
}

QTEST_MAIN(ComparisonLayerTest)
#include "comparison_layer_test.moc"
