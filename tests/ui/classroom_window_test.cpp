// The application's windows on the screens a classroom has: each opens
// inside the screen's available area, the toolpath window's buttons never
// cut a label short, and the panel's command keys work in the toolpath
// window whichever of its controls has the focus. The same test runs on
// several offscreen screens (see CMakeLists.txt).
#include <memory>

#include <QtTest>

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "cnc_edit_box_ctrl.h"
#include "control_ids.h"
#include "panel_interfaces.h"
#include "controller_dlg.h"
#include "help_window.h"
#include "program_cursor.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "ui_test_support.h"
#include "window_placement.h"

namespace {

const char* const RECTANGLE = "%\r\n"
                              "N10 G0 X0 Y0 Z0\r\n"
                              "N20 G1 X40 F100\r\n"
                              "N30 Y20\r\n"
                              "N40 X0\r\n"
                              "N50 Y0\r\n"
                              "N60 M30\r\n";
constexpr int WAIT_MS = 10000;

QRect AvailableArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// Each button shows its whole label, lies inside the window and covers no
// other button.
void VerifyButtonsWhole(const QWidget& window)
{
    const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
    QVERIFY(!buttons.isEmpty());
    for (const QPushButton* button : buttons) {
        if (!button->isVisible())
            continue;
        const QString name = button->text();
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(name));
        const QRect placed(button->mapTo(&window, QPoint(0, 0)), button->size());
        QVERIFY2(window.rect().contains(placed), qPrintable(name));
        for (const QPushButton* other : buttons) {
            if (other != button && other->isVisible())
                QVERIFY2(!placed.intersects(QRect(other->mapTo(&window, QPoint(0, 0)), other->size())),
                         qPrintable(name + QStringLiteral(" / ") + other->text()));
        }
    }
}

} // namespace

class ClassroomWindowTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void frameIsFittedIntoTheArea_data();
    void frameIsFittedIntoTheArea();
    void newWindowIsPlacedBesideThePanel_data();
    void newWindowIsPlacedBesideThePanel();
    void everyWindowOpensInsideTheScreen();
    void storedGeometryFromALargerScreenComesInside();
    void buttonLabelsAreNeverCut_data();
    void buttonLabelsAreNeverCut();
    void commandKeysWorkInTheToolpathWindow_data();
    void commandKeysWorkInTheToolpathWindow();
    void hintsNameTheMistakeAndItsLine_data();
    void hintsNameTheMistakeAndItsLine();
    void infoLineNeverShowsALoneUnit();

private:
    std::unique_ptr<CTemporarySettings> store;
};

void ClassroomWindowTest::init() { store = std::make_unique<CTemporarySettings>(); }

void ClassroomWindowTest::cleanup() { store.reset(); }

void ClassroomWindowTest::frameIsFittedIntoTheArea_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("fitted");
    const QRect fullHd(0, 0, 1920, 1040);
    QTest::newRow("inside stays") << QRect(100, 100, 640, 480) << fullHd << QRect(100, 100, 640, 480);
    QTest::newRow("off the right edge moves left") << QRect(1500, 100, 640, 480) << fullHd
                                                   << QRect(1280, 100, 640, 480);
    QTest::newRow("above the top moves down") << QRect(100, -50, 640, 480) << fullHd << QRect(100, 0, 640, 480);
    QTest::newRow("scale 200: larger than the screen shrinks")
        << QRect(1037, 0, 1280, 960) << QRect(0, 0, 960, 520) << QRect(0, 0, 960, 520);
    QTest::newRow("area beside a dock") << QRect(0, 0, 300, 200) << QRect(64, 32, 1216, 688)
                                        << QRect(64, 32, 300, 200);
}

void ClassroomWindowTest::frameIsFittedIntoTheArea()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, area);
    QFETCH(QRect, fitted);
    QCOMPARE(FitFrameIntoArea(frame, area), fitted);
}

void ClassroomWindowTest::newWindowIsPlacedBesideThePanel_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("placed");
    const QRect panel(10, 10, 500, 400);
    QTest::newRow("room beside the panel") << QRect(0, 0, 1920, 1040) << QRect(518, 10, 640, 480);
    QTest::newRow("less room: as wide as the room") << QRect(0, 0, 960, 520) << QRect(518, 10, 442, 480);
    QTest::newRow("lower screen: moved up into it") << QRect(0, 0, 960, 400) << QRect(518, 0, 442, 400);
    QTest::newRow("no room: over the panel") << QRect(0, 0, 800, 600) << QRect(10, 10, 640, 480);
}

void ClassroomWindowTest::newWindowIsPlacedBesideThePanel()
{
    QFETCH(QRect, area);
    QFETCH(QRect, placed);
    QCOMPARE(PlaceFrameBeside(QRect(10, 10, 500, 400), QSize(640, 480), QSize(360, 150), 8, area), placed);
}

void ClassroomWindowTest::everyWindowOpensInsideTheScreen()
{
    const auto panel = OpenPanel();
    const QRect area = AvailableArea();
    QVERIFY2(area.contains(panel->frameGeometry()), "the panel");
    CToolpathWindow* window = panel->GetToolpathWindow();
    QVERIFY(window->isVisible());
    QVERIFY2(area.contains(window->frameGeometry()), qPrintable(QStringLiteral("toolpath window %1,%2 %3x%4")
                                                                   .arg(window->frameGeometry().x())
                                                                   .arg(window->frameGeometry().y())
                                                                   .arg(window->frameGeometry().width())
                                                                   .arg(window->frameGeometry().height())));
    VerifyButtonsWhole(*window);
    panel->OnHelp();
    QVERIFY(panel->GetHelpWindow() != nullptr);
    QVERIFY2(area.contains(panel->GetHelpWindow()->frameGeometry()), "the help window");
}

void ClassroomWindowTest::storedGeometryFromALargerScreenComesInside()
{
    CMemorySettings settings;
    const QRect area = AvailableArea();
    WriteSettingInt(settings, SETTINGS_KEY, "path_x", area.right() - 100);
    WriteSettingInt(settings, SETTINGS_KEY, "path_y", 20);
    WriteSettingInt(settings, SETTINGS_KEY, "path_w", area.width() + 400);
    WriteSettingInt(settings, SETTINGS_KEY, "path_h", 600);
    QWidget panel;
    CToolpathWindow window(settings, &panel, nullptr);
    window.RestoreFromSettings();
    QVERIFY(window.isVisible());
    QVERIFY(area.contains(window.frameGeometry()));
}

void ClassroomWindowTest::buttonLabelsAreNeverCut_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("as narrow as it goes") << 200;
    QTest::newRow("narrow, two rows each") << 320;
    QTest::newRow("beside the panel at scale 200") << 430;
    QTest::newRow("default width") << CToolpathWindow::DEFAULT_WIDTH;
    QTest::newRow("wide") << 1200;
}

void ClassroomWindowTest::buttonLabelsAreNeverCut()
{
    QFETCH(int, width);
    CMemorySettings settings;
    QWidget panel;
    CToolpathWindow window(settings, &panel, nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(width, CToolpathWindow::DEFAULT_HEIGHT);
    QApplication::processEvents();
    VerifyButtonsWhole(window);
    // The picture keeps most of the window.
    QVERIFY(window.GetCanvas()->height() > 100);
}

void ClassroomWindowTest::commandKeysWorkInTheToolpathWindow_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("windowOpen");
    QTest::newRow("F10 steps after a click on Iso") << "F10 F10" << true;
    QTest::newRow("Shift+F10 steps back") << "F10 F10 F10 Shift+F10" << true;
    QTest::newRow("F4 goes back to the start") << "F10 F10 F4" << true;
    QTest::newRow("F9 runs to the chosen stop") << "F9 F9" << true;
    QTest::newRow("F5 closes the window") << "F10 F5" << false;
}

void ClassroomWindowTest::commandKeysWorkInTheToolpathWindow()
{
    QFETCH(QString, keys);
    QFETCH(bool, windowOpen);
    // What the keys do in the toolpath window, then in the program view.
    QStringList seen;
    for (const bool inWindow : {true, false}) {
        const auto panel = OpenPanel();
        Load(*panel, RECTANGLE);
        CToolpathWindow* window = panel->GetToolpathWindow();
        CCncEditBoxCtrl* editor = panel->GetEditor();
        const QString loaded = editor->GetSelectedText() + Text(*panel, IDC_POSITION_X);
        if (inWindow) {
            QPushButton* iso = nullptr;
            for (QPushButton* button : window->findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("Iso"))
                    iso = button;
            }
            QVERIFY(iso != nullptr);
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::mouseClick(iso, Qt::LeftButton);
        }
        for (const QString& key : keys.split(QLatin1Char(' '))) {
            QWidget* target = editor;
            if (inWindow) {
                // The window's focus widget has the keys, or the window
                // itself where none of its controls takes the focus.
                QWidget* focus = window->focusWidget();
                target = focus != nullptr ? focus : window;
            }
            if (key == QLatin1String("Shift+F10"))
                QTest::keyClick(target, Qt::Key_F10, Qt::ShiftModifier);
            else
                QTest::keyClick(target, static_cast<Qt::Key>(Qt::Key_F1 + key.mid(1).toInt() - 1));
        }
        QCOMPARE(window->isVisible(), windowOpen);
        seen << editor->GetSelectedText() + Text(*panel, IDC_POSITION_X);
        if (keys != QLatin1String("F10 F10 F4"))
            QVERIFY(seen.last() != loaded);
    }
    QCOMPARE(seen.first(), seen.last());
}

void ClassroomWindowTest::hintsNameTheMistakeAndItsLine_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("hint");
    QTest::newRow("decimal comma: the panel keeps its text")
        << QByteArray("%\r\nN10 G0 X0 Y0 Z5\r\nN20 G1 X36,5 F100\r\nN30 M30\r\n")
        << "Syntax error in line: 3" << "Zeile 3: Komma statt Punkt? \u201EX36,5\u201C";
    QTest::newRow("G20 runs as mm") << QByteArray("%\r\nN10 G20\r\nN20 G1 X1 F10\r\nN30 M30\r\n") << ""
                                    << "Zeile 2: G20 wird ignoriert";
    QTest::newRow("a clean program has none") << QByteArray(RECTANGLE) << "" << "";
}

void ClassroomWindowTest::hintsNameTheMistakeAndItsLine()
{
    QFETCH(QByteArray, program);
    QFETCH(QString, message);
    QFETCH(QString, hint);
    const auto panel = OpenPanel();
    Load(*panel, program.toStdString());
    CToolpathWindow* window = panel->GetToolpathWindow();
    QTRY_VERIFY_WITH_TIMEOUT(!window->IsFindingHints(), WAIT_MS);
    QCoreApplication::processEvents();
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE).trimmed(), message);
    const QStringList hints = window->GetHints();
    if (hint.isEmpty()) {
        QVERIFY2(hints.isEmpty(), qPrintable(hints.join(QLatin1Char('\n'))));
        return;
    }
    QVERIFY2(!hints.isEmpty() && hints.first().startsWith(hint), qPrintable(hints.join(QLatin1Char('\n'))));
}

void ClassroomWindowTest::infoLineNeverShowsALoneUnit()
{
    CMemorySettings settings;
    QWidget panel;
    CToolpathWindow window(settings, &panel, nullptr);
    // Without a program, and with one whose path is not built yet.
    for (const QString& line : window.GetInfoText().split(QLatin1Char('\n')))
        QVERIFY2(line != QStringLiteral("MM") && line != QStringLiteral("INCH"), qPrintable(line));
    const auto shown = OpenPanel();
    Load(*shown, "%\r\nN10 M30\r\n");
    for (const QString& line : shown->GetToolpathWindow()->GetInfoText().split(QLatin1Char('\n')))
        QVERIFY2(line.trimmed() != QStringLiteral("MM"), qPrintable(line));
}

QTEST_MAIN(ClassroomWindowTest)
#include "classroom_window_test.moc"
