// The workpiece in the toolpath window, driven through the real panel: a
// program loaded, the cursor stepped with the keys, the window's key and
// buttons pressed and its dialogs filled in. The canvas is grabbed once the
// workpiece has caught up with the cursor and its pixels are checked.
#include <cmath>
#include <memory>

#include <QtTest>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>

#include "cnc_edit_box_ctrl.h"
#include "controller_dlg.h"
#include "path_recolour.h"
#include "settings_store.h"
#include "stock_box_dialog.h"
#include "tool_table_dialog.h"
#include "tool_table_model.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "ui_test_support.h"
#include "workpiece_layer.h"
#include "workpiece_picture.h"

namespace {

// A plunge 2 deep at the origin, a slot along X to 20 and one along Y to 10,
// with the default flat 6 mm tool: the box is X -5..25, Y -5..15, Z -3..0
// (the radius and a margin of a tenth of the longer side).
const char* const SLOTS = "%\r\n"
                          "N10 G0 X0 Y0 Z5\r\n"
                          "N20 G1 Z-2 F100\r\n"
                          "N30 X20\r\n"
                          "N40 Y10\r\n"
                          "N50 G0 Z5\r\n"
                          "N60 M30\r\n";
// F10 presses until the cursor stands on X20 in N30, its block not yet
// applied: G0 X0 Y0 Z5, G1 Z-2 F100, X20.
constexpr int STEPS_BEFORE_SLOT = 8;
// A rapid 2 deep into the material after a cut along the top (box Z -10..0).
const char* const RAPID_INTO = "%\r\n"
                               "N10 G1 X0 Y0 Z0 F100\r\n"
                               "N20 X10\r\n"
                               "N30 G0 Z-2\r\n"
                               "N40 G0 Z5\r\n"
                               "N50 M30\r\n";
const char* const RAPID_CUT_TEXT = "Eilgang im Material";
constexpr int WAIT_MS = 10000;

QPoint Pixel(const CToolpathCanvas& canvas, double x, double y, double z = 0.0)
{
    const QPointF point =
        canvas.MapToCanvas(CMovePoint{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
    return QPoint(static_cast<int>(std::floor(point.x())), static_cast<int>(std::floor(point.y())));
}

QRgb ColourAt(CToolpathCanvas& canvas, double x, double y)
{
    return canvas.grab().toImage().pixel(Pixel(canvas, x, y)) | 0xFF000000u;
}

QPushButton* FindButton(QWidget& window, const QString& text)
{
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// The value stored for the program the window shows.
std::string Stored(CToolpathWindow& window, const char* name)
{
    std::string text;
    CSettingsStore().ReadSettingString(
        SETTINGS_KEY, CWorkpieceSettings::ValueName(window.GetWorkpiece()->GetProgramFile(), name), text);
    return text;
}

} // namespace

class WorkpieceLayerTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keyAndButtonShowAndHide();
    void stepsCutAndStepsBackRestore();
    void heldSweepsWaitAndAreNotUpToDate();
    void helpDescribesTheSilhouettes_data();
    void helpDescribesTheSilhouettes();
    void everyViewShowsTheMaterial_data();
    void everyViewShowsTheMaterial();
    void axesAndLegendLeaveTheWorkpieceFree_data();
    void axesAndLegendLeaveTheWorkpieceFree();
    void infoLineKeepsEveryPartReadable_data();
    void infoLineKeepsEveryPartReadable();
    void depthUnderThePointer_data();
    void depthUnderThePointer();
    void rapidIntoTheMaterialWhileCurrent_data();
    void rapidIntoTheMaterialWhileCurrent();
    void rapidThatCutIsDrawnRed();
    void toolTableRejectsBadEntries_data();
    void toolTableRejectsBadEntries();
    void toolTableKeepsAndAppliesGoodEntries();
    void stockBoxRejectsBadEntries_data();
    void stockBoxRejectsBadEntries();
    void stockBoxKeepsAndAppliesGoodEntries();
    void unusableStoredValuesAreDroppedAlone_data();
    void unusableStoredValuesAreDroppedAlone();

private:
    // Opens the panel, loads the program and waits for its workpiece.
    CToolpathWindow& LoadAndWait(const char* program);
    void Press(Qt::Key key, int times = 1, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void WaitForWorkpiece();
    // The slots after 20 steps, in the view the key chooses.
    CToolpathWindow& ShowSlotsIn(int key);

    std::unique_ptr<CTemporarySettings> store;
    std::unique_ptr<CControllerDlg> panel;
};

void WorkpieceLayerTest::init() { store = std::make_unique<CTemporarySettings>(); }

void WorkpieceLayerTest::cleanup()
{
    panel.reset();
    store.reset();
}

CToolpathWindow& WorkpieceLayerTest::LoadAndWait(const char* program)
{
    panel = OpenPanel();
    Load(*panel, program);
    WaitForWorkpiece();
    return *panel->GetToolpathWindow();
}

void WorkpieceLayerTest::WaitForWorkpiece()
{
    CToolpathWindow& window = *panel->GetToolpathWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window.IsPictureReady() && window.GetWorkpiece()->IsUpToDate(), WAIT_MS);
}

CToolpathWindow& WorkpieceLayerTest::ShowSlotsIn(int key)
{
    CToolpathWindow& window = LoadAndWait(SLOTS);
    Press(Qt::Key_F10, 20);
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        QTest::qFail("the toolpath window did not become active", __FILE__, __LINE__);
    QTest::keyClick(&window, static_cast<Qt::Key>(key));
    WaitForWorkpiece();
    return window;
}

void WorkpieceLayerTest::Press(Qt::Key key, int times, Qt::KeyboardModifiers modifiers)
{
    for (int press = 0; press < times; ++press)
        QTest::keyClick(panel->GetEditor(), key, modifiers);
    WaitForWorkpiece();
}

void WorkpieceLayerTest::keyAndButtonShowAndHide()
{
    CToolpathWindow& window = LoadAndWait(SLOTS);
    CToolpathCanvas& canvas = *window.GetCanvas();
    // Inside the box, away from the path: material nothing cut.
    QCOMPARE(ColourAt(canvas, 5, 8), WorkpiecePicture::TOP_COLOUR);
    // The window opens without taking the keys from the panel: a click on
    // it gives them to it.
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_W);
    QVERIFY(!window.GetWorkpiece()->IsShown());
    QCOMPARE(ColourAt(canvas, 5, 8), DefaultPathPalette().background);
    QPushButton* button = FindButton(window, QStringLiteral("Werkst\u00FCck"));
    QVERIFY(button != nullptr);
    QVERIFY(!button->isChecked());
    QTest::mouseClick(button, Qt::LeftButton);
    WaitForWorkpiece();
    QVERIFY(button->isChecked());
    QCOMPARE(ColourAt(canvas, 5, 8), WorkpiecePicture::TOP_COLOUR);
}

void WorkpieceLayerTest::stepsCutAndStepsBackRestore()
{
    CToolpathWindow& window = LoadAndWait(SLOTS);
    CToolpathCanvas& canvas = *window.GetCanvas();
    // Beside the slot's path line, within the tool's reach.
    const double x = 10.0;
    const double y = 2.0;
    Press(Qt::Key_F10, STEPS_BEFORE_SLOT);
    QCOMPARE(ColourAt(canvas, x, y), WorkpiecePicture::TOP_COLOUR);
    // Applying N30 cuts the slot 2 of the box's 3 deep.
    Press(Qt::Key_F10);
    QCOMPARE(ColourAt(canvas, x, y), WorkpiecePicture::DepthColour(2.0 / 3.0));
    Press(Qt::Key_F10, 1, Qt::ShiftModifier);
    QCOMPARE(ColourAt(canvas, x, y), WorkpiecePicture::TOP_COLOUR);
    // F4 starts again with the whole block.
    Press(Qt::Key_F10, 3);
    QVERIFY(ColourAt(canvas, x, y) != WorkpiecePicture::TOP_COLOUR);
    Press(Qt::Key_F4);
    QCOMPARE(ColourAt(canvas, x, y), WorkpiecePicture::TOP_COLOUR);
    // Stepped while closed (F5), the window shows the cursor's material once
    // it opens again.
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F5);
    QVERIFY(!window.isVisible());
    for (int press = 0; press <= STEPS_BEFORE_SLOT; ++press)
        QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F5);
    WaitForWorkpiece();
    QCOMPARE(ColourAt(canvas, x, y), WorkpiecePicture::DepthColour(2.0 / 3.0));
}

// The window holds the sweeps while a new path's first picture is drawn:
// meanwhile nothing is cut and nobody waiting for the workpiece goes on.
void WorkpieceLayerTest::heldSweepsWaitAndAreNotUpToDate()
{
    CToolpathWindow& window = LoadAndWait(SLOTS);
    CToolpathCanvas& canvas = *window.GetCanvas();
    CWorkpieceLayer& workpiece = *window.GetWorkpiece();
    const double x = 10.0;
    const double y = 2.0;
    Press(Qt::Key_F10, STEPS_BEFORE_SLOT);
    workpiece.HoldSweeps(true);
    QTest::keyClick(panel->GetEditor(), Qt::Key_F10);
    QTest::qWait(300);
    QVERIFY(!workpiece.IsUpToDate());
    QCOMPARE(ColourAt(canvas, x, y), WorkpiecePicture::TOP_COLOUR);
    workpiece.HoldSweeps(false);
    WaitForWorkpiece();
    QCOMPARE(ColourAt(canvas, x, y), WorkpiecePicture::DepthColour(2.0 / 3.0));
}

void WorkpieceLayerTest::helpDescribesTheSilhouettes_data()
{
    QTest::addColumn<int>("key");
    // A point of the silhouette where only part of the line of sight is
    // cut (a slot beside material), at two heights: in the cut, below it.
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::newRow("from the front, across the slot along X") << int(Qt::Key_2) << 10.0 << 0.0;
    QTest::newRow("from the side, across the slot along Y") << int(Qt::Key_3) << 20.0 << 5.0;
}

// The help says how the silhouettes look: light where the whole line of
// sight holds material, darker where only part of it does.
void WorkpieceLayerTest::helpDescribesTheSilhouettes()
{
    QFETCH(int, key);
    QFETCH(double, x);
    QFETCH(double, y);
    CToolpathWindow& window = ShowSlotsIn(key);
    if (QTest::currentTestFailed())
        return;
    CToolpathCanvas& canvas = *window.GetCanvas();
    const QImage image = canvas.grab().toImage();
    const auto lightness = [&](double z) { return QColor(image.pixel(Pixel(canvas, x, y, z))).lightness(); };
    const int partial = lightness(-1.0);
    const int solid = lightness(-2.5);
    QVERIFY2(partial < solid && partial > QColor(DefaultPathPalette().background).lightness(),
             qPrintable(QStringLiteral("partial %1, solid %2").arg(partial).arg(solid)));
    QFile help(QStringLiteral(":/res/help.html"));
    QVERIFY(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll()).simplified();
    QVERIFY(text.contains(QStringLiteral("hellgrau, wo auf der ganzen Sichtlinie Material steht, dunkler und "
                                         "durchscheinend, wo nur auf einem Teil davon")));
}

void WorkpieceLayerTest::everyViewShowsTheMaterial_data()
{
    QTest::addColumn<int>("key");
    // A program point where the picture shows material.
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("z");
    // The material's colour there; 0 for any but the background.
    QTest::addColumn<uint>("colour");
    QTest::newRow("from the top: untouched") << int(Qt::Key_1) << 5.0 << 8.0 << 0.0 << WorkpiecePicture::TOP_COLOUR;
    QTest::newRow("from the front: below the slots") << int(Qt::Key_2) << 10.0 << 0.0 << -2.5
                                                     << WorkpiecePicture::TOP_COLOUR;
    QTest::newRow("from the side: below the slots") << int(Qt::Key_3) << 0.0 << 5.0 << -2.5
                                                    << WorkpiecePicture::TOP_COLOUR;
    QTest::newRow("at an angle: the front wall") << int(Qt::Key_4) << 10.0 << -3.0 << -1.5 << 0u;
}

void WorkpieceLayerTest::everyViewShowsTheMaterial()
{
    QFETCH(int, key);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, z);
    QFETCH(uint, colour);
    CToolpathWindow& window = ShowSlotsIn(key);
    if (QTest::currentTestFailed())
        return;
    CToolpathCanvas& canvas = *window.GetCanvas();
    const QPoint pixel = Pixel(canvas, x, y, z);
    const QRgb shown = canvas.grab().toImage().pixel(pixel) | 0xFF000000u;
    if (colour != 0)
        QCOMPARE(shown, QRgb(colour));
    else
        QVERIFY(shown != DefaultPathPalette().background);
    QTest::keyClick(&window, Qt::Key_W);
    QCOMPARE(canvas.grab().toImage().pixel(pixel) | 0xFF000000u, DefaultPathPalette().background);
}

void WorkpieceLayerTest::axesAndLegendLeaveTheWorkpieceFree_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QSize>("size");
    QTest::newRow("from the top") << int(Qt::Key_1) << QSize(640, 480);
    QTest::newRow("from the front") << int(Qt::Key_2) << QSize(640, 480);
    QTest::newRow("from the side") << int(Qt::Key_3) << QSize(640, 480);
    QTest::newRow("at an angle") << int(Qt::Key_4) << QSize(640, 480);
    QTest::newRow("from the top, a tall window") << int(Qt::Key_1) << QSize(360, 700);
    QTest::newRow("at an angle, a wide window") << int(Qt::Key_4) << QSize(1200, 420);
    QTest::newRow("from the top, a wide window") << int(Qt::Key_1) << QSize(900, 560);
    QTest::newRow("from the front, a wide window") << int(Qt::Key_2) << QSize(900, 560);
    QTest::newRow("from the side, a wide window") << int(Qt::Key_3) << QSize(1200, 560);
}

// The box's corners all lie clear of the axes, of the legend of depths and
// of the scale bar.
void WorkpieceLayerTest::axesAndLegendLeaveTheWorkpieceFree()
{
    QFETCH(int, key);
    QFETCH(QSize, size);
    CToolpathWindow& window = LoadAndWait(SLOTS);
    window.resize(size);
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, static_cast<Qt::Key>(key));
    WaitForWorkpiece();
    CToolpathCanvas& canvas = *window.GetCanvas();
    QCOMPARE(int(canvas.GetView().GetProjection()), key - int(Qt::Key_1));
    const CStockBox box = window.GetWorkpiece()->GetShownGrid()->GetBox();
    QPolygonF corners;
    for (int corner = 0; corner < 8; ++corner)
        corners << canvas.MapToCanvas(CMovePoint{(corner & 1) ? box.x1 : box.x0, (corner & 2) ? box.y1 : box.y0,
                                                 (corner & 4) ? box.z1 : box.z0});
    const QRectF workpiece = corners.boundingRect();
    const QRectF axes = canvas.GetAxesBox();
    const QSize legendSize = window.GetWorkpiece()->GetLegendSize(canvas.GetView().GetProjection());
    const QRectF legend(canvas.width() - legendSize.width(), 0, legendSize.width(), legendSize.height());
    QVERIFY2(!workpiece.intersects(axes), qPrintable(QStringLiteral("axes %1,%2 %3x%4")
                                                         .arg(axes.x()).arg(axes.y()).arg(axes.width()).arg(axes.height())));
    QVERIFY(legendSize.isEmpty() || !workpiece.intersects(legend));
    QVERIFY(!canvas.GetScaleBarBox().isEmpty());
    QVERIFY(!workpiece.intersects(canvas.GetScaleBarBox()));
    QVERIFY(QRectF(canvas.rect()).contains(workpiece));
}

void WorkpieceLayerTest::infoLineKeepsEveryPartReadable_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("the default width") << 640;
    QTest::newRow("narrower") << 420;
    QTest::newRow("as narrow as a small screen's half") << 300;
}

// A rapid into the material with the depth under the pointer: the warning
// stays whole, every line fits, and no unit or axis stands alone.
void WorkpieceLayerTest::infoLineKeepsEveryPartReadable()
{
    QFETCH(int, width);
    CToolpathWindow& window = LoadAndWait(RAPID_INTO);
    window.resize(width, 480);
    Press(Qt::Key_F10, 8);
    CToolpathCanvas& canvas = *window.GetCanvas();
    QTest::mouseMove(&canvas, Pixel(canvas, 5.0, 0.0));
    QVERIFY2(window.GetInfoText().contains(QStringLiteral("Tiefe bei")), qPrintable(window.GetInfoText()));
    const auto* label = window.findChild<QLabel*>(QStringLiteral("infoLine"));
    const QFontMetrics metrics(label->font());
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    QVERIFY2(label->text().contains(QString::fromUtf8(RAPID_CUT_TEXT)), qPrintable(label->text()));
    for (const QString& line : lines.mid(1)) {
        QVERIFY2(metrics.horizontalAdvance(line) <= label->contentsRect().width(), qPrintable(line));
        QVERIFY2(!line.endsWith(QStringLiteral("...")), qPrintable(line));
        const QString last = line.trimmed().section(QLatin1Char(' '), -1);
        QVERIFY2(!line.trimmed().startsWith(QStringLiteral("MM")) && !(last.size() == 1 && last[0].isLetter()),
                 qPrintable(line));
    }
    // What wraps is all there: the lines joined give the full text again.
    QString joined = lines.mid(1).join(QLatin1Char(' ')).simplified();
    QString full = window.GetInfoText().section(QLatin1Char('\n'), 1).simplified();
    QCOMPARE(joined, full);
}

void WorkpieceLayerTest::depthUnderThePointer_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    // Empty: no depth shown there.
    QTest::addColumn<QString>("depth");
    QTest::newRow("in the slot") << 10.0 << 1.5 << QStringLiteral("-2.000");
    QTest::newRow("in the slot along Y") << 21.5 << 6.0 << QStringLiteral("-2.000");
    QTest::newRow("material left") << 5.0 << 8.0 << QStringLiteral("0.000");
    QTest::newRow("beside the box") << 26.0 << 5.0 << QString();
}

void WorkpieceLayerTest::depthUnderThePointer()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(QString, depth);
    CToolpathWindow& window = LoadAndWait(SLOTS);
    Press(Qt::Key_F10, 20);
    CToolpathCanvas& canvas = *window.GetCanvas();
    QTest::mouseMove(&canvas, Pixel(canvas, x, y));
    const QString info = window.GetInfoText();
    const QRegularExpression pattern(QStringLiteral("Tiefe bei X (-?\\d+\\.\\d{3}) Y (-?\\d+\\.\\d{3}): Z (-?\\d+\\.\\d{3})"));
    const QRegularExpressionMatch match = pattern.match(info);
    if (depth.isEmpty()) {
        QVERIFY2(!info.contains(QStringLiteral("Tiefe")), qPrintable(info));
        return;
    }
    QVERIFY2(match.hasMatch(), qPrintable(info));
    QCOMPARE(match.captured(3), depth);
    // The cell's centre: within a cell and a pixel of the pointer.
    const double reach = 26.0 / 1000.0 + 1.0 / canvas.GetView().GetScale();
    QVERIFY(std::abs(match.captured(1).toDouble() - x) <= reach);
    QVERIFY(std::abs(match.captured(2).toDouble() - y) <= reach);
}

void WorkpieceLayerTest::rapidIntoTheMaterialWhileCurrent_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("marked");
    // G1 X0 Y0 Z0 F100 take 5 presses, X10 one more; the next reaches N30.
    QTest::newRow("in N20, the cut along the top") << 6 << false;
    QTest::newRow("on G0 of N30") << 7 << true;
    QTest::newRow("on Z-2 of N30") << 8 << true;
    QTest::newRow("in N40, the rapid up") << 9 << false;
}

void WorkpieceLayerTest::rapidIntoTheMaterialWhileCurrent()
{
    QFETCH(int, steps);
    QFETCH(bool, marked);
    CToolpathWindow& window = LoadAndWait(RAPID_INTO);
    Press(Qt::Key_F10, steps);
    QCOMPARE(window.GetInfoText().contains(QString::fromUtf8(RAPID_CUT_TEXT)), marked);
}

void WorkpieceLayerTest::rapidThatCutIsDrawnRed()
{
    CToolpathWindow& window = LoadAndWait(RAPID_INTO);
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_2);
    CToolpathCanvas& canvas = *window.GetCanvas();
    const auto middle = [&canvas]() {
        const QPointF point = canvas.MapToCanvas(CMovePoint{10.0f, 0.0f, -1.0f});
        return canvas.grab().toImage().pixel(QPoint(static_cast<int>(point.x()), static_cast<int>(point.y())));
    };
    // Before N30 is applied its rapid is drawn as a rapid; at the end, red
    // (the rapid up in N40 runs along it but does not cut); stepped back, a
    // rapid again.
    Press(Qt::Key_F10, 6);
    const QRgb before = middle();
    QVERIFY(qRed(before) < 200 || qGreen(before) > 100);
    Press(Qt::Key_F10, 5);
    QVERIFY(qRed(middle()) > 200 && qGreen(middle()) < 100);
    Press(Qt::Key_F10, 5, Qt::ShiftModifier);
    QCOMPARE(middle(), before);
}

void WorkpieceLayerTest::toolTableRejectsBadEntries_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("diameter");
    QTest::addColumn<QString>("defaultDiameter");
    QTest::addColumn<QString>("message");
    QTest::newRow("diameter 0") << "2" << "0" << "6" << QStringLiteral("Durchmesser von T2");
    QTest::newRow("text as diameter") << "2" << "sechs" << "6" << QStringLiteral("keine Zahl");
    QTest::newRow("two decimal commas") << "2" << "6,5,1" << "6" << QStringLiteral("keine Zahl");
    QTest::newRow("empty diameter") << "2" << " " << "6" << QStringLiteral("Feld ist leer");
    QTest::newRow("negative T number") << "-1" << "6" << "6" << QStringLiteral("Werkzeugnummer");
    QTest::newRow("fraction as T number") << "1.5" << "6" << "6" << QStringLiteral("Werkzeugnummer");
    QTest::newRow("default diameter negative") << "2" << "6" << "-6" << QStringLiteral("Standardwerkzeugs");
}

void WorkpieceLayerTest::toolTableRejectsBadEntries()
{
    QFETCH(QString, number);
    QFETCH(QString, diameter);
    QFETCH(QString, defaultDiameter);
    QFETCH(QString, message);
    CToolpathWindow& window = LoadAndWait(SLOTS);
    QTest::mouseClick(FindButton(window, QStringLiteral("Werkzeuge...")), Qt::LeftButton);
    auto* dialog = window.findChild<CToolTableDialog*>();
    QVERIFY(dialog != nullptr && dialog->isVisible());
    dialog->AddTool();
    CToolTableModel& table = *dialog->GetModel();
    table.setData(table.index(0, CToolTableModel::COLUMN_NUMBER), number);
    table.setData(table.index(0, CToolTableModel::COLUMN_DIAMETER), diameter);
    dialog->GetDefaultDiameter()->setText(defaultDiameter);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QVERIFY2(dialog->GetMessage().contains(message), qPrintable(dialog->GetMessage()));
    QVERIFY(dialog->isVisible());
    QCOMPARE(Stored(window, "stock_tool_count"), std::string());
    QCOMPARE(window.GetWorkpiece()->GetSettings().tools.size(), std::size_t{0});
}

void WorkpieceLayerTest::toolTableKeepsAndAppliesGoodEntries()
{
    CToolpathWindow& window = LoadAndWait(SLOTS);
    Press(Qt::Key_F10, 20);
    CToolpathCanvas& canvas = *window.GetCanvas();
    // Out of the 6 mm tool's reach from the slot along X, within 8 mm's.
    QCOMPARE(ColourAt(canvas, 10, 3.6), WorkpiecePicture::TOP_COLOUR);
    QTest::mouseClick(FindButton(window, QStringLiteral("Werkzeuge...")), Qt::LeftButton);
    auto* dialog = window.findChild<CToolTableDialog*>();
    QVERIFY(dialog != nullptr);
    dialog->AddTool();
    CToolTableModel& table = *dialog->GetModel();
    table.setData(table.index(0, CToolTableModel::COLUMN_NUMBER), QStringLiteral("3"));
    auto* shape = qobject_cast<QComboBox*>(
        dialog->GetTable()->indexWidget(table.index(0, CToolTableModel::COLUMN_SHAPE)));
    QVERIFY(shape != nullptr);
    shape->setCurrentIndex(1);
    table.setData(table.index(0, CToolTableModel::COLUMN_DIAMETER), QStringLiteral(" 3.175 "));
    dialog->GetDefaultDiameter()->setText(QStringLiteral("8"));
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(window.findChild<CToolTableDialog*>() == nullptr);
    QCOMPARE(Stored(window, "stock_tool_count"), std::string("1"));
    QCOMPARE(Stored(window, "stock_tool_1"), std::string("3=ball:3.175"));
    QCOMPARE(Stored(window, "stock_default_tool"), std::string("flat:8"));
    WaitForWorkpiece();
    QVERIFY(ColourAt(canvas, 10, 3.6) != WorkpiecePicture::TOP_COLOUR);
    // The next window reads them back.
    CWorkpieceSettings read;
    read.Load(*std::make_unique<CSettingsStore>(), window.GetWorkpiece()->GetProgramFile());
    QCOMPARE(read.tools.size(), std::size_t{1});
    QVERIFY(read == window.GetWorkpiece()->GetSettings());
}

void WorkpieceLayerTest::stockBoxRejectsBadEntries_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("message");
    QTest::newRow("upside down") << QStringList{"0", "0", "0", "50", "40", "-5"}
                                 << QStringLiteral("Z0 muss kleiner als Z1");
    QTest::newRow("no width") << QStringList{"10", "0", "-5", "10", "40", "0"}
                              << QStringLiteral("X0 muss kleiner als X1");
    QTest::newRow("text in a field") << QStringList{"0", "0", "-5", "50", "vierzig", "0"}
                                     << QStringLiteral("\u201EY1\u201C steht keine Zahl");
    QTest::newRow("empty field") << QStringList{"0", "", "-5", "50", "40", "0"} << QStringLiteral("Y0");
}

void WorkpieceLayerTest::stockBoxRejectsBadEntries()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    CToolpathWindow& window = LoadAndWait(SLOTS);
    QTest::mouseClick(FindButton(window, QStringLiteral("Rohteil...")), Qt::LeftButton);
    auto* dialog = window.findChild<CStockBoxDialog*>();
    QVERIFY(dialog != nullptr && dialog->isVisible());
    // The fields start with the automatic box in use: the tool's radius and
    // the margin around the path.
    QCOMPARE(dialog->GetField(0)->text(), QStringLiteral("-5"));
    QVERIFY(!dialog->GetField(0)->isEnabled());
    dialog->GetOwnBox()->click();
    for (int index = 0; index < STOCK_BOX_VALUES; ++index)
        dialog->GetField(index)->setText(fields[index]);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QVERIFY2(dialog->GetMessage().contains(message), qPrintable(dialog->GetMessage()));
    QVERIFY(dialog->isVisible());
    QCOMPARE(Stored(window, "stock_box"), std::string());
    QVERIFY(window.GetWorkpiece()->GetSettings().automaticBox);
}

void WorkpieceLayerTest::stockBoxKeepsAndAppliesGoodEntries()
{
    CToolpathWindow& window = LoadAndWait(SLOTS);
    CToolpathCanvas& canvas = *window.GetCanvas();
    QTest::mouseClick(FindButton(window, QStringLiteral("Rohteil...")), Qt::LeftButton);
    auto* dialog = window.findChild<CStockBoxDialog*>();
    QVERIFY(dialog != nullptr);
    dialog->GetOwnBox()->click();
    const QStringList fields{"-1", "-1", "-4.5", "21", "11", "0.5"};
    for (int index = 0; index < STOCK_BOX_VALUES; ++index)
        dialog->GetField(index)->setText(fields[index]);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(window.findChild<CStockBoxDialog*>() == nullptr);
    QCOMPARE(Stored(window, "stock_box"), std::string("-1,-1,-4.5,21,11,0.5"));
    WaitForWorkpiece();
    // Within the automatic box, outside this one; then the new top.
    QCOMPARE(ColourAt(canvas, 5, 11.5), DefaultPathPalette().background);
    QTest::mouseMove(&canvas, Pixel(canvas, 5, 8));
    QVERIFY2(window.GetInfoText().contains(QStringLiteral(": Z 0.500")), qPrintable(window.GetInfoText()));
    // Back to the automatic box.
    QTest::mouseClick(FindButton(window, QStringLiteral("Rohteil...")), Qt::LeftButton);
    dialog = window.findChild<CStockBoxDialog*>();
    QVERIFY(dialog != nullptr);
    dialog->GetAutomatic()->click();
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(window.findChild<CStockBoxDialog*>() == nullptr);
    QCOMPARE(Stored(window, "stock_box"), std::string("auto"));
    WaitForWorkpiece();
    QCOMPARE(ColourAt(canvas, 5, 11.5), WorkpiecePicture::TOP_COLOUR);
}

void WorkpieceLayerTest::unusableStoredValuesAreDroppedAlone_data()
{
    // Value names and texts, stored by hand; what is dropped, and the tools
    // and box that stay.
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QList<int>>("keptTools");
    QTest::addColumn<bool>("keptBox");
    const QStringList goodTools{"stock_tool_count", "2", "stock_tool_1", "1=flat:2", "stock_tool_2", "4=ball:3"};
    const QStringList goodBox{"stock_box", "0,0,-5,50,40,0"};
    QTest::newRow("box of five numbers") << goodTools + QStringList{"stock_box", "0,0,-5,50,40"}
                                         << "Rohteil \u201E0,0,-5,50,40\u201C" << QList<int>{1, 4} << false;
    QTest::newRow("box of seven numbers") << goodTools + QStringList{"stock_box", "0,0,-5,50,40,0,1"}
                                          << "Rohteil" << QList<int>{1, 4} << false;
    QTest::newRow("box upside down") << goodTools + QStringList{"stock_box", "0,0,0,50,40,-5"} << "Rohteil"
                                     << QList<int>{1, 4} << false;
    QTest::newRow("box with a word") << goodTools + QStringList{"stock_box", "0,0,-5,fifty,40,0"} << "Rohteil"
                                     << QList<int>{1, 4} << false;
    QTest::newRow("unknown default shape") << goodTools + goodBox + QStringList{"stock_default_tool", "cone:6"}
                                           << "Standardwerkzeug \u201Econe:6\u201C" << QList<int>{1, 4} << true;
    QTest::newRow("default diameter 0") << goodBox + QStringList{"stock_default_tool", "flat:0"}
                                        << "Standardwerkzeug" << QList<int>{} << true;
    QTest::newRow("one negative diameter among good tools")
        << goodBox + QStringList{"stock_tool_count", "3", "stock_tool_1", "1=flat:2", "stock_tool_2", "2=flat:-2",
                                 "stock_tool_3", "4=ball:3"}
        << "Werkzeug \u201E2=flat:-2\u201C" << QList<int>{1, 4} << true;
    QTest::newRow("one number twice: the second goes")
        << goodBox + QStringList{"stock_tool_count", "3", "stock_tool_1", "1=flat:2", "stock_tool_2", "1=ball:3",
                                 "stock_tool_3", "4=ball:3"}
        << "Werkzeug \u201E1=ball:3\u201C" << QList<int>{1, 4} << true;
    QTest::newRow("nothing wrong") << goodTools + goodBox << "" << QList<int>{1, 4} << true;
}

void WorkpieceLayerTest::unusableStoredValuesAreDroppedAlone()
{
    QFETCH(QStringList, values);
    QFETCH(QString, dropped);
    QFETCH(QList<int>, keptTools);
    QFETCH(bool, keptBox);
    CMemorySettings memory;
    for (int index = 0; index + 1 < values.size(); index += 2)
        memory.WriteSettingString(SETTINGS_KEY, values[index].toStdString(), values[index + 1].toStdString());
    CWorkpieceSettings read;
    const QString note = read.Load(memory);
    if (dropped.isEmpty()) {
        QCOMPARE(note, QString());
    } else {
        QVERIFY2(note.startsWith(QStringLiteral("Gespeicherte Werkst\u00FCck-Einstellungen verworfen")), qPrintable(note));
        QVERIFY2(note.contains(dropped), qPrintable(note));
    }
    QList<int> tools;
    for (const CWorkpieceToolEntry& tool : read.tools)
        tools << tool.number;
    QCOMPARE(tools, keptTools);
    QCOMPARE(!read.automaticBox, keptBox);
    QVERIFY(read.Check().isEmpty());
}

QTEST_MAIN(WorkpieceLayerTest)
#include "workpiece_layer_test.moc"
