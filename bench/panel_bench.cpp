// Drives the real panel the way a user does, for the benchmark:
//   tornavel-panel-bench load FILE   "&Laden..." answers FILE; waits until the
//                                    first word is highlighted and painted and
//                                    the toolpath window shows the path
//   tornavel-panel-bench run FILE    the same, then "Ende" in the run-to
//                                    selector and F9 in the editor; waits until
//                                    the end of the program is painted
//   tornavel-panel-bench back FILE   the same, then Shift+F10; waits until
//                                    the word before the run is painted again
//   tornavel-panel-bench workpiece FILE
//                                    the load until the workpiece is painted,
//                                    then F10, F9 "Satz" and Shift+F10 at the
//                                    start, the middle and the end, each until
//                                    the new workpiece is painted, both once
//                                    the sweep is done and while it still
//                                    runs, and jumps (a click on the path far
//                                    ahead and far back, F9 "Ende") against
//                                    the same moves swept on their own
//   tornavel-panel-bench end FILE    the load until the workpiece is painted,
//                                    F9 "Werkzeugwechsel" to the middle, then
//                                    F9 "Ende" until the new workpiece is
//                                    painted, against its moves swept alone
//   tornavel-panel-bench dense       generated pockets and a face, each run
//                                    to its end with F9 "Ende", then
//                                    Shift+F10 back, every step timed until
//                                    the workpiece is painted; and a reload
//                                    and the panel's end during the sweep of
//                                    a 2000-turn helix, timed on the panel's
//                                    thread; each beside its target
// Settings stay in memory. Prints its own timings on stderr; exits 1 when a
// check fails, 2 on wrong arguments.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QWindow>

#include "cli_panel.h"
#include "cnc_edit_box_ctrl.h"
#include "code_page_1252.h"
#include "control_ids.h"
#include "controller_dlg.h"
#include "event_loop_wait.h"
#include "generated_programs.h"
#include "platform.h"
#include "program_cursor.h"
#include "state_texts.h"
#include "step_state.h"
#include "tool_table.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "workpiece.h"
#include "workpiece_layer.h"
#include "workpiece_settings.h"

namespace {

constexpr int RESULT_PASSED = 0;
constexpr int RESULT_FAILED = 1;
constexpr int RESULT_USAGE = 2;
constexpr std::chrono::seconds PATIENCE(600);
// The slowest jump on the biggest program sweeps for a few seconds.
constexpr std::chrono::seconds STEP_PATIENCE(60);

using Clock = std::chrono::steady_clock;

// Notes each paint of the watched widget; the paint itself has happened by
// the time the event loop returns.
class CPaintWatch : public QObject {
public:
    explicit CPaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void Reset() { painted = false; }
    bool IsPainted() const { return painted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted = false;
};

bool WaitUntil(const std::function<bool()>& done)
{
    const auto deadline = Clock::now() + PATIENCE;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void PressKey(QWidget* target, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

QString LabelText(const CControllerDlg& panel, int controlId)
{
    const auto* label = qobject_cast<QLabel*>(panel.GetDlgItem(controlId));
    return label != nullptr ? label->text() : QString();
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Fail(const char* what)
{
    std::fprintf(stderr, "tornavel-panel-bench: %s\n", what);
    return false;
}

bool Load(CControllerDlg& panel, CPaintWatch& paints)
{
    auto* load = qobject_cast<QAbstractButton*>(panel.GetDlgItem(IDC_LOAD));
    if (load == nullptr)
        return Fail("no load button");
    const Clock::time_point start = Clock::now();
    paints.Reset();
    load->click();
    CCncEditBoxCtrl* editor = panel.GetEditor();
    if (!WaitUntil([&]() { return paints.IsPainted(); }))
        return Fail("the editor was not painted after loading");
    std::fprintf(stderr, "load: %.1f ms\n", MillisecondsSince(start));
    if (LabelText(panel, IDC_MESSAGE_LINE) != Cp1252ToQString(MESSAGE_BLANK_COMMAND))
        return Fail(qPrintable(QStringLiteral("the load failed: ") + LabelText(panel, IDC_MESSAGE_LINE)));
    if (editor->GetSelectionStart() == editor->GetSelectionEnd() || !editor->hasFocus())
        return Fail("no word is highlighted after loading");
    // A load is complete for the user once the toolpath window, open on a
    // first start, shows the new path too.
    CToolpathWindow* window = panel.GetToolpathWindow();
    if (window != nullptr && window->isVisible()) {
        if (!WaitUntil([&]() { return window->IsPictureReady(); }))
            return Fail("the toolpath window never drew the path");
        std::fprintf(stderr, "load and first picture: %.1f ms\n", MillisecondsSince(start));
    }
    return true;
}

bool RunToEnd(CControllerDlg& panel, CPaintWatch& paints)
{
    auto* combo = qobject_cast<QComboBox*>(panel.GetDlgItem(IDC_RUN_TO_COMBO));
    if (combo == nullptr)
        return Fail("no run-to selector");
    const QString end = QStringLiteral("Ende");
    for (int press = 0; press < combo->count() && combo->currentText() != end; ++press)
        PressKey(combo, Qt::Key_Down);
    if (combo->currentText() != end)
        return Fail("\"Ende\" cannot be chosen");
    CCncEditBoxCtrl* editor = panel.GetEditor();
    editor->setFocus();
    QCoreApplication::processEvents();
    const Clock::time_point start = Clock::now();
    paints.Reset();
    PressKey(editor, Qt::Key_F9);
    if (!WaitUntil([&]() { return paints.IsPainted(); }))
        return Fail("the editor was not painted after F9");
    std::fprintf(stderr, "run: %.1f ms\n", MillisecondsSince(start));
    if (LabelText(panel, IDC_MESSAGE_LINE) != Cp1252ToQString(MESSAGE_END_OF_PROGRAM))
        return Fail(qPrintable(QStringLiteral("F9 did not run to the end: ") + LabelText(panel, IDC_MESSAGE_LINE)));
    return true;
}

bool StepBack(CControllerDlg& panel, CPaintWatch& paints)
{
    CCncEditBoxCtrl* editor = panel.GetEditor();
    const Clock::time_point start = Clock::now();
    paints.Reset();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::sendEvent(editor, &press);
    if (!WaitUntil([&]() { return paints.IsPainted(); }))
        return Fail("the editor was not painted after Shift+F10");
    std::fprintf(stderr, "back: %.1f ms\n", MillisecondsSince(start));
    if (LabelText(panel, IDC_MESSAGE_LINE) != Cp1252ToQString(MESSAGE_BLANK_COMMAND))
        return Fail(qPrintable(QStringLiteral("Shift+F10 did not step back: ") + LabelText(panel, IDC_MESSAGE_LINE)));
    return true;
}

// When a widget was first painted after Start, with ready() true as the
// paint began; the paint is done inside the filter so that its end is timed.
class CPaintClock : public QObject {
public:
    CPaintClock(QWidget* widget, std::function<bool()> isReady) : ready(std::move(isReady))
    {
        widget->installEventFilter(this);
    }
    void Start()
    {
        start = Clock::now();
        painted = false;
    }
    bool IsPainted() const { return painted; }
    double Milliseconds() const { return std::chrono::duration<double, std::milli>(paintedAt - start).count(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || painted || (ready && !ready()))
            return QObject::eventFilter(watched, event);
        watched->event(event);
        paintedAt = Clock::now();
        painted = true;
        return true;
    }

private:
    std::function<bool()> ready;
    Clock::time_point start;
    Clock::time_point paintedAt;
    bool painted = false;
};

bool SleepUntil(const std::function<bool()>& done) { return SleepInEventLoopUntil(done, STEP_PATIENCE); }

struct CSpread {
    std::vector<double> samples;

    void Add(double milliseconds) { samples.push_back(milliseconds); }
    std::string Text()
    {
        if (samples.empty())
            return "-";
        std::sort(samples.begin(), samples.end());
        char text[96];
        std::snprintf(text, sizeof text, "median %.1f, worst %.1f ms (%zu)", samples[samples.size() / 2],
                      samples.back(), samples.size());
        return text;
    }
};

// Drives the panel through the workpiece's figures; every workpiece the
// panel reached is noted, so that the same moves can be swept on their own
// afterwards.
class CWorkpieceRun {
public:
    CWorkpieceRun(CControllerDlg& dlg, CToolpathWindow& pathWindow)
        : panel(dlg), window(pathWindow), layer(*pathWindow.GetWorkpiece()),
          editorClock(dlg.GetEditor()->viewport(), nullptr),
          workpieceClock(pathWindow.GetCanvas(), [this]() { return IsWorkpieceShown(); })
    {
    }

    bool Load()
    {
        auto* load = qobject_cast<QAbstractButton*>(panel.GetDlgItem(IDC_LOAD));
        if (load == nullptr)
            return Fail("no load button");
        StartClocks();
        load->click();
        if (!WaitForWorkpiece() || !SleepUntil([&]() { return window.IsPictureReady(); }))
            return Fail("the workpiece was never painted after the load");
        std::printf("load to the workpiece painted: %.1f ms (%zu moves); the path's picture ready: %.1f ms\n",
                    workpieceClock.Milliseconds(), window.GetPath()->GetCount(), MillisecondsSince(started));
        Note(JUMP_NONE);
        return true;
    }

    // F10, F9 "Satz" and Shift+F10, count times each, at the workpiece's
    // pace (swept) or without waiting for it (while the sweep runs).
    bool Steps(const char* where, int count, bool swept)
    {
        const struct {
            const char* name;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* runTo;
        } COMMANDS[] = {{"F10", Qt::Key_F10, Qt::NoModifier, nullptr},
                        {"F9 \"Satz\"", Qt::Key_F9, Qt::NoModifier, "Satz"},
                        {"Shift+F10", Qt::Key_F10, Qt::ShiftModifier, nullptr}};
        for (const auto& command : COMMANDS) {
            if (command.runTo != nullptr && !ChooseRunTo(command.runTo))
                return false;
            CSpread shown;
            CSpread workpieceShown;
            for (int press = 0; press < count; ++press) {
                StartClocks();
                QKeyEvent event(QEvent::KeyPress, command.key, command.modifiers);
                QApplication::sendEvent(panel.GetEditor(), &event);
                if (!SleepUntil([&]() { return editorClock.IsPainted(); }))
                    return Fail("the step was never painted");
                shown.Add(editorClock.Milliseconds());
                if (swept) {
                    if (!WaitForWorkpiece())
                        return Fail("the workpiece was never painted after a step");
                    workpieceShown.Add(workpieceClock.Milliseconds());
                    Note(JUMP_NONE);
                }
            }
            std::printf("%s, %s, %s: word painted %s; workpiece painted %s\n", where,
                        swept ? "swept" : "while the sweep runs", command.name, shown.Text().c_str(),
                        workpieceShown.Text().c_str());
        }
        if (!swept) {
            // The sweep catches up with the last step.
            const Clock::time_point start = Clock::now();
            if (!SleepUntil([&]() { return IsWorkpieceShown(); }))
                return Fail("the workpiece never caught up");
            std::printf("%s: the workpiece caught up %.0f ms after the last step\n", where, MillisecondsSince(start));
            Note(JUMP_NONE);
        }
        return true;
    }

    // One command that moves the workpiece far; timed until the new
    // workpiece is painted, and noted under jump for the sweep alone.
    bool Jump(int jump, Qt::Key key, Qt::KeyboardModifiers modifiers, const char* runTo)
    {
        if (runTo != nullptr && !ChooseRunTo(runTo))
            return false;
        StartClocks();
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(panel.GetEditor(), &event);
        if (!WaitForWorkpiece())
            return Fail("the workpiece was never painted after a jump");
        jumps[jump].inPanel.Add(workpieceClock.Milliseconds());
        jumps[jump].command.Add(editorClock.IsPainted() ? editorClock.Milliseconds() : 0.0);
        Note(jump);
        return true;
    }

    // F9 "Werkzeugwechsel" until at least doneCount moves are done, or
    // once more than that when at the end already.
    bool ToolChangesTo(std::size_t doneCount)
    {
        while (Done() < doneCount) {
            const std::size_t before = Done();
            if (!Jump(JUMP_TOOL_CHANGE, Qt::Key_F9, Qt::NoModifier, "Werkzeugwechsel"))
                return false;
            if (Done() == before)
                return Fail("F9 \"Werkzeugwechsel\" does not go on");
        }
        return true;
    }

    // At the end of the program, back to where the last run started, so
    // that F10 has words to go.
    bool BeforeTheEnd()
    {
        if (Done() < window.GetPath()->GetCount())
            return true;
        return Jump(JUMP_NONE_TIMED, Qt::Key_F10, Qt::ShiftModifier, nullptr);
    }

    // Other tools or another box, the same as before: the whole workpiece
    // is cut again up to the cursor, as after "Werkzeuge..." and OK.
    bool SweepAgain()
    {
        return layer.ApplySettings(layer.GetSettings()) || Fail("the settings were not taken");
    }

    // The same workpieces again, on a workpiece of its own in this thread:
    // what the jumps' moves cost to sweep without the panel.
    void SweepAlone()
    {
        const CMoveTable& table = *window.GetPath();
        const CWordList& words = *panel.GetProgramCursor()->GetWordList();
        const CToolTable tools;
        CWorkpiece::CSettings stock;
        stock.box = CStockBox::FitToPath(table, words, tools);
        stock.cell = CHeightGrid::DefaultCell(stock.box);
        CWorkpiece workpiece(table, words, 0, tools, stock);
        for (const CReached& next : reached) {
            const Clock::time_point start = Clock::now();
            workpiece.BringTo(next.doneCount);
            if (next.jump != JUMP_NONE)
                jumps[next.jump].alone.Add(MillisecondsSince(start));
        }
        for (CJump& jump : jumps)
            std::printf("%s: workpiece painted %s; word painted %s; the moves swept alone %s\n", jump.name,
                        jump.inPanel.Text().c_str(), jump.command.Text().c_str(), jump.alone.Text().c_str());
        std::printf("grid and history after the run: %.1f MB\n",
                    static_cast<double>(workpiece.GetMemoryBytes()) / (1024.0 * 1024.0));
    }

    std::size_t Done() const
    {
        return StepStateAt(*window.GetPath(), panel.GetProgramCursor()->GetCursor()).doneCount;
    }

    // A key up to presses times, while it changes the moves done, each
    // timed until the workpiece is painted.
    bool Press(int presses, Qt::Key key, Qt::KeyboardModifiers modifiers, const char* runTo, CSpread& painted)
    {
        if (runTo != nullptr && !ChooseRunTo(runTo))
            return false;
        Settle();
        // Words without moves change nothing to sweep: a few in a row mean
        // the start or the end.
        constexpr int MAX_IDLE_PRESSES = 4;
        int idle = 0;
        for (int press = 0; press < presses && idle < MAX_IDLE_PRESSES; ++press) {
            const std::size_t before = Done();
            StartClocks();
            QKeyEvent event(QEvent::KeyPress, key, modifiers);
            QApplication::sendEvent(panel.GetEditor(), &event);
            if (Done() == before) {
                ++idle;
                continue;
            }
            idle = 0;
            if (!WaitForWorkpiece())
                return Fail("the workpiece was never painted after a key");
            painted.Add(workpieceClock.Milliseconds());
        }
        return true;
    }

    // F9 "Ende", until the workpiece is painted unless told not to wait.
    bool ToTheEnd(bool wait = true)
    {
        if (!ChooseRunTo("Ende"))
            return false;
        QKeyEvent event(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
        StartClocks();
        QApplication::sendEvent(panel.GetEditor(), &event);
        return !wait || WaitForWorkpiece() || Fail("the workpiece was never painted after F9 \"Ende\"");
    }

    enum { JUMP_NONE = -1, JUMP_TOOL_CHANGE, JUMP_END, JUMP_BACK, JUMP_NONE_TIMED };

private:
    struct CReached {
        int jump;
        std::size_t doneCount;
    };
    struct CJump {
        const char* name;
        CSpread inPanel;
        // The command itself, to the new word painted.
        CSpread command;
        CSpread alone;
    };

    // Before the path of a load is built the layer has nothing to show and
    // counts as up to date.
    bool IsWorkpieceShown() const { return window.GetPath() != nullptr && layer.IsUpToDate(); }

    void StartClocks()
    {
        started = Clock::now();
        editorClock.Start();
        workpieceClock.Start();
    }

    // A picture sent just before its sweep job has ended may be painted
    // while the layer still counts as busy: paint once more then.
    bool WaitForWorkpiece()
    {
        return SleepUntil([&]() {
            if (!workpieceClock.IsPainted() && IsWorkpieceShown())
                window.GetCanvas()->update();
            return workpieceClock.IsPainted();
        });
    }

    // A learner chooses a mode or looks at the picture before the next key:
    // what that repaints is not the key's.
    static void Settle()
    {
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(100);
        SleepUntil([&]() { return Clock::now() > until; });
    }

    void Note(int jump) { reached.push_back({jump, Done()}); }

    bool ChooseRunTo(const char* text)
    {
        auto* combo = qobject_cast<QComboBox*>(panel.GetDlgItem(IDC_RUN_TO_COMBO));
        if (combo == nullptr)
            return Fail("no run-to selector");
        const QString wanted = QString::fromLatin1(text);
        for (int press = 0; press < combo->count() && combo->currentText() != wanted; ++press)
            PressKey(combo, Qt::Key_Down);
        for (int press = 0; press < combo->count() && combo->currentText() != wanted; ++press)
            PressKey(combo, Qt::Key_Up);
        panel.GetEditor()->setFocus();
        QCoreApplication::processEvents();
        return combo->currentText() == wanted || Fail("a run-to mode cannot be chosen");
    }

    CControllerDlg& panel;
    CToolpathWindow& window;
    CWorkpieceLayer& layer;
    CPaintClock editorClock;
    CPaintClock workpieceClock;
    Clock::time_point started;
    std::vector<CReached> reached;
    CJump jumps[4] = {{"F9 \"Werkzeugwechsel\" (a jump of about 2000 moves)", {}, {}, {}},
                      {"F9 \"Ende\" from the middle", {}, {}, {}},
                      {"Shift+F10 back from the end to the middle", {}, {}, {}},
                      {"Shift+F10 back from the end to the last tool change", {}, {}, {}}};
};

constexpr double INSTANT_MILLISECONDS = 16.0;
constexpr double WAIT_MILLISECONDS = 50.0;
// Presses of each kind timed per program: enough to cross a depth of the
// pockets block by block and all of a program's depths.
constexpr int DENSE_STEPS = 40;

std::string WriteTemporary(const std::string& name, const std::string& text)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

bool UseDefaultTool(CToolpathWindow& window, double diameter)
{
    CWorkpieceSettings chosen = window.GetWorkpiece()->GetSettings();
    chosen.defaultTool.diameter = diameter;
    return window.GetWorkpiece()->ApplySettings(chosen) || Fail("the default tool was not taken");
}

bool MeasureDense(CControllerDlg& panel, CFixedFileChooser& chooser)
{
    CToolpathWindow* window = panel.GetToolpathWindow();
    if (window == nullptr || !window->isVisible())
        return Fail("the toolpath window is not open");
    const struct {
        const char* name;
        std::string text;
        double diameter;
    } PROGRAMS[] = {{"40 x 20 pocket at 6 depths", RectangularPocketProgram(), 6.0},
                    {"round pocket, 10 mm tool", RoundPocketProgram(), 10.0},
                    {"facing at 30 depths", FacingProgram(), 6.0}};
    std::vector<std::string> files;
    for (const auto& program : PROGRAMS) {
        files.push_back(WriteTemporary("tornavel-panel-bench-" + std::to_string(files.size()) + ".nc", program.text));
        chooser.SetPath(files.back());
        if (!UseDefaultTool(*window, program.diameter))
            return false;
        CWorkpieceRun run(panel, *window);
        if (!run.Load() || !run.ToTheEnd())
            return false;
        // Back over the whole program, then block by block and depth by
        // depth forwards and back, each until the workpiece is painted.
        CSpread whole;
        CSpread blocks;
        CSpread blocksBack;
        CSpread depths;
        CSpread depthsBack;
        if (!run.Press(1, Qt::Key_F10, Qt::ShiftModifier, nullptr, whole) ||
            !run.Press(DENSE_STEPS, Qt::Key_F9, Qt::NoModifier, "Satz", blocks) ||
            !run.Press(DENSE_STEPS, Qt::Key_F10, Qt::ShiftModifier, nullptr, blocksBack) ||
            !run.Press(DENSE_STEPS, Qt::Key_F9, Qt::NoModifier, "Z-Wert", depths) ||
            !run.Press(DENSE_STEPS, Qt::Key_F10, Qt::ShiftModifier, nullptr, depthsBack))
            return false;
        std::printf("%s, to the workpiece painted (target worst <= %.0f ms):\n", program.name, INSTANT_MILLISECONDS);
        std::printf("  Shift+F10 after F9 \"Ende\", back over the whole program: %s\n", whole.Text().c_str());
        std::printf("  F9 \"Satz\": %s; Shift+F10 back: %s\n", blocks.Text().c_str(), blocksBack.Text().c_str());
        std::printf("  F9 \"Z-Wert\": %s; Shift+F10 back: %s\n", depths.Text().c_str(), depthsBack.Text().c_str());
    }
    // A load and the panel's end while the helix is swept: how long the
    // panel's thread waits for the sweep to give up.
    files.push_back(WriteTemporary("tornavel-panel-bench-helix.nc", HelixProgram(2000)));
    chooser.SetPath(files.back());
    if (!UseDefaultTool(*window, 20.0))
        return false;
    auto* load = qobject_cast<QAbstractButton*>(panel.GetDlgItem(IDC_LOAD));
    if (load == nullptr)
        return Fail("no load button");
    CSpread reload;
    for (int attempt = 0; attempt < 5; ++attempt) {
        load->click();
        CWorkpieceRun run(panel, *window);
        if (!run.ToTheEnd(false))
            return false;
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(200 + 100 * attempt);
        SleepUntil([&]() { return Clock::now() > until; });
        const Clock::time_point start = Clock::now();
        load->click();
        reload.Add(MillisecondsSince(start));
    }
    std::printf("reload during the sweep of a 2000-turn helix, the panel's thread: %s (target worst <= %.0f ms)\n",
                reload.Text().c_str(), WAIT_MILLISECONDS);
    // The panel closed during a sweep ends the sweep too (timed by the
    // caller).
    CWorkpieceRun run(panel, *window);
    if (!run.ToTheEnd(false))
        return false;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(300);
    SleepUntil([&]() { return Clock::now() > until; });
    for (const std::string& file : files)
        std::filesystem::remove(file);
    return true;
}

// The process's resident memory now and at its peak so far, in MB, from
// the kernel's own count; zeros where there is none to read.
struct CResident {
    double now = 0.0;
    double peak = 0.0;
};

CResident ReadResident()
{
    CResident resident;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        const bool isNow = line.rfind("VmRSS:", 0) == 0;
        const bool isPeak = line.rfind("VmHWM:", 0) == 0;
        if (isNow || isPeak)
            (isNow ? resident.now : resident.peak) = std::atof(line.c_str() + 6) / 1024.0;
    }
    return resident;
}

void PrintResident(const char* when)
{
    const CResident resident = ReadResident();
    std::printf("memory %s: resident %.1f MB, peak %.1f MB\n", when, resident.now, resident.peak);
}

bool MeasureWorkpiece(CControllerDlg& panel)
{
    CToolpathWindow* window = panel.GetToolpathWindow();
    if (window == nullptr || !window->isVisible())
        return Fail("the toolpath window is not open");
    CWorkpieceRun run(panel, *window);
    if (!run.Load())
        return false;
    const std::size_t moves = window->GetPath()->GetCount();
    if (moves < 1000)
        return Fail("too few moves for the workpiece's figures");
    constexpr int SWEPT_STEPS = 20;
    constexpr int RUNNING_STEPS = 10;
    // The end: the last tool change before the last 2 percent of the moves.
    const bool swept = run.Steps("start", SWEPT_STEPS, true) && run.ToolChangesTo(moves / 2) &&
                       run.Steps("middle", SWEPT_STEPS, true) && run.SweepAgain() &&
                       run.Steps("middle", RUNNING_STEPS, false) &&
                       run.Jump(CWorkpieceRun::JUMP_END, Qt::Key_F9, Qt::NoModifier, "Ende") &&
                       run.Jump(CWorkpieceRun::JUMP_BACK, Qt::Key_F10, Qt::ShiftModifier, nullptr) &&
                       run.ToolChangesTo(moves - moves / 50) && run.BeforeTheEnd() &&
                       run.Steps("end", SWEPT_STEPS, true);
    if (!swept)
        return false;
    std::printf("the end: %zu of %zu moves done\n", run.Done(), moves);
    // Steps while the whole workpiece is cut again up to the cursor (in the
    // middle too, above).
    if (!run.SweepAgain() || !run.Steps("end", RUNNING_STEPS, false))
        return false;
    // Before the moves are swept alone, on a workpiece of the bench's own.
    PrintResident("after the steps, the panel's peak");
    run.SweepAlone();
    return true;
}

// F9 "Ende" from the middle alone, for its cost over the moves' own sweep
// and the panel's peak memory with the toolpath window open. The peak is
// read before the moves are swept alone, which takes a workpiece of its own
// in this process.
bool MeasureRunToEnd(CControllerDlg& panel)
{
    CToolpathWindow* window = panel.GetToolpathWindow();
    if (window == nullptr || !window->isVisible())
        return Fail("the toolpath window is not open");
    PrintResident("before the load");
    CWorkpieceRun run(panel, *window);
    if (!run.Load())
        return false;
    PrintResident("after the load, the workpiece painted");
    const std::size_t moves = window->GetPath()->GetCount();
    // The first tool change stands before the first move.
    if (!run.Jump(CWorkpieceRun::JUMP_TOOL_CHANGE, Qt::Key_F9, Qt::NoModifier, "Werkzeugwechsel") ||
        !run.ToolChangesTo(moves / 2))
        return false;
    PrintResident("in the middle");
    if (!run.Jump(CWorkpieceRun::JUMP_END, Qt::Key_F9, Qt::NoModifier, "Ende"))
        return false;
    PrintResident("at the end, the panel's peak");
    run.SweepAlone();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool dense = argc == 2 && std::strcmp(argv[1], "dense") == 0;
    const bool back = argc == 3 && std::strcmp(argv[1], "back") == 0;
    const bool workpiece = argc == 3 && std::strcmp(argv[1], "workpiece") == 0;
    const bool end = argc == 3 && std::strcmp(argv[1], "end") == 0;
    if (!dense && (argc != 3 || (std::strcmp(argv[1], "load") != 0 && std::strcmp(argv[1], "run") != 0 && !back &&
                                 !workpiece && !end))) {
        std::fprintf(stderr, "usage: tornavel-panel-bench load|run|back|workpiece|end FILE | dense\n");
        return RESULT_USAGE;
    }
    const bool run = back || std::strcmp(argv[1], "run") == 0;
    const std::string path = dense ? std::string() : argv[2];
    // As the panel's start-up does.
    ShareHeapAcrossThreads();
    QApplication application(argc, argv);
    CMemorySettings settings;
    CFixedFileChooser chooser(path);
    auto ownedPanel = std::make_unique<CControllerDlg>(&chooser, &settings);
    CControllerDlg& panel = *ownedPanel;
    panel.show();
    panel.activateWindow();
    if (!WaitUntil([&]() { return panel.windowHandle()->isExposed() && panel.isActiveWindow(); })) {
        Fail("the panel was never shown");
        return RESULT_FAILED;
    }
    if (workpiece)
        return MeasureWorkpiece(panel) ? RESULT_PASSED : RESULT_FAILED;
    if (end)
        return MeasureRunToEnd(panel) ? RESULT_PASSED : RESULT_FAILED;
    if (dense) {
        if (!MeasureDense(panel, chooser))
            return RESULT_FAILED;
        const Clock::time_point start = Clock::now();
        ownedPanel.reset();
        std::printf("closing the panel during the sweep, the panel's thread: %.1f ms (target <= %.0f ms)\n",
                    MillisecondsSince(start), WAIT_MILLISECONDS);
        return RESULT_PASSED;
    }
    CPaintWatch paints(panel.GetEditor()->viewport());
    if (!Load(panel, paints))
        return RESULT_FAILED;
    if (run && !RunToEnd(panel, paints))
        return RESULT_FAILED;
    if (back && !StepBack(panel, paints))
        return RESULT_FAILED;
    return RESULT_PASSED;
}
