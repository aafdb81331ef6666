#include <memory>

#include <QtTest>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>

#include "cli_panel.h"
#include "headless_panel.h"
#include "cnc_edit_box_ctrl.h"
#include "cnc_program.h"
#include "code_page_1252.h"
#include "control_ids.h"
#include "controller_dlg.h"
#include "headless_view.h"
#include "help_window.h"
#include "machine_state.h"
#include "program_cursor.h"
#include "settings_store.h"
#include "state_texts.h"
#include "step_observer.h"
#include "ui_test_support.h"

namespace {

const QString BLANK_COMMAND(59, QLatin1Char(' '));

// The demo part: a header line ended by CR LF, then five program lines.
std::string DemoProgram()
{
    return CrLfLines({"Demo part", "%", "N10 G00 X0 Y0", "G01 X10 F100 (cut)", "N20 GOTO 10 ; loop", "M30"});
}

// One stop for every run-to mode.
std::string StopsProgram() { return CrLfLines({"%", "N10 G01 X5", "N20 Z7 T2", "N30 X9", "M30"}); }

// Drawing through an icon may shift a colour by a step or two.
bool IsNear(const QColor& drawn, const QColor& expected)
{
    return std::abs(drawn.red() - expected.red()) <= 3 && std::abs(drawn.green() - expected.green()) <= 3 &&
           std::abs(drawn.blue() - expected.blue()) <= 3;
}

std::string TwelveLineProgram()
{
    std::string text;
    for (int line = 1; line <= 12; ++line)
        text += "N" + std::to_string(line * 10) + " X" + std::to_string(line) + (line < 12 ? "\r\n" : "");
    return text;
}

// A CAM-style program: many blocks that move X, Y and Z, arcs, comments, a
// tool change and a switch to inch.
std::string CamProgram()
{
    std::vector<std::string> lines{"(pocket)", "%", "N10 G90 G17 G21 G54", "N20 T1 M6", "N30 S12000 M3"};
    for (int block = 0; block < 120; ++block) {
        const std::string number = "N" + std::to_string(40 + 10 * block);
        const std::string x = std::to_string(block % 17) + "." + std::to_string(block % 10);
        const std::string y = std::to_string(block % 13 - 6) + ".25";
        const std::string z = "-" + std::to_string(block % 3) + ".5";
        if (block % 25 == 24)
            lines.push_back(number + " G02 X" + x + " Y" + y + " I1.5 J-2 (arc)");
        else
            lines.push_back(number + " G01 X" + x + " Y" + y + " Z" + z + " F" + std::to_string(800 + block % 4 * 100));
        if (block == 60)
            lines.push_back("N2000 T2 M6 G20");
    }
    lines.push_back("M30");
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// The panel's objects with headless stand-ins for its windows, which write
// every text at once: what the panel shows after each command must match.
using CHeadlessTwin = CHeadlessPanel;

// Stands in the step log for the call before a load.
constexpr int PROGRAM_CHANGING = -1;

// Writes down what each notification tells and what the panel shows then.
class CRecordingObserver : public IStepObserver {
public:
    explicit CRecordingObserver(CControllerDlg& panel) : panel(panel) {}

    void OnProgramChanging() override { steps.append(PROGRAM_CHANGING); }
    void OnStepped(StepCommand command, const CProgramCursor& cursor, const CMachineState& state) override
    {
        steps.append(command);
        cursorSeen = cursor.GetCursor();
        xSeen = state.GetPosition().GetX();
        messageSeen = CPanelDriver::Text(panel, IDC_MESSAGE_LINE);
        xShownSeen = CPanelDriver::Text(panel, IDC_POSITION_X);
    }

    QList<int> steps;
    WordPosition cursorSeen = CWordList::NO_POSITION;
    double xSeen = 0.0;
    QString messageSeen;
    QString xShownSeen;

private:
    CControllerDlg& panel;
};

} // namespace

Q_DECLARE_METATYPE(std::string)

class ControllerDlgTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartUsesDefaults();
    void firstStartShowsInitialReadOuts_data();
    void firstStartShowsInitialReadOuts();
    void controlsCarryTemplateCaptions_data();
    void controlsCarryTemplateCaptions();
    void reopensWhereItWasClosed_data();
    void reopensWhereItWasClosed();
    void storedPositionTextIsReadLikeAtoi_data();
    void storedPositionTextIsReadLikeAtoi();
    void stepHighlightsExactWord_data();
    void stepHighlightsExactWord();
    void commandKeysAndButtons_data();
    void commandKeysAndButtons();
    void readOutsAfterEachCommand_data();
    void readOutsAfterEachCommand();
    void clickOnFifthLineOfTwelve();
    void selectAllMovesIndicator_data();
    void selectAllMovesIndicator();
    void focusLeavesAndReturnsToWord();
    void loadFailureShowsMessage_data();
    void loadFailureShowsMessage();
    void runToStopsWhereChosen_data();
    void runToStopsWhereChosen();
    void typingInSelectorKeepsStoppingPoint();
    void stepObserversSeeEachCommand_data();
    void stepObserversSeeEachCommand();
    void removedObserverHearsNothing();
    void editorShowsAsManyLinesAsTheHeadlessView();
    void lineIndicatorWidensForMillions_data();
    void lineIndicatorWidensForMillions();
    void enterKey_data();
    void enterKey();
    void altF4InEditorKeepsPanelOpen();
    void escapeInEditorClosesPanel();
    void toolTips_data();
    void toolTips();
    void helpWindowListsKeysAndClosesWithPanel();
    void loadThroughFileDialog();
    void hiddenButtonCarriesPicture();
    void questionButtonChangesNothing();
    void minimisedPanelShowsIcon();

private:
    std::unique_ptr<CTemporarySettings> store;
};

void ControllerDlgTest::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("the panel keeps its position in the registry hive here, which a test must not touch");
#endif
}

void ControllerDlgTest::init() { store = std::make_unique<CTemporarySettings>(); }

void ControllerDlgTest::cleanup()
{
    QToolTip::hideText();
    store.reset();
}

void ControllerDlgTest::firstStartUsesDefaults()
{
    QVERIFY(!QFile::exists(store->GetKeyFile()));
    const auto panel = OpenPanel();
    QCOMPARE(panel->windowTitle(), QStringLiteral("Tornavel"));
    QCOMPARE(panel->frameGeometry().topLeft(), QPoint(10, 10));
    QCOMPARE(panel->frameGeometry().size(), QSize(500, 400));
    const auto* combo = qobject_cast<QComboBox*>(panel->GetDlgItem(IDC_RUN_TO_COMBO));
    QVERIFY(combo != nullptr);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->currentText(), QStringLiteral("Satz"));
    const QStringList items{combo->itemText(0), combo->itemText(1), combo->itemText(2), combo->itemText(3)};
    QCOMPARE(items, (QStringList{"Satz", "Werkzeugwechsel", "Z-Wert", "Ende"}));
    QCOMPARE(combo->count(), 4);
    QCOMPARE(panel->GetEditor()->GetLineCount(), 1);
    QCOMPARE(panel->GetEditor()->GetSelectionEnd(), 0);
    QCOMPARE(panel->GetEditor()->geometry(), QRect(7, 205, 400, 100));
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), QStringLiteral("Meldungsausgabe erfolgt hier"));
    QVERIFY(!panel->windowIcon().isNull());
}

void ControllerDlgTest::firstStartShowsInitialReadOuts_data()
{
    QTest::addColumn<int>("controlId");
    QTest::addColumn<QString>("text");
    QTest::newRow("X position") << int(IDC_POSITION_X) << QStringLiteral("0.0000");
    QTest::newRow("Y position") << int(IDC_POSITION_Y) << QStringLiteral("0.0000");
    QTest::newRow("Z position") << int(IDC_POSITION_Z) << QStringLiteral("0.0000");
    QTest::newRow("motion") << int(IDC_MOTION) << QStringLiteral("Bewegung: LINEAR       ");
    QTest::newRow("compensation") << int(IDC_COMPENSATION) << QStringLiteral("Kompensation:  OFF");
    QTest::newRow("plane") << int(IDC_PLANE) << QStringLiteral("Arbeitsebene: X/Y");
    QTest::newRow("cycle") << int(IDC_CYCLE) << QStringLiteral("Zyklus:  OFF");
    QTest::newRow("coordinate system") << int(IDC_COORD_SYSTEM) << QStringLiteral("Koord Sys: MACHINE");
    QTest::newRow("dimensioning") << int(IDC_DIMENSIONING) << QStringLiteral("Koordinaten: ABS");
    QTest::newRow("length unit") << int(IDC_LENGTH_UNIT) << QStringLiteral("L\u00E4ngeninheit: MM");
    QTest::newRow("feed unit") << int(IDC_FEED_UNIT) << QStringLiteral("mm/min");
    QTest::newRow("spindle unit") << int(IDC_SPINDLE_UNIT) << QStringLiteral("1/min");
}

void ControllerDlgTest::firstStartShowsInitialReadOuts()
{
    QFETCH(int, controlId);
    QFETCH(QString, text);
    const auto panel = OpenPanel();
    QCOMPARE(Text(*panel, controlId), text);
}

void ControllerDlgTest::controlsCarryTemplateCaptions_data()
{
    QTest::addColumn<int>("controlId");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("Fertig") << int(IDC_DONE) << QStringLiteral("&Fertig") << QRect(415, 328, 60, 16);
    QTest::newRow("question mark") << int(IDC_QUESTION) << QStringLiteral("&?") << QRect(457, 302, 15, 16);
    QTest::newRow("Laden") << int(IDC_LOAD) << QStringLiteral("&Laden...") << QRect(223, 172, 60, 16);
    QTest::newRow("Schritt") << int(IDC_NEXT_WORD) << QStringLiteral("&Schritt") << QRect(42, 146, 48, 18);
    QTest::newRow("Naechster") << int(IDC_RUN_TO) << QStringLiteral("N\u00E4chs&ter") << QRect(99, 146, 51, 18);
    QTest::newRow("X") << int(IDC_JUMP_TO_ACTUAL) << QStringLiteral("X") << QRect(21, 149, 13, 11);
    QTest::newRow("Neustart") << int(IDC_RESET) << QStringLiteral("&Neustart") << QRect(42, 172, 48, 18);
    QTest::newRow("Vorschub") << int(IDC_FEED_LABEL) << QStringLiteral("Vorschub:") << QRect(328, 29, 90, 14);
    QTest::newRow("Drehzahl") << int(IDC_SPINDLE_LABEL) << QStringLiteral("Drehzahl:") << QRect(328, 47, 90, 14);
    QTest::newRow("tool number") << int(IDC_TOOL_NUMBER) << QStringLiteral("Nr:") << QRect(73, 4, 93, 15);
    QTest::newRow("line indicator") << int(IDC_LINE_INDICATOR) << QString() << QRect(415, 206, 59, 13);
    QTest::newRow("message line") << int(IDC_MESSAGE_LINE) << QStringLiteral("Meldungsausgabe erfolgt hier")
                                  << QRect(7, 308, 405, 34);
    QTest::newRow("A axis") << int(IDC_POSITION_A) << QString() << QRect(172, 24, 68, 15);
}

void ControllerDlgTest::controlsCarryTemplateCaptions()
{
    QFETCH(int, controlId);
    QFETCH(QString, caption);
    QFETCH(QRect, rect);
    const auto panel = OpenPanel();
    QWidget* control = panel->GetDlgItem(controlId);
    QVERIFY(control != nullptr);
    QVERIFY(control->isVisible());
    QCOMPARE(Text(*panel, controlId), caption);
    QCOMPARE(control->geometry(), rect);
}

void ControllerDlgTest::reopensWhereItWasClosed_data()
{
    QTest::addColumn<QString>("closeBy");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("Fertig at 300, 200") << QStringLiteral("done") << QPoint(300, 200);
    QTest::newRow("Escape at 120, 80") << QStringLiteral("escape") << QPoint(120, 80);
    QTest::newRow("close box at 40, 260") << QStringLiteral("close") << QPoint(40, 260);
    QTest::newRow("off the screen, kept as stored") << QStringLiteral("done") << QPoint(-300, 5000);
}

void ControllerDlgTest::reopensWhereItWasClosed()
{
    QFETCH(QString, closeBy);
    QFETCH(QPoint, position);
    QVERIFY(!QFile::exists(store->GetKeyFile()));
    {
        const auto panel = OpenPanel();
        panel->move(position);
        QCOMPARE(panel->frameGeometry().topLeft(), position);
        if (closeBy == QLatin1String("done"))
            QTest::mouseClick(Button(*panel, IDC_DONE), Qt::LeftButton);
        else if (closeBy == QLatin1String("escape"))
            QTest::keyClick(panel.get(), Qt::Key_Escape);
        else
            panel->close();
        QVERIFY(!panel->isVisible());
    }
    // The first close creates the key.
    QVERIFY(QFile::exists(store->GetKeyFile()));
    int x = 0;
    int y = 0;
    QVERIFY(ReadSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", x));
    QVERIFY(ReadSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_y", y));
    QCOMPARE(QPoint(x, y), position);
    const auto reopened = OpenPanel();
    QCOMPARE(reopened->frameGeometry().topLeft(), position);
    QCOMPARE(reopened->frameGeometry().size(), QSize(500, 400));
}

void ControllerDlgTest::storedPositionTextIsReadLikeAtoi_data()
{
    QTest::addColumn<QByteArray>("storedX");
    QTest::addColumn<int>("x");
    QTest::newRow("negative") << QByteArray("-15") << -15;
    QTest::newRow("letters after the digits") << QByteArray("12abc") << 12;
    QTest::newRow("letters only read as 0") << QByteArray("abc") << 0;
    QTest::newRow("empty keeps the default") << QByteArray("") << 10;
}

void ControllerDlgTest::storedPositionTextIsReadLikeAtoi()
{
    QFETCH(QByteArray, storedX);
    QFETCH(int, x);
    QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", storedX.toStdString()));
    const auto panel = OpenPanel();
    QCOMPARE(panel->frameGeometry().topLeft(), QPoint(x, 10));
}

void ControllerDlgTest::stepHighlightsExactWord_data()
{
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("indicator");
    QTest::addColumn<QString>("motion");
    QTest::newRow("after loading, the first word") << 0 << QStringLiteral("%") << 12 << QStringLiteral("2/7")
                                                 << QStringLiteral("Bewegung: LINEAR       ");
    QTest::newRow("F10 once") << 1 << QStringLiteral("G00") << 19 << QStringLiteral("3/7")
                              << QStringLiteral("Bewegung: LINEAR       ");
    QTest::newRow("F10 twice") << 2 << QStringLiteral("X0") << 23 << QStringLiteral("3/7")
                               << QStringLiteral("Bewegung: LINEAR       ");
    QTest::newRow("F10 four times, the block applied") << 4 << QStringLiteral("G01") << 31 << QStringLiteral("4/7")
                                                     << QStringLiteral("Bewegung: RAPIDE       ");
    QTest::newRow("F10 six times") << 6 << QStringLiteral("F100") << 39 << QStringLiteral("4/7")
                                   << QStringLiteral("Bewegung: RAPIDE       ");
    QTest::newRow("F10 seven times, past comment and block number")
        << 7 << QStringLiteral("GOTO 10 ; loop") << 55 << QStringLiteral("5/7") << QStringLiteral("Bewegung: LINEAR       ");
    QTest::newRow("F10 eight times") << 8 << QStringLiteral("M30") << 72 << QStringLiteral("6/7")
                                     << QStringLiteral("Bewegung: RAPIDE       ");
}

void ControllerDlgTest::stepHighlightsExactWord()
{
    QFETCH(int, presses);
    QFETCH(QString, word);
    QFETCH(int, start);
    QFETCH(QString, indicator);
    QFETCH(QString, motion);
    const auto panel = OpenPanel();
    Load(*panel, DemoProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QVERIFY(editor->hasFocus());
    for (int press = 0; press < presses; ++press)
        QTest::keyClick(editor, Qt::Key_F10);
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->GetSelectedText(), word);
    QCOMPARE(editor->GetSelectionStart(), start);
    QCOMPARE(editor->GetSelectionEnd(), start + int(word.size()));
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), indicator);
    QCOMPARE(Text(*panel, IDC_MOTION), motion);
    if (presses > 0)
        QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), BLANK_COMMAND);
}

void ControllerDlgTest::commandKeysAndButtons_data()
{
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("message");
    QTest::newRow("F10 steps past the silent words") << QStringLiteral("F10") << QStringLiteral("G01") << BLANK_COMMAND;
    QTest::newRow("Schritt steps past the silent words")
        << QStringLiteral("Schritt") << QStringLiteral("G01") << BLANK_COMMAND;
    QTest::newRow("F4 resets to the first word") << QStringLiteral("F10 F10 F4") << QStringLiteral("%") << BLANK_COMMAND;
    QTest::newRow("Neustart resets to the first word")
        << QStringLiteral("Schritt Schritt Neustart") << QStringLiteral("%") << BLANK_COMMAND;
    QTest::newRow("F8 shows the actual word") << QStringLiteral("F10 F10 F10 F8") << QStringLiteral("Z7") << BLANK_COMMAND;
    QTest::newRow("X shows the actual word") << QStringLiteral("F10 F10 F10 X") << QStringLiteral("Z7") << BLANK_COMMAND;
    QTest::newRow("F9 runs to the end of the block") << QStringLiteral("F9") << QStringLiteral("N10") << BLANK_COMMAND;
    QTest::newRow("Naechster runs to the end of the block")
        << QStringLiteral("Naechster Naechster") << QStringLiteral("N20") << BLANK_COMMAND;
    QTest::newRow("stepping past the last word")
        << QStringLiteral("F10 F10 F10 F10 F10 F10 F10") << QStringLiteral("\n") << QStringLiteral("Ende der Anweisungen");
}

void ControllerDlgTest::commandKeysAndButtons()
{
    QFETCH(QString, commands);
    QFETCH(QString, word);
    QFETCH(QString, message);
    const std::map<QString, int> buttons = {{QStringLiteral("Schritt"), IDC_NEXT_WORD},
                                            {QStringLiteral("Neustart"), IDC_RESET},
                                            {QStringLiteral("X"), IDC_JUMP_TO_ACTUAL},
                                            {QStringLiteral("Naechster"), IDC_RUN_TO}};
    const std::map<QString, Qt::Key> keys = {{QStringLiteral("F4"), Qt::Key_F4},
                                             {QStringLiteral("F8"), Qt::Key_F8},
                                             {QStringLiteral("F9"), Qt::Key_F9},
                                             {QStringLiteral("F10"), Qt::Key_F10}};
    const auto panel = OpenPanel();
    Load(*panel, StopsProgram());
    for (const QString& command : commands.split(QLatin1Char(' '))) {
        if (keys.count(command) != 0)
            QTest::keyClick(QApplication::focusWidget(), keys.at(command));
        else
            QTest::mouseClick(Button(*panel, buttons.at(command)), Qt::LeftButton);
    }
    // Every command that highlights a word gives the focus back to the editor.
    QVERIFY(panel->GetEditor()->hasFocus());
    QCOMPARE(panel->GetEditor()->GetSelectedText(), word);
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), message);
}

void ControllerDlgTest::readOutsAfterEachCommand_data()
{
    QTest::addColumn<int>("runToMode");
    QTest::addColumn<QString>("commands");
    QTest::newRow("Ende, F9 runs through every block") << 3 << QStringLiteral("F9");
    QTest::newRow("Satz, F9 five times") << 0 << QStringLiteral("F9 F9 F9 F9 F9");
    QTest::newRow("Z-Wert, F9 three times, then F8") << 2 << QStringLiteral("F9 F9 F9 F8");
    QTest::newRow("Werkzeugwechsel, F9 twice") << 1 << QStringLiteral("F9 F9");
    QTest::newRow("F10 twenty times, then F4")
        << 0 << QStringLiteral("F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F10 F4");
    QTest::newRow("Ende, F9, F4, F9 again") << 3 << QStringLiteral("F9 F4 F9");
}

void ControllerDlgTest::readOutsAfterEachCommand()
{
    QFETCH(int, runToMode);
    QFETCH(QString, commands);
    const int readOuts[] = {IDC_POSITION_X, IDC_POSITION_Y,   IDC_POSITION_Z,     IDC_MOTION,
                            IDC_COMPENSATION, IDC_PLANE,      IDC_CYCLE,          IDC_COORD_SYSTEM,
                            IDC_DIMENSIONING, IDC_LENGTH_UNIT, IDC_FEED_UNIT,     IDC_SPINDLE_UNIT,
                            IDC_MESSAGE_LINE, IDC_LINE_INDICATOR};
    const std::map<QString, Qt::Key> keys = {{QStringLiteral("F4"), Qt::Key_F4},
                                             {QStringLiteral("F8"), Qt::Key_F8},
                                             {QStringLiteral("F9"), Qt::Key_F9},
                                             {QStringLiteral("F10"), Qt::Key_F10}};
    const std::map<QString, void (CProgramCursor::*)()> twinCommands = {
        {QStringLiteral("F4"), &CProgramCursor::OnReset},
        {QStringLiteral("F8"), &CProgramCursor::OnJumpToActual},
        {QStringLiteral("F9"), &CProgramCursor::OnRunTo},
        {QStringLiteral("F10"), &CProgramCursor::OnNextWord}};
    const std::string path = programs.Write(QStringLiteral("cam.nc"), CamProgram());
    CHeadlessTwin twin(path);
    twin.panel.SetRunToSelection(runToMode);
    twin.cursor.OnRunToModeChanged();
    twin.cursor.OnLoad();
    const auto panel = OpenPanel();
    auto* combo = qobject_cast<QComboBox*>(panel->GetDlgItem(IDC_RUN_TO_COMBO));
    for (int press = 0; press < runToMode; ++press)
        QTest::keyClick(combo, Qt::Key_Down);
    chooser.SetPath(path);
    QTest::mouseClick(Button(*panel, IDC_LOAD), Qt::LeftButton);
    CCncEditBoxCtrl* editor = panel->GetEditor();
    const auto compare = [&](const QString& after) {
        for (int id : readOuts) {
            const QString expected = Cp1252ToQString(twin.panel.GetControlText(id));
            QVERIFY2(Text(*panel, id) == expected,
                     qPrintable(QStringLiteral("after %1, control %2 shows \"%3\", not \"%4\"")
                                    .arg(after)
                                    .arg(id)
                                    .arg(Text(*panel, id), expected)));
        }
        QCOMPARE(editor->GetSelectionStart(), twin.view.GetSelectionStart());
        QCOMPARE(editor->GetSelectionEnd(), twin.view.GetSelectionEnd());
        QCOMPARE(editor->GetFirstVisibleLine(), twin.view.GetFirstVisibleLine());
    };
    compare(QStringLiteral("loading"));
    for (const QString& command : commands.split(QLatin1Char(' '))) {
        QTest::keyClick(editor, keys.at(command));
        (twin.cursor.*twinCommands.at(command))();
        compare(command);
    }
}

void ControllerDlgTest::clickOnFifthLineOfTwelve()
{
    const auto panel = OpenPanel();
    Load(*panel, TwelveLineProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("X1"));
    // The listing's first line is at the top of the view; the fifth is four
    // lines below it.
    const QRect first = editor->GetCharRect(0);
    const QPoint fifth(first.left() + 20, first.center().y() + 4 * first.height());
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, fifth);
    // The end of the file closes the last line as a line end would, so the
    // view shows an empty thirteenth line after it.
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), QStringLiteral("5/13"));
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("N50 X5 "));
    // The program cursor has not moved: F8 shows the word taken last.
    QTest::keyClick(editor, Qt::Key_F8);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("X1"));
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), QStringLiteral("1/13"));
}

void ControllerDlgTest::selectAllMovesIndicator_data()
{
    QTest::addColumn<std::string>("program");
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<QString>("indicator");
    QTest::newRow("menu, twelve lines") << TwelveLineProgram() << true << QStringLiteral("13/13");
    QTest::newRow("menu, the demo part") << DemoProgram() << true << QStringLiteral("7/7");
    QTest::newRow("Ctrl+A, twelve lines") << TwelveLineProgram() << false << QStringLiteral("13/13");
}

void ControllerDlgTest::selectAllMovesIndicator()
{
    QFETCH(std::string, program);
    QFETCH(bool, byMenu);
    QFETCH(QString, indicator);
    const auto panel = OpenPanel();
    Load(*panel, program);
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    QVERIFY(Text(*panel, IDC_LINE_INDICATOR) != indicator);
    if (byMenu) {
        QTimer::singleShot(0, this, [&]() {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            for (QAction* action : menu->actions()) {
                if (action->text() == QLatin1String("Select All"))
                    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
            }
        });
        const QPoint centre = editor->viewport()->rect().center();
        QContextMenuEvent request(QContextMenuEvent::Mouse, centre, editor->viewport()->mapToGlobal(centre));
        QApplication::sendEvent(editor->viewport(), &request);
    } else {
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    }
    QCOMPARE(editor->GetSelectionStart(), 0);
    // The caret stands at the end of the text, on the last line.
    QCOMPARE(editor->GetSelectionEnd(), editor->GetCaretPosition());
    QCOMPARE(editor->LineFromChar(editor->GetCaretPosition()), editor->GetLineCount() - 1);
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), indicator);
}

void ControllerDlgTest::focusLeavesAndReturnsToWord()
{
    const auto panel = OpenPanel();
    Load(*panel, DemoProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F10);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("X0"));
    QPushButton* question = Button(*panel, IDC_QUESTION);
    QTest::mouseClick(question, Qt::LeftButton);
    QVERIFY(question->hasFocus());
    // With the focus away, F10 reaches the button, not the editor.
    QTest::keyClick(question, Qt::Key_F10);
    QVERIFY(question->hasFocus());
    QCOMPARE(editor->GetSelectionStart(), 23);
    // Back through the tab order: "&Fertig", then round to the editor.
    QTest::keyClick(question, Qt::Key_Backtab);
    QVERIFY(Button(*panel, IDC_DONE)->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("X0"));
    QCOMPARE(editor->GetSelectionStart(), 23);
}

void ControllerDlgTest::loadFailureShowsMessage_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<std::string>("program");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << false << std::string() << QStringLiteral("Can't open file.");
    QTest::newRow("X without value on line 4, after a header")
        << true << CrLfLines({"Header", "%", "N10 G01 X5", "N20 X"}) << QStringLiteral("Syntax error in line: 4");
    QTest::newRow("rejected word on line 1 without a header")
        << true << CrLfLines({"N10 X10L5"}) << QStringLiteral("Syntax error in line: 1");
}

void ControllerDlgTest::loadFailureShowsMessage()
{
    QFETCH(bool, fileExists);
    QFETCH(std::string, program);
    QFETCH(QString, message);
    const auto panel = OpenPanel();
    if (fileExists) {
        Load(*panel, program);
    } else {
        chooser.SetPath("/nonexistent/folder/part.nc");
        QTest::mouseClick(Button(*panel, IDC_LOAD), Qt::LeftButton);
    }
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), message);
}

void ControllerDlgTest::runToStopsWhereChosen_data()
{
    QTest::addColumn<int>("downPresses");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("message");
    QTest::newRow("Satz stops at the next block") << 0 << QStringLiteral("Satz") << QStringLiteral("N10") << BLANK_COMMAND;
    QTest::newRow("Werkzeugwechsel stops after the tool word")
        << 1 << QStringLiteral("Werkzeugwechsel") << QStringLiteral("T2") << BLANK_COMMAND;
    QTest::newRow("Z-Wert stops after the Z word") << 2 << QStringLiteral("Z-Wert") << QStringLiteral("Z7") << BLANK_COMMAND;
    QTest::newRow("Ende runs out of words")
        << 3 << QStringLiteral("Ende") << QStringLiteral("\n") << QStringLiteral("Ende der Anweisungen");
}

void ControllerDlgTest::runToStopsWhereChosen()
{
    QFETCH(int, downPresses);
    QFETCH(QString, item);
    QFETCH(QString, word);
    QFETCH(QString, message);
    const auto panel = OpenPanel();
    Load(*panel, StopsProgram());
    auto* combo = qobject_cast<QComboBox*>(panel->GetDlgItem(IDC_RUN_TO_COMBO));
    combo->setFocus();
    for (int press = 0; press < downPresses; ++press)
        QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentText(), item);
    QTest::mouseClick(Button(*panel, IDC_RUN_TO), Qt::LeftButton);
    QCOMPARE(panel->GetEditor()->GetSelectedText(), word);
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), message);
}

void ControllerDlgTest::typingInSelectorKeepsStoppingPoint()
{
    const auto panel = OpenPanel();
    Load(*panel, StopsProgram());
    auto* combo = qobject_cast<QComboBox*>(panel->GetDlgItem(IDC_RUN_TO_COMBO));
    combo->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("Ende"));
    QCOMPARE(combo->currentText(), QStringLiteral("Ende"));
    // Leaving the field is not choosing an item.
    QTest::mouseClick(Button(*panel, IDC_RUN_TO), Qt::LeftButton);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(panel->GetEditor()->GetSelectedText(), QStringLiteral("N10"));
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), BLANK_COMMAND);
}

void ControllerDlgTest::stepObserversSeeEachCommand_data()
{
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QList<int>>("steps");
    QTest::newRow("load") << QStringLiteral("Laden") << QList<int>{PROGRAM_CHANGING, STEP_LOAD};
    QTest::newRow("F10 and Schritt step")
        << QStringLiteral("Laden F10 Schritt") << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_NEXT_WORD, STEP_NEXT_WORD};
    QTest::newRow("Shift+F10 steps back")
        << QStringLiteral("Laden F10 Shift+F10") << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_NEXT_WORD, STEP_BACK};
    QTest::newRow("F9 and Naechster run to")
        << QStringLiteral("Laden F9 Naechster") << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_RUN_TO, STEP_RUN_TO};
    QTest::newRow("F4 and Neustart reset")
        << QStringLiteral("Laden F10 F4 Neustart")
        << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_NEXT_WORD, STEP_RESET, STEP_RESET};
    QTest::newRow("F8 and X show the actual word")
        << QStringLiteral("Laden F10 F10 F8 X")
        << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_NEXT_WORD, STEP_NEXT_WORD, STEP_ACTUAL_WORD, STEP_ACTUAL_WORD};
    QTest::newRow("a click on a line, then F8")
        << QStringLiteral("Laden F10 click F8")
        << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_NEXT_WORD, STEP_LINE_CLICK, STEP_ACTUAL_WORD};
    QTest::newRow("choosing a stopping point is no step; the run ends the program")
        << QStringLiteral("Laden Ende F9") << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_RUN_TO};
    QTest::newRow("F5 runs no command") << QStringLiteral("Laden F5") << QList<int>{PROGRAM_CHANGING, STEP_LOAD};
    QTest::newRow("a second load")
        << QStringLiteral("Laden F10 Laden")
        << QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_NEXT_WORD, PROGRAM_CHANGING, STEP_LOAD};
    QTest::newRow("commands before any load are told too")
        << QStringLiteral("Schritt X") << QList<int>{STEP_NEXT_WORD, STEP_ACTUAL_WORD};
}

void ControllerDlgTest::stepObserversSeeEachCommand()
{
    QFETCH(QString, actions);
    QFETCH(QList<int>, steps);
    const std::map<QString, int> buttons = {{QStringLiteral("Laden"), IDC_LOAD},
                                            {QStringLiteral("Schritt"), IDC_NEXT_WORD},
                                            {QStringLiteral("Neustart"), IDC_RESET},
                                            {QStringLiteral("X"), IDC_JUMP_TO_ACTUAL},
                                            {QStringLiteral("Naechster"), IDC_RUN_TO}};
    const std::map<QString, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys = {
        {QStringLiteral("F4"), {Qt::Key_F4, Qt::NoModifier}},
        {QStringLiteral("F5"), {Qt::Key_F5, Qt::NoModifier}},
        {QStringLiteral("F8"), {Qt::Key_F8, Qt::NoModifier}},
        {QStringLiteral("F9"), {Qt::Key_F9, Qt::NoModifier}},
        {QStringLiteral("F10"), {Qt::Key_F10, Qt::NoModifier}},
        {QStringLiteral("Shift+F10"), {Qt::Key_F10, Qt::ShiftModifier}}};
    const auto panel = OpenPanel();
    chooser.SetPath(programs.Write(QStringLiteral("stops.nc"), StopsProgram()));
    CRecordingObserver observer(*panel);
    panel->AddStepObserver(&observer);
    // Added twice, told once.
    panel->AddStepObserver(&observer);
    CCncEditBoxCtrl* editor = panel->GetEditor();
    for (const QString& action : actions.split(QLatin1Char(' '))) {
        const qsizetype before = observer.steps.size();
        if (buttons.count(action) != 0) {
            QTest::mouseClick(Button(*panel, buttons.at(action)), Qt::LeftButton);
        } else if (keys.count(action) != 0) {
            QTest::keyClick(editor, keys.at(action).first, keys.at(action).second);
        } else if (action == QLatin1String("click")) {
            // The third line of the listing.
            const QRect first = editor->GetCharRect(0);
            QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(first.left() + 10, first.center().y() + 2 * first.height()));
            QCOMPARE(editor->GetCaretLine(), 2);
        } else {
            QCOMPARE(action, QStringLiteral("Ende"));
            auto* combo = qobject_cast<QComboBox*>(panel->GetDlgItem(IDC_RUN_TO_COMBO));
            combo->setFocus();
            for (int press = 0; press < RUNTO_END; ++press)
                QTest::keyClick(combo, Qt::Key_Down);
            QCOMPARE(panel->GetProgramCursor()->GetRunToMode(), RUNTO_END);
        }
        if (observer.steps.size() == before)
            continue;
        // Told once, after the command, with the texts on the panel.
        QCOMPARE(observer.steps.size(), before + (observer.steps.value(before) == PROGRAM_CHANGING ? 2 : 1));
        QCOMPARE(observer.cursorSeen, panel->GetProgramCursor()->GetCursor());
        QCOMPARE(observer.messageSeen, Text(*panel, IDC_MESSAGE_LINE));
        QCOMPARE(observer.xShownSeen, Text(*panel, IDC_POSITION_X));
        QCOMPARE(QString::number(observer.xSeen, 'f', 4), observer.xShownSeen);
    }
    QCOMPARE(observer.steps, steps);
    panel->RemoveStepObserver(&observer);
}

void ControllerDlgTest::removedObserverHearsNothing()
{
    const auto panel = OpenPanel();
    CRecordingObserver kept(*panel);
    CRecordingObserver removed(*panel);
    panel->AddStepObserver(&removed);
    panel->AddStepObserver(&kept);
    Load(*panel, StopsProgram());
    panel->RemoveStepObserver(&removed);
    QTest::keyClick(panel->GetEditor(), Qt::Key_F10);
    QCOMPARE(removed.steps, (QList<int>{PROGRAM_CHANGING, STEP_LOAD}));
    QCOMPARE(kept.steps, (QList<int>{PROGRAM_CHANGING, STEP_LOAD, STEP_NEXT_WORD}));
    panel->RemoveStepObserver(&kept);
}

void ControllerDlgTest::editorShowsAsManyLinesAsTheHeadlessView()
{
    const auto panel = OpenPanel();
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QCOMPARE(editor->GetVisibleLineCount(), CHeadlessView::VISIBLE_LINE_COUNT);
    QCOMPARE(editor->verticalScrollBar()->pageStep(), CHeadlessView::VISIBLE_LINE_COUNT);
    // The last of them lies whole in the view, the one after it does not.
    Load(*panel, TwelveLineProgram());
    const QRect last = editor->GetCharRect(static_cast<int>(
        TwelveLineProgram().find("N60") - TwelveLineProgram().find("N10")));
    QVERIFY(editor->viewport()->rect().contains(last));
    QCOMPARE(editor->GetCaretLine(), 0);
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    // The end of the file closes the last line: thirteen lines in the view.
    QCOMPARE(editor->GetFirstVisibleLine(), 13 - CHeadlessView::VISIBLE_LINE_COUNT);
}

void ControllerDlgTest::lineIndicatorWidensForMillions_data()
{
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("widened");
    QTest::newRow("twelve blocks keep the form's width") << 12 << QStringLiteral("1/13") << QStringLiteral("13/13")
                                                       << false;
    QTest::newRow("a hundred thousand blocks") << 100000 << QStringLiteral("1/100001")
                                              << QStringLiteral("100001/100001") << true;
    QTest::newRow("a million blocks") << 1000000 << QStringLiteral("1/1000001") << QStringLiteral("1000001/1000001")
                                     << true;
}

void ControllerDlgTest::lineIndicatorWidensForMillions()
{
    QFETCH(int, blocks);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(bool, widened);
    const auto panel = OpenPanel();
    auto* indicator = qobject_cast<QLabel*>(panel->GetDlgItem(IDC_LINE_INDICATOR));
    QVERIFY(indicator != nullptr);
    const QRect form = indicator->geometry();
    const QFont face = indicator->font();
    std::string program;
    program.reserve(static_cast<std::size_t>(blocks) * 3);
    for (int block = 0; block < blocks; ++block)
        program += "X1\r";
    Load(*panel, program);
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), first);
    QTest::keyClick(panel->GetEditor(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), last);
    // The count shows whole: the indicator takes the room to its right, and
    // a smaller face if it must, but stays on the panel.
    QCOMPARE(indicator->width() > form.width(), widened);
    QCOMPARE(indicator->geometry().topLeft(), form.topLeft());
    QVERIFY(indicator->geometry().right() < panel->width());
    QVERIFY(QFontMetrics(indicator->font()).horizontalAdvance(indicator->text()) <= indicator->contentsRect().width());
    // A short program gives it the form's width and face back.
    Load(*panel, DemoProgram());
    QCOMPARE(Text(*panel, IDC_LINE_INDICATOR), QStringLiteral("2/7"));
    QCOMPARE(indicator->geometry(), form);
    QCOMPARE(indicator->font(), face);
}

void ControllerDlgTest::enterKey_data()
{
    // Each row first steps to X0 and then clicks the header line, so that
    // the word shown tells which command the Enter key ran, if any: Y0 the
    // next word, "%" the reset, X0 the actual word, the header line none.
    QTest::addColumn<int>("focusId");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("downPresses");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("runToIndex");
    QTest::newRow("in the selector, Enter clicks Schritt")
        << int(IDC_RUN_TO_COMBO) << QString() << 0 << QStringLiteral("Y0") << 0;
    QTest::newRow("in the selector after typing an item name, Enter clicks Schritt, Satz stays")
        << int(IDC_RUN_TO_COMBO) << QStringLiteral("Z-Wert") << 0 << QStringLiteral("Y0") << 0;
    QTest::newRow("in the selector after choosing Ende, Enter clicks Schritt, Ende stays")
        << int(IDC_RUN_TO_COMBO) << QString() << 3 << QStringLiteral("Y0") << 3;
    QTest::newRow("on Neustart, Enter clicks Neustart") << int(IDC_RESET) << QString() << 0 << QStringLiteral("%") << 0;
    QTest::newRow("on X, Enter clicks X") << int(IDC_JUMP_TO_ACTUAL) << QString() << 0 << QStringLiteral("X0") << 0;
    QTest::newRow("in the editor, Enter does nothing")
        << int(IDC_EDITOR) << QString() << 0 << QStringLiteral("Demo part") << 0;
}

void ControllerDlgTest::enterKey()
{
    QFETCH(int, focusId);
    QFETCH(QString, typed);
    QFETCH(int, downPresses);
    QFETCH(QString, word);
    QFETCH(int, runToIndex);
    const auto panel = OpenPanel();
    Load(*panel, DemoProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F10);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("X0"));
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, editor->GetCharRect(0).center());
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("Demo part"));
    QWidget* target = panel->GetDlgItem(focusId);
    target->setFocus();
    auto* combo = qobject_cast<QComboBox*>(panel->GetDlgItem(IDC_RUN_TO_COMBO));
    for (int press = 0; press < downPresses; ++press)
        QTest::keyClick(combo, Qt::Key_Down);
    if (!typed.isEmpty()) {
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), typed);
    }
    QVERIFY(target->hasFocus() || target->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(editor->GetSelectedText(), word);
    QCOMPARE(combo->currentIndex(), runToIndex);
    QVERIFY(panel->isVisible());
}

void ControllerDlgTest::altF4InEditorKeepsPanelOpen()
{
    const auto panel = OpenPanel();
    Load(*panel, DemoProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F4, Qt::AltModifier);
    QVERIFY(panel->isVisible());
    // Not a reset either.
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G00"));
}

void ControllerDlgTest::escapeInEditorClosesPanel()
{
    const auto panel = OpenPanel();
    Load(*panel, DemoProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QVERIFY(editor->hasFocus());
    // The editor has no use for Escape; the panel takes it as it does
    // everywhere else.
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!panel->isVisible());
    QCOMPARE(panel->result(), int(QDialog::Rejected));
}

void ControllerDlgTest::toolTips_data()
{
    QTest::addColumn<int>("controlId");
    QTest::addColumn<QString>("text");
    QTest::newRow("Schritt") << int(IDC_NEXT_WORD) << QStringLiteral("Execute next CNC word   [F10]");
    QTest::newRow("Neustart") << int(IDC_RESET) << QStringLiteral("Reset program execution [F4]");
    QTest::newRow("X") << int(IDC_JUMP_TO_ACTUAL) << QStringLiteral("Jump to actual CNC word [F8]");
    QTest::newRow("Naechster") << int(IDC_RUN_TO) << QStringLiteral("Execute program to      [F9]");
    QTest::newRow("Laden") << int(IDC_LOAD) << QStringLiteral("Load a new CNC file into controller");
    QTest::newRow("tool number") << int(IDC_TOOL_NUMBER) << QStringLiteral("Active set tool number");
    QTest::newRow("no tooltip on a position read-out") << int(IDC_POSITION_X) << QString();
    QTest::newRow("no tooltip on the selector") << int(IDC_RUN_TO_COMBO) << QString();
    QTest::newRow("no tooltip on the editor") << int(IDC_EDITOR) << QString();
    QTest::newRow("no tooltip on Fertig") << int(IDC_DONE) << QString();
}

void ControllerDlgTest::toolTips()
{
    QFETCH(int, controlId);
    QFETCH(QString, text);
    const auto panel = OpenPanel();
    QWidget* control = panel->GetDlgItem(controlId);
    QVERIFY(control != nullptr);
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    const QPoint centre = control->rect().center();
    QHelpEvent request(QEvent::ToolTip, centre, control->mapToGlobal(centre));
    QApplication::sendEvent(control, &request);
    if (text.isEmpty()) {
        QVERIFY(!QToolTip::isVisible());
    } else {
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), text);
    }
}

void ControllerDlgTest::helpWindowListsKeysAndClosesWithPanel()
{
    const auto panel = OpenPanel();
    QVERIFY(panel->GetHelpWindow() == nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    CHelpWindow* help = panel->GetHelpWindow();
    QVERIFY(help != nullptr);
    QVERIFY(help->isVisible());
    QVERIFY(!help->isModal());
    QCOMPARE(help->windowTitle(), QStringLiteral("Hilfe zu Tornavel"));
    const QString text = help->GetText();
    for (const char* expected : {"F4", "F8", "F9", "F10", "Kompensation", "Bewegung", "Koordinaten", "Zyklus",
                                 "Haltepunkte", "Schritt zurück", "Bahnfenster", "Einstellungen"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    // Every message the panel can show, explained: the loader's stay English.
    for (const char* message : {TEXT_CANT_OPEN_FILE, TEXT_SYNTAX_ERROR_IN_LINE, TEXT_ERROR_READING_HEADER,
                                TEXT_FILE_TOO_LARGE, TEXT_ERROR_READING_FILE, TEXT_NOT_ENOUGH_MEMORY,
                                MESSAGE_END_OF_PROGRAM})
        QVERIFY2(text.contains(QString::fromLatin1(message).trimmed()), message);
    QTest::mouseClick(Button(*panel, IDC_DONE), Qt::LeftButton);
    QVERIFY(!panel->isVisible());
    QVERIFY(!help->isVisible());
}

void ControllerDlgTest::loadThroughFileDialog()
{
    const std::string path = programs.Write(QStringLiteral("dialog.nc"), DemoProgram());
    const std::string previous = programs.Write(QStringLiteral("previous.nc"), StopsProgram());
    QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", previous));
    CControllerDlg panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    QString preselected;
    QString messageWhileAsking;
    bool answered = false;
    QTimer::singleShot(0, this, [&]() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        messageWhileAsking = Text(panel, IDC_MESSAGE_LINE);
        preselected = dialog->selectedFiles().value(0);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        name->selectAll();
        QTest::keyClicks(name, QFile::decodeName(QByteArray::fromStdString(path)));
        QTest::keyClick(name, Qt::Key_Return);
        answered = true;
    });
    QTest::mouseClick(Button(panel, IDC_LOAD), Qt::LeftButton);
    QVERIFY(answered);
    // The load blanked the message line before it asked for the file.
    QCOMPARE(messageWhileAsking, QString(45, QLatin1Char(' ')));
    QCOMPARE(preselected, QFile::decodeName(QByteArray::fromStdString(previous)));
    QCOMPARE(panel.GetEditor()->GetSelectedText(), QStringLiteral("%"));
    std::string lastLoaded;
    QVERIFY(ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", lastLoaded));
    QCOMPARE(lastLoaded, path);
    panel.reject();
}

void ControllerDlgTest::hiddenButtonCarriesPicture()
{
    const auto panel = OpenPanel();
    QPushButton* hidden = Button(*panel, IDC_HIDDEN_LOAD);
    QVERIFY(hidden != nullptr);
    QVERIFY(!hidden->isVisible());
    QCOMPARE(hidden->text(), QStringLiteral("Loaded"));
    QCOMPARE(hidden->iconSize(), QSize(180, 180));
    QCOMPARE(hidden->icon().availableSizes().value(0), QSize(180, 180));
}

void ControllerDlgTest::questionButtonChangesNothing()
{
    const auto panel = OpenPanel();
    Load(*panel, DemoProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    const QString message = Text(*panel, IDC_MESSAGE_LINE);
    const QString motion = Text(*panel, IDC_MOTION);
    QTest::mouseClick(Button(*panel, IDC_QUESTION), Qt::LeftButton);
    QVERIFY(panel->isVisible());
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), message);
    QCOMPARE(Text(*panel, IDC_MOTION), motion);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G00"));
}

void ControllerDlgTest::minimisedPanelShowsIcon()
{
    const auto panel = OpenPanel();
    panel->showMinimized();
    QTRY_VERIFY(panel->isMinimized());
    const QImage drawn = panel->grab().toImage();
    const QImage icon = QImage(QStringLiteral(":/res/icon_32.png")).convertToFormat(QImage::Format_ARGB32);
    const int iconSize = panel->style()->pixelMetric(QStyle::PM_LargeIconSize);
    QCOMPARE(iconSize, icon.width());
    // The icon stands in the middle of the client area; its blue tile shows
    // where no control covers it.
    const QPoint corner((panel->width() - iconSize + 1) / 2, (panel->height() - iconSize + 1) / 2);
    QVERIFY(IsNear(drawn.pixel(corner + QPoint(2, 10)), icon.pixel(2, 10)));
    QVERIFY(IsNear(drawn.pixel(corner + QPoint(29, 10)), icon.pixel(29, 10)));
    panel->showNormal();
    QTRY_VERIFY(!panel->isMinimized());
    QVERIFY(!IsNear(panel->grab().toImage().pixel(corner + QPoint(2, 10)), icon.pixel(2, 10)));
}

QTEST_MAIN(ControllerDlgTest)
#include "controller_dlg_test.moc"
