// The comparison with a reference in the real toolpath window, offscreen:
//   tornavel-compare-bench FILE
// loads FILE as the learner's program until its workpiece is painted, then
//   - switches the comparison on with a small reference that states the
//     learner's box, timed from the start until the colours are painted,
//     beside the reference's own load, cut path and sweep done alone;
//   - presses F10 and Shift+F10 with the comparison on and off, each timed
//     from the new workpiece's arrival on the window's thread until the
//     picture is painted (the comparison compares only the rows the step
//     changed), each beside its target.
// Settings stay in memory. Prints its figures on stdout; exits 1 when a check
// fails, 2 on wrong arguments.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

#include <time.h>

#include "cli_panel.h"
#include "cnc_edit_box_ctrl.h"
#include "cnc_program.h"
#include "comparison_layer.h"
#include "control_ids.h"
#include "controller_dlg.h"
#include "cut_path.h"
#include "event_loop_wait.h"
#include "path_builder.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "workpiece.h"
#include "workpiece_layer.h"

namespace {

constexpr int RESULT_PASSED = 0;
constexpr int RESULT_FAILED = 1;
constexpr int RESULT_USAGE = 2;
constexpr std::chrono::seconds PATIENCE(600);
constexpr double STEP_TARGET_MS = 16.0;
constexpr double SWITCH_ON_TARGET_MS = 200.0;
constexpr int STEPS = 40;

using Clock = std::chrono::steady_clock;

// The window's thread's own processor time: on a shared machine the wall
// time also holds the time others had the cores.
double ThreadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Fail(const char* what)
{
    std::fprintf(stderr, "tornavel-compare-bench: %s\n", what);
    return false;
}

bool SleepUntil(const std::function<bool()>& done) { return SleepInEventLoopUntil(done, PATIENCE); }

// Notes when a queued call reaches the workpiece layer: the new material
// arriving from its sweep thread.
class CArrivalWatch : public QObject {
public:
    // first: keep the first call's time, not the last's.
    explicit CArrivalWatch(QObject* layer, bool first = false) : keepFirst(first) { layer->installEventFilter(this); }
    Clock::time_point arrived;
    double arrivedWork = 0.0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall && !(keepFirst && arrived != Clock::time_point())) {
            arrived = Clock::now();
            arrivedWork = ThreadMilliseconds();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const bool keepFirst;
};

struct CSpread {
    std::vector<double> samples;
    std::vector<double> work;

    std::string Text(double target)
    {
        if (samples.empty())
            return "-";
        std::sort(samples.begin(), samples.end());
        std::sort(work.begin(), work.end());
        const double median = samples[samples.size() / 2];
        char text[240];
        std::snprintf(text, sizeof text,
                      "wall median %.2f, worst %.2f ms; the window's thread's own time median %.2f, worst %.2f ms "
                      "(%zu steps; target %.0f ms, worst own time / target %.2f)",
                      median, samples.back(), work[work.size() / 2], work.back(), samples.size(), target,
                      work.back() / target);
        return text;
    }
};

// F10 presses, then as many Shift+F10: each from the material's arrival
// until the picture with it is painted.
bool Steps(CControllerDlg& panel, CToolpathWindow& window, CSpread& forward, CSpread& back)
{
    CWorkpieceLayer& layer = *window.GetWorkpiece();
    CArrivalWatch watch(&layer);
    Clock::time_point handled;
    const QMetaObject::Connection connection =
        QObject::connect(&layer, &CWorkpieceLayer::InfoChanged, &watch, [&]() { handled = Clock::now(); });
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        for (int press = 0; press < STEPS; ++press) {
            watch.arrived = Clock::time_point();
            QKeyEvent event(QEvent::KeyPress, Qt::Key_F10, modifiers);
            QApplication::sendEvent(panel.GetEditor(), &event);
            if (!SleepUntil([&]() { return layer.IsUpToDate(); }))
                return Fail("the workpiece never caught up with a step");
            if (watch.arrived == Clock::time_point())
                continue;
            // The comparison has compared and drawn its rows by now (it
            // listens first); the paint that shows them, at once.
            window.GetCanvas()->repaint();
            const double milliseconds =
                std::chrono::duration<double, std::milli>(Clock::now() - watch.arrived).count();
            CSpread& spread = modifiers == Qt::NoModifier ? forward : back;
            spread.samples.push_back(milliseconds);
            spread.work.push_back(ThreadMilliseconds() - watch.arrivedWork);
        }
    }
    QObject::disconnect(connection);
    return true;
}

// The reference's load, cut path and sweep in the learner's box, as the
// comparison does them on its thread.
double ReferenceAlone(const std::string& file, const CWorkpiece::CSettings& cut, const CToolTable& tools)
{
    const Clock::time_point start = Clock::now();
    CFixedFileChooser chooser(file);
    CMemorySettings settings;
    CCncProgram loader(nullptr, chooser, settings);
    if (loader.Load(std::string()) != CCncProgram::RESULT_OK)
        return -1.0;
    const std::int64_t headerLines = CPathBuilder::CountHeaderLines(loader.GetHeader());
    CMoveTable table;
    CCutPathBuilder(loader.GetWordList(), headerLines, tools).BuildTable(table);
    CWorkpiece part(table, loader.GetWordList(), headerLines, tools, cut);
    part.BringTo(table.GetCount());
    return MillisecondsSince(start);
}

std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

bool Measure(CControllerDlg& panel)
{
    CToolpathWindow* window = panel.GetToolpathWindow();
    if (window == nullptr || !window->isVisible())
        return Fail("the toolpath window is not open");
    auto* load = qobject_cast<QAbstractButton*>(panel.GetDlgItem(IDC_LOAD));
    if (load == nullptr)
        return Fail("no load button");
    load->click();
    CWorkpieceLayer& layer = *window->GetWorkpiece();
    // The window's own work after a load (the path's picture, the hints'
    // sweep) ends first: it is not the comparison's.
    if (!SleepUntil([&]() {
            return layer.GetShownGrid() != nullptr && layer.IsUpToDate() && window->IsPictureReady() &&
                   !window->IsFindingHints();
        }))
        return Fail("the workpiece was never painted after the load");
    const CHeightGrid& learner = *layer.GetShownGrid();
    const CStockBox box = learner.GetBox();
    std::printf("learner: %zu moves, %zu x %zu cells\n", window->GetPath()->GetCount(), learner.GetColumns(),
                learner.GetRows());

    // A pocket in the learner's box, which it states, so that the boxes meet.
    const std::string reference = (std::filesystem::temp_directory_path() / "tornavel-compare-bench.nc").string();
    {
        std::ofstream out(reference, std::ios::binary);
        const double x = (box.x0 + box.x1) / 2;
        const double y = (box.y0 + box.y1) / 2;
        out << "%\r\n(ROHTEIL X" << Number(box.x0) << " Y" << Number(box.y0) << " Z" << Number(box.z0) << " X"
            << Number(box.x1) << " Y" << Number(box.y1) << " Z" << Number(box.z1) << ")\r\n"
            << "G0 X" << x << " Y" << y << " Z5\r\nG1 Z-1 F100\r\n";
        for (int row = -10; row <= 10; ++row)
            out << "G1 X" << x + (row % 2 == 0 ? 20 : -20) << " Y" << y + row << "\r\n";
        out << "G0 Z5\r\nM30\r\n";
    }
    CComparisonLayer& comparison = *window->GetComparison();
    CArrivalWatch cutArrival(&comparison, true);
    const Clock::time_point start = Clock::now();
    const double startWork = ThreadMilliseconds();
    if (!comparison.Start(QString::fromStdString(reference)))
        return Fail("the comparison did not start");
    const double returned = MillisecondsSince(start);
    if (!SleepUntil([&]() { return !comparison.IsCutting(); }) || !comparison.IsOn())
        return Fail(qPrintable(comparison.GetMessage()));
    window->GetCanvas()->repaint();
    const double switchedOn = MillisecondsSince(start);
    const double switchedOnWork = ThreadMilliseconds() - startWork;
    const double afterArrival =
        std::chrono::duration<double, std::milli>(Clock::now() - cutArrival.arrived).count();
    const double afterArrivalWork = ThreadMilliseconds() - cutArrival.arrivedWork;
    if (!SleepUntil([&]() { return !comparison.IsSearching(); }))
        return Fail("the first move too deep was never found");
    const double searched = MillisecondsSince(start);
    CWorkpiece::CSettings cut;
    cut.box = box;
    cut.cell = learner.GetCell();
    const double alone = ReferenceAlone(reference, cut, layer.MakeToolTable());
    std::printf("switching on: the window's thread's own time from Start to the colours painted %.1f ms (target "
                "%.0f ms, ratio %.2f)\n",
                switchedOnWork, SWITCH_ON_TARGET_MS, switchedOnWork / SWITCH_ON_TARGET_MS);
    std::printf("switching on: Start returned after %.2f ms; colours painted after %.1f ms; the reference's own "
                "load, cut path and sweep alone %.1f ms; over it %.1f ms (target %.0f ms, ratio %.2f); on the "
                "window's thread from the cut part's arrival to the colours painted %.1f ms wall, %.1f ms its own time "
                "(ratio %.2f); the "
                "learner's first move too deep found after %.0f ms, off the window's thread\n",
                returned, switchedOn, alone, switchedOn - alone, SWITCH_ON_TARGET_MS,
                (switchedOn - alone) / SWITCH_ON_TARGET_MS, afterArrival, afterArrivalWork, afterArrivalWork / SWITCH_ON_TARGET_MS,
                searched);

    CSpread onForward, onBack, offForward, offBack;
    if (!Steps(panel, *window, onForward, onBack))
        return false;
    comparison.Stop();
    if (!Steps(panel, *window, offForward, offBack))
        return false;
    std::printf("step to the comparison painted, F10: %s\n", onForward.Text(STEP_TARGET_MS).c_str());
    std::printf("step to the comparison painted, Shift+F10: %s\n", onBack.Text(STEP_TARGET_MS).c_str());
    std::printf("the same without the comparison, F10: %s\n", offForward.Text(STEP_TARGET_MS).c_str());
    std::printf("the same without the comparison, Shift+F10: %s\n", offBack.Text(STEP_TARGET_MS).c_str());
    std::filesystem::remove(reference);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tornavel-compare-bench FILE\n");
        return RESULT_USAGE;
    }
    QApplication application(argc, argv);
    CMemorySettings settings;
    CFixedFileChooser chooser(argv[1]);
    auto panel = std::make_unique<CControllerDlg>(&chooser, &settings);
    panel->show();
    panel->activateWindow();
    if (!SleepUntil([&]() { return panel->windowHandle()->isExposed() && panel->isActiveWindow(); }))
        return Fail("the panel was never shown") ? RESULT_PASSED : RESULT_FAILED;
    return Measure(*panel) ? RESULT_PASSED : RESULT_FAILED;
}
