// The toolpath window driven as the panel drives it: a loaded program, the
// cursor stepped word by word and the window told after each command. The
// window is grabbed once its picture is made and its pixels are checked.
#include <memory>

#include <QtTest>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "cli_panel.h"
#include "cnc_edit_box_ctrl.h"
#include "cnc_program.h"
#include "control_ids.h"
#include "controller_dlg.h"
#include "headless_view.h"
#include "machine_state.h"
#include "path_recolour.h"
#include "program_cursor.h"
#include "test_support.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "workpiece_layer.h"
#include "ui_test_support.h"

namespace {

// A rectangle 40 x 20 after a rapid to the origin: moves 0 to 4.
const char* const RECTANGLE = "%\r\n"
                              "N10 G0 X0 Y0 Z0\r\n"
                              "N20 G1 X40 F100\r\n"
                              "N30 Y20\r\n"
                              "N40 X0\r\n"
                              "N50 Y0\r\n"
                              "N60 M30\r\n";
// F10 presses from the load until the cursor stands in block N30: G0, X0, Y0,
// Z0, G1, X40, F100, Y20.
constexpr int STEPS_TO_N30 = 8;
constexpr int WAIT_MS = 10000;

// The panel's side of the window: a loader, the machine state and the
// cursor over a headless program view, and a parent widget for the window.
class CSteppingRig {
public:
    explicit CSteppingRig(ISettingsStore& settings)
        : loader(&view, chooser, settings), state(&panel), cursor(loader, state, &view, panel),
          window(settings, &panelWidget, &view)
    {
        panelWidget.setGeometry(30, 40, 500, 400);
        // These tests look at the path alone.
        window.GetWorkpiece()->SetShown(false);
    }

    void Load(const std::string& bytes)
    {
        CTempFile file(bytes);
        LoadPath(file.GetPath());
    }
    void LoadPath(const std::string& path)
    {
        chooser.SetPath(path);
        window.OnProgramChanging();
        cursor.OnLoad();
        window.OnStepped(STEP_LOAD, cursor, state);
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
    void Step(int times = 1)
    {
        for (int step = 0; step < times; ++step) {
            cursor.OnNextWord();
            window.OnStepped(STEP_NEXT_WORD, cursor, state);
        }
    }
    void Reset()
    {
        cursor.OnReset();
        window.OnStepped(STEP_RESET, cursor, state);
    }
    void RunToEnd()
    {
        panel.SetRunToSelection(RUNTO_END);
        cursor.OnRunToModeChanged();
        cursor.OnRunTo();
        window.OnStepped(STEP_RUN_TO, cursor, state);
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

// The pixel the raster gives a program point: rounded to the nearest.
QPoint RasterPixel(const CToolpathCanvas& canvas, double x, double y, double z)
{
    const QPointF point = canvas.MapToCanvas(CMovePoint{x, y, z});
    return QPoint(static_cast<int>(std::floor(point.x() + 0.5)), static_cast<int>(std::floor(point.y() + 0.5)));
}

QRgb ColourAt(CToolpathCanvas& canvas, const QPoint& pixel)
{
    return canvas.grab().toImage().pixel(pixel) | 0xFF000000u;
}

} // namespace

class ToolpathWindowTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void panelStepsRecolourTheWindow();
    void panelClickOnThePathSelectsTheLine();
    void panelF5AndTheButtonOpenAndClose();
    void panelButtonSitsInFreeSpace();
    void panelReopensTheWindowWhereItWas();
    void coloursFollowTheCursor_data();
    void coloursFollowTheCursor();
    void infoLineShowsTheExactPosition_data();
    void infoLineShowsTheExactPosition();
    void infoLineNamesTheToolPosition_data();
    void infoLineNamesTheToolPosition();
    void pathSwitchShowsAllAheadOrNone_data();
    void pathSwitchShowsAllAheadOrNone();
    void toolStandsWhereThePanelSays_data();
    void toolStandsWhereThePanelSays();
    void infoLineDescribesTheClickedBlock_data();
    void infoLineDescribesTheClickedBlock();
    void infoLineCutsALongBlockShort();
    void pictureSaysWhyThePathIsMissing_data();
    void pictureSaysWhyThePathIsMissing();
    void clickOnAStalePictureIsIgnoredAtOnce();
    void clickOnThePathNamesTheBlock();
    void keysChooseTheViewAndFit_data();
    void keysChooseTheViewAndFit();
    void wheelZoomsAboutThePointerAndDragPans();
    void firstStartOpensBesideThePanel();
    void storedGeometryIsReused_data();
    void storedGeometryIsReused();
    void brokenSettingsFallBackToTheDefault_data();
    void brokenSettingsFallBackToTheDefault();
    void closedWindowBuildsWhenOpened();
    void hintsAreThoseOfTheProgramLoaded_data();
    void hintsAreThoseOfTheProgramLoaded();
    void windowButtonsStepLikeTheKeys();
    void stepBackRestoresThePicture();
    void pathIsOneScreenPixelWide();

private:
    void WaitForPicture(CToolpathWindow& window);
    // The rectangle in the active window, its picture drawn: keys reach it.
    void ShowActiveRectangle(CSteppingRig& rig);
    CMemorySettings* settings = nullptr;
    std::unique_ptr<CTemporarySettings> store;
};

void ToolpathWindowTest::init()
{
    settings = new CMemorySettings();
    store = std::make_unique<CTemporarySettings>();
}

void ToolpathWindowTest::cleanup()
{
    store.reset();
    delete settings;
    settings = nullptr;
}

void ToolpathWindowTest::panelStepsRecolourTheWindow()
{
    const auto panel = OpenPanel();
    CToolpathWindow* window = panel->GetToolpathWindow();
    // First start: the window opens with the panel.
    QVERIFY(window->isVisible());
    Load(*panel, RECTANGLE);
    WaitForPicture(*window);
    CCncEditBoxCtrl* editor = panel->GetEditor();
    for (int step = 0; step < STEPS_TO_N30; ++step)
        QTest::keyClick(editor, Qt::Key_F10);
    CToolpathCanvas& canvas = *window->GetCanvas();
    const QImage image = canvas.grab().toImage();
    const CPathPalette& palette = DefaultPathPalette();
    QCOMPARE(image.pixel(RasterPixel(canvas, 20, 0, 0)) | 0xFF000000u, palette.done[STYLE_FEED]);
    QCOMPARE(image.pixel(RasterPixel(canvas, 40, 10, 0)) | 0xFF000000u, CToolpathCanvas::CURRENT_BLOCK_COLOUR);
    QCOMPARE(image.pixel(RasterPixel(canvas, 20, 20, 0)) | 0xFF000000u, palette.coming[STYLE_FEED]);
    // The picture was not made again for the steps.
    QVERIFY(window->IsPictureReady());
    QVERIFY(window->GetInfoText().startsWith(QStringLiteral("Zeile 4: N30 Y20")));
}

void ToolpathWindowTest::panelClickOnThePathSelectsTheLine()
{
    const auto panel = OpenPanel();
    CToolpathWindow* window = panel->GetToolpathWindow();
    Load(*panel, RECTANGLE);
    WaitForPicture(*window);
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G0"));
    const WordPosition cursor = panel->GetProgramCursor()->GetCursor();
    CToolpathCanvas& canvas = *window->GetCanvas();
    // The top side is N40, on line 5 of the file; the last line break starts
    // an empty eighth line.
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, RasterPixel(canvas, 20, 20, 0));
    QCOMPARE(editor->GetCaretLine(), 4);
    QVERIFY(editor->GetSelectedText().startsWith(QStringLiteral("N40 X0")));
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), QStringLiteral("5/8"));
    // Browsing executes nothing; F8 returns to the actual word.
    QCOMPARE(panel->GetProgramCursor()->GetCursor(), cursor);
    QTest::keyClick(editor, Qt::Key_F8);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G0"));
}

void ToolpathWindowTest::panelF5AndTheButtonOpenAndClose()
{
    const auto panel = OpenPanel();
    CToolpathWindow* window = panel->GetToolpathWindow();
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QPushButton* button = Button(*panel, IDC_PATH_WINDOW);
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), QStringLiteral("&Bahn..."));
    QVERIFY(window->isVisible());
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_F5);
    QVERIFY(!window->isVisible());
    QTest::keyClick(editor, Qt::Key_F5);
    QVERIFY(window->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(window->isVisible());
    // It closes with the panel.
    QTest::mouseClick(Button(*panel, IDC_DONE), Qt::LeftButton);
    QVERIFY(!window->isVisible());
}

void ToolpathWindowTest::panelButtonSitsInFreeSpace()
{
    const auto panel = OpenPanel();
    QPushButton* button = Button(*panel, IDC_PATH_WINDOW);
    QPushButton* question = Button(*panel, IDC_QUESTION);
    // Left of "?", as high as it, and on no other control.
    QCOMPARE(button->geometry(), QRect(413, 302, 42, 16));
    QVERIFY(button->geometry().right() < question->geometry().left());
    QCOMPARE(button->geometry().top(), question->geometry().top());
    QCOMPARE(button->height(), question->height());
    for (QWidget* control : panel->findChildren<QWidget*>()) {
        if (control == button || control->parentWidget() != panel.get() || !control->isVisible())
            continue;
        QVERIFY2(!control->geometry().intersects(button->geometry()), qPrintable(control->objectName()));
    }
    QVERIFY(button->rect().width() >= button->fontMetrics().horizontalAdvance(QStringLiteral("Bahn...")));
}

void ToolpathWindowTest::panelReopensTheWindowWhereItWas()
{
    const QRect placed(620, 70, 720, 540);
    {
        const auto panel = OpenPanel();
        CToolpathWindow* window = panel->GetToolpathWindow();
        window->move(placed.topLeft());
        window->resize(placed.size());
        QTest::mouseClick(Button(*panel, IDC_DONE), Qt::LeftButton);
    }
    const auto panel = OpenPanel();
    CToolpathWindow* window = panel->GetToolpathWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->frameGeometry().topLeft(), placed.topLeft());
    QCOMPARE(window->size(), placed.size());
}

void ToolpathWindowTest::windowButtonsStepLikeTheKeys()
{
    // The same commands by the window's buttons and by the keys.
    QStringList byButtons;
    QStringList byKeys;
    for (QStringList* seen : {&byButtons, &byKeys}) {
        const auto panel = OpenPanel();
        CToolpathWindow* window = panel->GetToolpathWindow();
        Load(*panel, RECTANGLE);
        WaitForPicture(*window);
        CCncEditBoxCtrl* editor = panel->GetEditor();
        const auto press = [&](const char* button, Qt::Key key, Qt::KeyboardModifiers modifiers) {
            if (seen == &byButtons) {
                QPushButton* found = nullptr;
                for (QPushButton* candidate : window->findChildren<QPushButton*>()) {
                    if (candidate->text() == QString::fromUtf8(button))
                        found = candidate;
                }
                QVERIFY2(found != nullptr, button);
                QTest::mouseClick(found, Qt::LeftButton);
            } else {
                QTest::keyClick(editor, key, modifiers);
            }
            *seen << editor->GetSelectedText() + QLatin1Char('|') + Text(*panel, IDC_POSITION_X) + QLatin1Char('|') +
                         window->GetInfoText();
        };
        press("Schritt", Qt::Key_F10, Qt::NoModifier);
        press("N\xC3\xA4" "chster", Qt::Key_F9, Qt::NoModifier);
        press("N\xC3\xA4" "chster", Qt::Key_F9, Qt::NoModifier);
        press("Zur\xC3\xBC" "ck", Qt::Key_F10, Qt::ShiftModifier);
        press("Schritt", Qt::Key_F10, Qt::NoModifier);
    }
    QCOMPARE(byButtons, byKeys);
    // Stepping moved on, and stepping back went back.
    QVERIFY(byKeys[0] != byKeys[1]);
    QCOMPARE(byKeys[3], byKeys[1]);
}

void ToolpathWindowTest::stepBackRestoresThePicture()
{
    const auto panel = OpenPanel();
    CToolpathWindow* window = panel->GetToolpathWindow();
    Load(*panel, RECTANGLE);
    WaitForPicture(*window);
    CCncEditBoxCtrl* editor = panel->GetEditor();
    for (int step = 0; step < STEPS_TO_N30; ++step)
        QTest::keyClick(editor, Qt::Key_F10);
    CToolpathCanvas& canvas = *window->GetCanvas();
    const QImage before = canvas.grab().toImage();
    const QString info = window->GetInfoText();
    QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F9);
    QVERIFY(canvas.grab().toImage() != before);
    QTest::keyClick(editor, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(editor, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(window->GetInfoText(), info);
    QCOMPARE(canvas.grab().toImage(), before);
    QCOMPARE(canvas.grab().toImage().pixel(RasterPixel(canvas, 40, 10, 0)) | 0xFF000000u,
             CToolpathCanvas::CURRENT_BLOCK_COLOUR);
}

// CTest runs this also under QT_SCALE_FACTOR=2, as "tornavel --scale 200"
// does: the path must then be drawn at the screen's pixels, not enlarged.
void ToolpathWindowTest::pathIsOneScreenPixelWide()
{
    CSteppingRig rig(*settings);
    rig.window.show();
    rig.Load(RECTANGLE);
    WaitForPicture(rig.window);
    CToolpathCanvas& canvas = *rig.window.GetCanvas();
    const QImage image = canvas.grab().toImage();
    const double ratio = canvas.devicePixelRatioF();
    QCOMPARE(image.width(), qRound(canvas.width() * ratio));
    // Across the right side, a coming feed move, in the middle of its height.
    const QPointF middle = canvas.MapToCanvas(CMovePoint{40, 10, 0}) * ratio;
    const int row = qRound(middle.y());
    int wide = 0;
    for (int x = qRound(middle.x() - 6 * ratio); x <= qRound(middle.x() + 6 * ratio); ++x) {
        if ((image.pixel(x, row) | 0xFF000000u) == DefaultPathPalette().coming[STYLE_FEED])
            ++wide;
    }
    QCOMPARE(wide, 1);
}

void ToolpathWindowTest::WaitForPicture(CToolpathWindow& window)
{
    QTRY_VERIFY_WITH_TIMEOUT(window.IsPictureReady(), WAIT_MS);
}

void ToolpathWindowTest::ShowActiveRectangle(CSteppingRig& rig)
{
    rig.window.show();
    rig.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.window));
    rig.Load(RECTANGLE);
    WaitForPicture(rig.window);
}

void ToolpathWindowTest::coloursFollowTheCursor_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("toEnd");
    // For the bottom, right, top and left side: 0 coming, 1 done, 2 current.
    QTest::addColumn<QList<int>>("sides");
    QTest::newRow("just loaded: the first block is current") << 0 << false << QList<int>{0, 0, 0, 0};
    QTest::newRow("in block N30: bottom done, right current") << STEPS_TO_N30 << false << QList<int>{1, 2, 0, 0};
    QTest::newRow("run to the end: all done") << 0 << true << QList<int>{1, 1, 1, 1};
}

void ToolpathWindowTest::coloursFollowTheCursor()
{
    QFETCH(int, steps);
    QFETCH(bool, toEnd);
    QFETCH(QList<int>, sides);
    CSteppingRig rig(*settings);
    rig.window.show();
    rig.Load(RECTANGLE);
    WaitForPicture(rig.window);
    rig.Step(steps);
    if (toEnd)
        rig.RunToEnd();
    CToolpathCanvas& canvas = *rig.window.GetCanvas();
    // The middle of each side, away from the tool and the origin marks.
    const QPoint middles[] = {RasterPixel(canvas, 20, 0, 0), RasterPixel(canvas, 40, 10, 0),
                              RasterPixel(canvas, 20, 20, 0), RasterPixel(canvas, 0, 10, 0)};
    const CPathPalette& palette = DefaultPathPalette();
    const QRgb expected[] = {palette.coming[STYLE_FEED], palette.done[STYLE_FEED],
                             CToolpathCanvas::CURRENT_BLOCK_COLOUR};
    const QImage image = canvas.grab().toImage();
    for (int side = 0; side < 4; ++side) {
        const QRgb seen = image.pixel(middles[side]) | 0xFF000000u;
        QVERIFY2(seen == expected[sides[side]],
                 qPrintable(QStringLiteral("side %1: %2 instead of %3")
                                .arg(side)
                                .arg(seen, 8, 16)
                                .arg(expected[sides[side]], 8, 16)));
    }
    // Beside the path lies the ground.
    QCOMPARE(ColourAt(canvas, middles[0] + QPoint(0, -5)), palette.background);
}

void ToolpathWindowTest::infoLineNamesTheToolPosition_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("expected");
    QTest::newRow("absolute, in N30")
        << QString::fromLatin1(RECTANGLE) << STEPS_TO_N30
        << QStringLiteral("Zeile 4: N30 Y20   LINEAR\nWerkzeug bei X 40.0000 Y 0.0000 Z 0.0000 MM\nY20: Ziel Y = 20");
    // The panel's read-out shows X 10.0000 after N20; the tool is at X 20.
    QTest::newRow("relative, in N30") << QStringLiteral("%\r\nN10 G91 G1 X10 F100\r\nN20 X10\r\nN30 M30\r\n") << 6
                                      << QStringLiteral("Zeile 4: N30 M30   keine Bewegung\nWerkzeug bei X 20.0000 Y "
                                                        "0.0000 Z 0.0000 MM   Anzeige: Werte wie programmiert (G91)\n");
}

void ToolpathWindowTest::infoLineNamesTheToolPosition()
{
    QFETCH(QString, program);
    QFETCH(int, steps);
    QFETCH(QString, expected);
    CSteppingRig rig(*settings);
    rig.window.show();
    rig.Load(program.toStdString());
    WaitForPicture(rig.window);
    rig.Step(steps);
    // The explanation's own wording is not this test's business.
    QCOMPARE(rig.window.GetInfoText().left(expected.size()), expected);
}

void ToolpathWindowTest::pathSwitchShowsAllAheadOrNone_data()
{
    QTest::addColumn<int>("presses");
    QTest::addColumn<bool>("byButton");
    QTest::addColumn<QString>("label");
    // The colours of the side done (N20), the current one (N30) and the one
    // to come (N40): 0 to come, 1 done, 2 current, 3 the ground.
    QTest::addColumn<QList<int>>("colours");
    QTest::newRow("the whole path") << 0 << false << QStringLiteral("Bahn") << QList<int>{1, 2, 0};
    QTest::newRow("P: the current block and what is to come")
        << 1 << false << QStringLiteral("Bahn ab hier") << QList<int>{3, 2, 0};
    QTest::newRow("the button: the same") << 1 << true << QStringLiteral("Bahn ab hier") << QList<int>{3, 2, 0};
    QTest::newRow("P twice: no path") << 2 << false << QStringLiteral("Bahn aus") << QList<int>{3, 3, 3};
    QTest::newRow("P three times: the whole path again") << 3 << false << QStringLiteral("Bahn") << QList<int>{1, 2, 0};
}

void ToolpathWindowTest::pathSwitchShowsAllAheadOrNone()
{
    QFETCH(int, presses);
    QFETCH(bool, byButton);
    QFETCH(QString, label);
    QFETCH(QList<int>, colours);
    CSteppingRig rig(*settings);
    ShowActiveRectangle(rig);
    if (QTest::currentTestFailed())
        return;
    auto* button = rig.window.findChild<QPushButton*>(QStringLiteral("pathShowing"));
    QVERIFY(button != nullptr);
    for (int press = 0; press < presses; ++press) {
        if (byButton)
            QTest::mouseClick(button, Qt::LeftButton);
        else
            QTest::keyClick(&rig.window, Qt::Key_P);
    }
    QCOMPARE(button->text(), label);
    // Stepped after the choice: the picture follows each step.
    rig.Step(STEPS_TO_N30);
    WaitForPicture(rig.window);
    CToolpathCanvas& canvas = *rig.window.GetCanvas();
    const QPoint middles[] = {RasterPixel(canvas, 20, 0, 0), RasterPixel(canvas, 40, 10, 0),
                              RasterPixel(canvas, 20, 20, 0)};
    const CPathPalette& palette = DefaultPathPalette();
    const QRgb expected[] = {palette.coming[STYLE_FEED], palette.done[STYLE_FEED],
                             CToolpathCanvas::CURRENT_BLOCK_COLOUR, palette.background};
    const QImage image = canvas.grab().toImage();
    for (int side = 0; side < 3; ++side) {
        const QRgb seen = image.pixel(middles[side]) | 0xFF000000u;
        QVERIFY2(seen == expected[colours[side]], qPrintable(QStringLiteral("side %1: %2 instead of %3")
                                                                 .arg(side)
                                                                 .arg(seen, 8, 16)
                                                                 .arg(expected[colours[side]], 8, 16)));
    }
}

void ToolpathWindowTest::toolStandsWhereThePanelSays_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("F4 after the last block") << QStringLiteral("reset");
    QTest::newRow("another program loaded") << QStringLiteral("other");
    QTest::newRow("the same program loaded again") << QStringLiteral("reload");
}

// F4 and a load rewind the program but leave the machine where it is: the
// window names the panel's position, and draws the tool there.
void ToolpathWindowTest::toolStandsWhereThePanelSays()
{
    QFETCH(QString, command);
    CSteppingRig rig(*settings);
    rig.window.show();
    CTempFile first("%\r\nN10 G0 X0 Y0 Z5\r\nN20 G1 X3.5 Y7 Z-3 F100\r\nN30 M30\r\n");
    CTempFile other("%\r\nN10 G1 X20 Y-4 F100\r\nN20 M30\r\n");
    rig.LoadPath(first.GetPath());
    WaitForPicture(rig.window);
    rig.RunToEnd();
    if (command == QStringLiteral("reset"))
        rig.Reset();
    else
        rig.LoadPath(command == QStringLiteral("other") ? other.GetPath() : first.GetPath());
    WaitForPicture(rig.window);
    const QString panel = QStringLiteral("X %1 Y %2 Z %3")
                              .arg(QString::fromStdString(rig.panel.GetControlText(IDC_POSITION_X)),
                                   QString::fromStdString(rig.panel.GetControlText(IDC_POSITION_Y)),
                                   QString::fromStdString(rig.panel.GetControlText(IDC_POSITION_Z)));
    QCOMPARE(panel, QStringLiteral("X 3.5000 Y 7.0000 Z -3.0000"));
    const QString info = rig.window.GetInfoText();
    QVERIFY2(info.contains(QStringLiteral("Werkzeug bei ") + panel), qPrintable(info));
    const CMovePoint tool = rig.window.GetCanvas()->GetToolPoint();
    QCOMPARE(QPointF(tool.x, tool.y), QPointF(3.5, 7.0));
    QCOMPARE(tool.z, -3.0);
}

void ToolpathWindowTest::infoLineDescribesTheClickedBlock_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a line that begins with its block number")
        << 2
        << QStringLiteral("Zeile 2: N10 G0 X0 Y0 Z0   RAPIDE, Startpunkt angenommen\n"
                          "Werkzeug bei X 40.0000 Y 20.0000 Z 0.0000 MM\nN10: ");
    QTest::newRow("a line that begins with a blank")
        << 3 << QStringLiteral("Zeile 3: G1 X40 F100   LINEAR\nWerkzeug bei X 40.0000 Y 20.0000 Z 0.0000 MM\nG1: ");
}

void ToolpathWindowTest::infoLineDescribesTheClickedBlock()
{
    QFETCH(int, line);
    QFETCH(QString, expected);
    CSteppingRig rig(*settings);
    rig.window.show();
    rig.Load("%\r\nN10 G0 X0 Y0 Z0\r\nG1 X40 F100\r\nN30 Y20\r\nN40 M30\r\n");
    WaitForPicture(rig.window);
    // Into N40; the click moves no tool, which stays at the end of N30.
    rig.Step(9);
    rig.ClickLine(line);
    QCOMPARE(rig.window.GetInfoText().left(expected.size()), expected);
}

void ToolpathWindowTest::infoLineCutsALongBlockShort()
{
    CSteppingRig rig(*settings);
    rig.window.show();
    std::string block = "N10 G1 F100 (a\x01" "b)";
    for (int word = 0; word < 60; ++word)
        block += " X" + std::to_string(word);
    rig.Load("%\r\n" + block + "\r\nN20 M30\r\n");
    WaitForPicture(rig.window);
    rig.Step(2);
    const auto* label = rig.window.findChild<QLabel*>(QStringLiteral("infoLine"));
    const QString first = label->text().section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(first.endsWith(QStringLiteral("...   LINEAR, Startpunkt angenommen")), qPrintable(first));
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(first) <= label->contentsRect().width());
    // The whole block in the tooltip, the control byte as the program view draws it.
    QVERIFY(label->toolTip().startsWith(QStringLiteral("Zeile 2: N10 G1 F100 (a\u2401b) X0 X1 X2")));
    QVERIFY(label->toolTip().contains(QStringLiteral(" X58 X59   LINEAR")));
}

void ToolpathWindowTest::pictureSaysWhyThePathIsMissing_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("message");
    QTest::newRow("a syntax error after two moves")
        << QStringLiteral("%\r\nN10 G1 X10 F100\r\nN20 Y10\r\nN30 X=5\r\n")
        << QStringLiteral("Syntax error in line: 4\nBahn bis zur Fehlerstelle");
    QTest::newRow("no moves") << QStringLiteral("%\r\nN10 M3 S1000\r\n") << QStringLiteral("Programm ohne Bewegungen");
    QTest::newRow("an empty file") << QString() << QStringLiteral("Programm ohne Bewegungen");
    QTest::newRow("no file: no path at all") << QStringLiteral("missing") << QStringLiteral("Can't open file.");
}

void ToolpathWindowTest::pictureSaysWhyThePathIsMissing()
{
    QFETCH(QString, program);
    QFETCH(QString, message);
    CSteppingRig rig(*settings);
    rig.window.show();
    QCOMPARE(rig.window.GetCanvas()->GetMessage(), QStringLiteral("Kein Programm geladen"));
    if (program == QStringLiteral("missing"))
        rig.LoadPath("/nonexistent/tornavel/missing.nc");
    else
        rig.Load(program.toStdString());
    WaitForPicture(rig.window);
    QCOMPARE(rig.window.GetCanvas()->GetMessage(), message);
    QVERIFY(!rig.window.GetInfoText().contains(QStringLiteral("Kein Programm geladen")));
}

void ToolpathWindowTest::clickOnAStalePictureIsIgnoredAtOnce()
{
    auto table = std::make_shared<CMoveTable>();
    table->Append({10, 10, 0}, MOVE_LINEAR, 0, 1, 0);
    CToolpathCanvas canvas(nullptr);
    canvas.resize(200, 150);
    canvas.SetPath(table);
    QSignalSpy clicked(&canvas, &CToolpathCanvas::MoveClicked);
    auto ids = std::make_shared<CMoveIdImage>();
    ids->Resize(200, 150);
    ids->SetPixel(100, 75, CMoveIdImage::MakePixel(0, STYLE_FEED));
    // Drawn 1e4 times larger than the view shown: zoomed far out since.
    const CPathView view = canvas.GetView();
    canvas.SetPicture(ids,
                      CPathView(view.GetProjection(), view.GetScale() * 1e4, view.GetOffsetX(), view.GetOffsetY()));
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 75));
    QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(clicked.count(), 0);
    canvas.SetPicture(ids, view);
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 75));
    QCOMPARE(clicked.count(), 1);
}

void ToolpathWindowTest::infoLineShowsTheExactPosition_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QString>("position");
    QTest::newRow("four decimals") << QByteArray("G0 X1234.5678 Y12345.6789 Z999999.9999\r\nM30\r\n")
                                   << QStringLiteral("X 1234.5678 Y 12345.6789 Z 999999.9999");
    QTest::newRow("1e7 and tenths") << QByteArray("G0 X10000000.1 Y10000000.3 Z-10000000.5\r\nM30\r\n")
                                    << QStringLiteral("X 10000000.1000 Y 10000000.3000 Z -10000000.5000");
    QTest::newRow("near 1e9") << QByteArray("G0 X999999999.9999 Y-999999999.9999 Z0.0001\r\nM30\r\n")
                              << QStringLiteral("X 999999999.9999 Y -999999999.9999 Z 0.0001");
}

// The tool's position read from the window's table, to the last digit the
// line shows.
void ToolpathWindowTest::infoLineShowsTheExactPosition()
{
    QFETCH(QByteArray, program);
    QFETCH(QString, position);
    CSteppingRig rig(*settings);
    rig.window.show();
    rig.Load(program.toStdString());
    WaitForPicture(rig.window);
    rig.RunToEnd();
    QVERIFY2(rig.window.GetInfoText().contains(position), qPrintable(rig.window.GetInfoText()));
}

void ToolpathWindowTest::clickOnThePathNamesTheBlock()
{
    CSteppingRig rig(*settings);
    rig.window.show();
    rig.Load(RECTANGLE);
    WaitForPicture(rig.window);
    QSignalSpy clicked(&rig.window, &CToolpathWindow::BlockClicked);
    CToolpathCanvas& canvas = *rig.window.GetCanvas();
    struct Click {
        QPoint at;
        const char* firstWord;
    };
    // On the top side, and three pixels beside the left side.
    const Click clicks[] = {{RasterPixel(canvas, 20, 20, 0), "N40"},
                            {RasterPixel(canvas, 0, 10, 0) + QPoint(-3, 0), "N50"}};
    for (const Click& click : clicks) {
        QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, click.at);
        QCOMPARE(clicked.count(), 1);
        const auto word = static_cast<WordPosition>(clicked.takeFirst().at(0).toULongLong());
        QCOMPARE(std::string(rig.loader.GetWordList().GetText(word)), std::string(click.firstWord));
    }
    // Far from any move: nothing.
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, RasterPixel(canvas, 20, 10, 0));
    QCOMPARE(clicked.count(), 0);
}

void ToolpathWindowTest::keysChooseTheViewAndFit_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("projection");
    QTest::newRow("1: from the top") << int(Qt::Key_1) << int(PROJECTION_TOP);
    QTest::newRow("2: from the front") << int(Qt::Key_2) << int(PROJECTION_FRONT);
    QTest::newRow("3: from the side") << int(Qt::Key_3) << int(PROJECTION_SIDE);
    QTest::newRow("4: isometric") << int(Qt::Key_4) << int(PROJECTION_ISOMETRIC);
}

void ToolpathWindowTest::keysChooseTheViewAndFit()
{
    QFETCH(int, key);
    QFETCH(int, projection);
    CSteppingRig rig(*settings);
    ShowActiveRectangle(rig);
    if (QTest::currentTestFailed())
        return;
    // Away from the fitted view first, so that the key must fit again.
    CToolpathCanvas& canvas = *rig.window.GetCanvas();
    canvas.ZoomAbout(QPointF(3, 3), 7.0);
    QTest::keyClick(&rig.window, static_cast<Qt::Key>(key));
    QCOMPARE(int(canvas.GetView().GetProjection()), projection);
    WaitForPicture(rig.window);
    // The fitted path fills the canvas but for the margin in one direction
    // and the room kept for the axes.
    CMovePoint min;
    CMovePoint max;
    QVERIFY(rig.window.GetPath()->GetBounds(min, max));
    CPathView fitted(static_cast<PathProjection>(projection), 1.0, 0.0, 0.0);
    const QMargins room = canvas.GetFitRoom();
    QVERIFY(room.left() > 0 || room.top() > 0);
    fitted.Fit(min, max, canvas.width() - room.left() - room.right(), canvas.height() - room.top() - room.bottom(),
               CToolpathCanvas::FIT_MARGIN);
    QCOMPARE(canvas.GetView().GetScale(), fitted.GetScale());
    // The projection's button is the checked one.
    const QList<QPushButton*> buttons = rig.window.findChildren<QPushButton*>();
    int checked = 0;
    for (QPushButton* button : buttons)
        checked += button->isChecked() ? 1 : 0;
    QCOMPARE(checked, 1);
    // 0 fits again after a zoom.
    canvas.ZoomAbout(QPointF(3, 3), 3.0);
    QTest::keyClick(&rig.window, Qt::Key_0);
    QCOMPARE(canvas.GetView().GetScale(), fitted.GetScale());
}

void ToolpathWindowTest::wheelZoomsAboutThePointerAndDragPans()
{
    CSteppingRig rig(*settings);
    rig.window.show();
    rig.Load(RECTANGLE);
    WaitForPicture(rig.window);
    CToolpathCanvas& canvas = *rig.window.GetCanvas();
    const CPathView before = canvas.GetView();
    const QPoint pointer(100, 80);
    QWheelEvent wheel(QPointF(pointer), canvas.mapToGlobal(QPointF(pointer)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&canvas, &wheel);
    const CPathView zoomed = canvas.GetView();
    QCOMPARE(zoomed.GetScale(), before.GetScale() * CToolpathCanvas::WHEEL_ZOOM * CToolpathCanvas::WHEEL_ZOOM);
    const CViewPoint anchorBefore = before.PixelToPlane(pointer.x(), pointer.y());
    const CViewPoint anchorAfter = zoomed.PixelToPlane(pointer.x(), pointer.y());
    QVERIFY(std::fabs(anchorBefore.x - anchorAfter.x) < 1e-9);
    QVERIFY(std::fabs(anchorBefore.y - anchorAfter.y) < 1e-9);
    WaitForPicture(rig.window);

    QTest::mousePress(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    QTest::mouseMove(&canvas, QPoint(220, 190));
    QTest::mouseMove(&canvas, QPoint(250, 170));
    QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(250, 170));
    QCOMPARE(canvas.GetView().GetOffsetX(), zoomed.GetOffsetX() + 50.0);
    QCOMPARE(canvas.GetView().GetOffsetY(), zoomed.GetOffsetY() - 30.0);
    WaitForPicture(rig.window);

    // A double-click fits the whole path again.
    QTest::mouseDClick(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(canvas.GetView().GetScale(), before.GetScale());
    QCOMPARE(canvas.GetView().GetOffsetX(), before.GetOffsetX());
}

void ToolpathWindowTest::firstStartOpensBesideThePanel()
{
    CSteppingRig rig(*settings);
    rig.panelWidget.show();
    rig.window.RestoreFromSettings();
    QVERIFY(rig.window.isVisible());
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("Bahn"));
    QCOMPARE(rig.window.size(), QSize(CToolpathWindow::DEFAULT_WIDTH, CToolpathWindow::DEFAULT_HEIGHT));
    const QRect panelFrame = rig.panelWidget.frameGeometry();
    QCOMPARE(rig.window.frameGeometry().topLeft(),
             QPoint(panelFrame.right() + 1 + CToolpathWindow::DEFAULT_GAP, panelFrame.top()));
}

void ToolpathWindowTest::storedGeometryIsReused_data()
{
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("open");
    QTest::newRow("moved and resized, left open") << QRect(700, 90, 800, 520) << true;
    QTest::newRow("closed with F5 before the panel") << QRect(640, 10, 400, 300) << false;
}

void ToolpathWindowTest::storedGeometryIsReused()
{
    QFETCH(QRect, geometry);
    QFETCH(bool, open);
    {
        CSteppingRig rig(*settings);
        rig.window.RestoreFromSettings();
        rig.window.move(geometry.topLeft());
        rig.window.resize(geometry.size());
        if (!open)
            rig.window.Toggle();
        QCOMPARE(rig.window.isVisible(), open);
        rig.window.SaveToSettings();
    }
    CSteppingRig next(*settings);
    next.window.RestoreFromSettings();
    QCOMPARE(next.window.isVisible(), open);
    QCOMPARE(next.window.frameGeometry().topLeft(), geometry.topLeft());
    QCOMPARE(next.window.size(), geometry.size());
}

void ToolpathWindowTest::brokenSettingsFallBackToTheDefault_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("open");
    QTest::newRow("width not a number") << QStringLiteral("path_w") << QStringLiteral("abc") << false;
    QTest::newRow("height too small") << QStringLiteral("path_h") << QStringLiteral("3") << false;
    QTest::newRow("x with trailing text") << QStringLiteral("path_x") << QStringLiteral("12px") << false;
    QTest::newRow("y empty") << QStringLiteral("path_y") << QString() << false;
    QTest::newRow("open state broken: open") << QStringLiteral("path_open") << QStringLiteral("yes") << true;
}

void ToolpathWindowTest::brokenSettingsFallBackToTheDefault()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(bool, open);
    for (const char* stored : {"path_x", "path_y"})
        WriteSettingInt(*settings, SETTINGS_KEY, stored, 300);
    WriteSettingInt(*settings, SETTINGS_KEY, "path_w", 700);
    WriteSettingInt(*settings, SETTINGS_KEY, "path_h", 500);
    // Stored closed: only a broken open state opens it.
    WriteSettingInt(*settings, SETTINGS_KEY, "path_open", 0);
    settings->WriteSettingString(SETTINGS_KEY, name.toStdString(), value.toStdString());
    CSteppingRig rig(*settings);
    rig.panelWidget.show();
    rig.window.RestoreFromSettings();
    QCOMPARE(rig.window.isVisible(), open);
    if (name == QStringLiteral("path_open")) {
        // The geometry itself was fine.
        QCOMPARE(rig.window.size(), QSize(700, 500));
        return;
    }
    QCOMPARE(rig.window.size(), QSize(CToolpathWindow::DEFAULT_WIDTH, CToolpathWindow::DEFAULT_HEIGHT));
    QCOMPARE(rig.window.frameGeometry().left(),
             rig.panelWidget.frameGeometry().right() + 1 + CToolpathWindow::DEFAULT_GAP);
}

void ToolpathWindowTest::closedWindowBuildsWhenOpened()
{
    CSteppingRig rig(*settings);
    rig.Load(RECTANGLE);
    rig.Step(STEPS_TO_N30);
    // Nothing is built while the window is closed.
    QVERIFY(rig.window.GetPath() == nullptr);
    rig.window.Toggle();
    QVERIFY(rig.window.isVisible());
    WaitForPicture(rig.window);
    QCOMPARE(rig.window.GetPath()->GetCount(), std::size_t(5));
    CToolpathCanvas& canvas = *rig.window.GetCanvas();
    QCOMPARE(ColourAt(canvas, RasterPixel(canvas, 20, 0, 0)), DefaultPathPalette().done[STYLE_FEED]);
    const std::weak_ptr<const CMoveTable> old = rig.window.GetPath();
    rig.window.Toggle();
    QVERIFY(!rig.window.isVisible());
    // A load while closed frees the old path at once, and the info line
    // does not read it for the new words.
    rig.Load("%\r\nN10 G1 X5 F100\r\n");
    QVERIFY(old.expired());
    rig.Step(1);
    QVERIFY(rig.window.GetInfoText().startsWith(QStringLiteral("Zeile 2: N10 G1 X5 F100\nEinheit: MM\n")));
}

void ToolpathWindowTest::hintsAreThoseOfTheProgramLoaded_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("openAfter");
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QString>("hint");
    // A drilling cycle without Z: found on the cut path, which an open
    // window shares with the hints.
    const QByteArray noDepth("%\r\nN10 G0 X0 Y0 Z5\r\nN20 G1 Z-1 F100\r\nN30 G81 X1 R1\r\n");
    QTest::newRow("open: the window's cut path") << true << true << noDepth << "Zeile 4: Bohrzyklus ohne Z";
    QTest::newRow("closed after a path was shown: not the old path")
        << true << false << noDepth << "Zeile 4: Bohrzyklus ohne Z";
    QTest::newRow("open, a clean program after one with a cut error")
        << true << true << QByteArray(RECTANGLE) << QString();
}

void ToolpathWindowTest::hintsAreThoseOfTheProgramLoaded()
{
    QFETCH(bool, open);
    QFETCH(bool, openAfter);
    QFETCH(QByteArray, program);
    QFETCH(QString, hint);
    CSteppingRig rig(*settings);
    rig.window.setVisible(open);
    // The one before: a cut error of its own and, while open, its path.
    rig.Load("%\r\nN10 G0 X0 Y0 Z5\r\nN20 G83 X1 Z-3 R1\r\n");
    if (open)
        WaitForPicture(rig.window);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window.IsFindingHints(), WAIT_MS);
    rig.window.setVisible(openAfter);
    rig.Load(program.toStdString());
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window.IsFindingHints(), WAIT_MS);
    const QStringList hints = rig.window.GetHints();
    if (hint.isEmpty())
        QVERIFY2(hints.isEmpty(), qPrintable(hints.join(QLatin1Char('\n'))));
    else
        QVERIFY2(hints.size() == 1 && hints.first().startsWith(hint), qPrintable(hints.join(QLatin1Char('\n'))));
}

QTEST_MAIN(ToolpathWindowTest)
#include "toolpath_window_test.moc"
