// Times the toolpath window on one program, offscreen, with its picture area
// at a given size (1280 x 800 unless told):
//   build         the path table and the raster's chunk boxes, on their own
//   raster        the whole path fitted, drawn on one thread and on two
//   first picture from the load's notification to the first full picture
//   fit, zoom 16x from the request to the sharp picture
//   F10, F9       from the command to the recoloured window painted, and the
//                 window's own part of it
//   reload        a small program loaded while the big one's path builds:
//                 from the load to its full picture
//   memory        the path's bytes against the file's
// Usage: tornavel-path-bench FILE [WIDTH HEIGHT]. Exits 1 when a step fails.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QColor>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>

#include "cli_panel.h"
#include "event_loop_wait.h"
#include "cnc_program.h"
#include "headless_view.h"
#include "move_id_image.h"
#include "machine_state.h"
#include "path_builder.h"
#include "path_raster.h"
#include "path_recolour.h"
#include "path_view.h"
#include "program_cursor.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"

namespace {

constexpr int RESULT_PASSED = 0;
constexpr int RESULT_FAILED = 1;
constexpr int RESULT_USAGE = 2;
constexpr std::chrono::seconds PATIENCE(300);
constexpr int STEP_SAMPLES = 200;
constexpr int RASTER_RUNS = 5;

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool WaitUntil(const std::function<bool()>& done) { return SleepInEventLoopUntil(done, PATIENCE); }

int Fail(const char* what)
{
    std::fprintf(stderr, "tornavel-path-bench: %s\n", what);
    return RESULT_FAILED;
}

int CountDrawn(CToolpathCanvas& canvas)
{
    const QImage picture = canvas.grab().toImage();
    const QRgb ground = QColor::fromRgb(DefaultPathPalette().background).rgb();
    int drawn = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            drawn += picture.pixel(x, y) != ground;
    return drawn;
}

struct Percentiles {
    double median;
    double worst;
};

Percentiles Summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: tornavel-path-bench FILE [WIDTH HEIGHT]\n");
        return RESULT_USAGE;
    }
    const std::string path = argv[1];
    int width = argc == 4 ? std::atoi(argv[2]) : 1280;
    int height = argc == 4 ? std::atoi(argv[3]) : 800;
    QApplication application(argc, argv);

    CCliPanel panel;
    CHeadlessView view(&panel);
    CFixedFileChooser chooser(path);
    CMemorySettings settings;
    CCncProgram loader(&view, chooser, settings);
    CMachineState state(&panel);
    CProgramCursor cursor(loader, state, &view, panel);

    Clock::time_point start = Clock::now();
    cursor.OnLoad();
    std::printf("load (the panel's, for reference): %.0f ms\n", MillisecondsSince(start));
    if (cursor.GetLastLoadResult() != CCncProgram::RESULT_OK)
        return Fail("the program did not load");

    // The table on its own, as the window's build job makes it.
    start = Clock::now();
    CMoveTable table;
    CPathBuilder(loader.GetWordList(), 0).BuildTable(table);
    const double buildTable = MillisecondsSince(start);
    start = Clock::now();
    const CPathRaster raster(table);
    const double buildChunks = MillisecondsSince(start);
    const double fileBytes = static_cast<double>(QFileInfo(QString::fromLocal8Bit(path.c_str())).size());
    std::printf("build: %.0f ms table + %.0f ms chunk boxes; %zu moves, %zu arcs\n", buildTable, buildChunks,
                table.GetCount(), table.GetArcs().size());
    std::printf("path memory: %.1f MB = %.2f x file (%.1f MB)\n", table.GetMemoryBytes() / 1e6,
                table.GetMemoryBytes() / fileBytes, fileBytes / 1e6);

    // The raster alone on the whole path fitted to the picture area, on one
    // thread and on two, the fastest of a few runs each.
    CMovePoint low;
    CMovePoint high;
    if (table.GetBounds(low, high)) {
        CPathView fitted;
        fitted.Fit(low, high, width, height, CPathView::FIT_MARGIN);
        CMoveIdImage ids;
        ids.Resize(width, height);
        double fastest[2] = {0.0, 0.0};
        for (int run = 0; run < RASTER_RUNS; ++run) {
            for (unsigned threads = 1; threads <= 2; ++threads) {
                const Clock::time_point drawStart = Clock::now();
                raster.DrawOnThreads(fitted, ids, threads);
                const double elapsed = MillisecondsSince(drawStart);
                double& best = fastest[threads - 1];
                best = run == 0 ? elapsed : std::min(best, elapsed);
            }
        }
        std::printf("raster of the fitted path: %.0f ms on one thread, %.0f ms on two (fastest of %d)\n",
                    fastest[0], fastest[1], RASTER_RUNS);
    }

    QWidget panelWidget;
    CToolpathWindow window(settings, &panelWidget, &view);
    window.show();
    CToolpathCanvas* canvas = window.GetCanvas();
    WaitUntil([&]() { return canvas->isVisible(); });
    window.resize(window.size() + QSize(width, height) - canvas->size());
    // The window's other parts may hold the picture area to another size:
    // the figures are then for the size it takes.
    const auto sizeDeadline = Clock::now() + std::chrono::seconds(5);
    SleepInEventLoopUntil([&]() { return canvas->size() == QSize(width, height) || Clock::now() > sizeDeadline; },
                          PATIENCE);
    width = canvas->width();
    height = canvas->height();

    start = Clock::now();
    window.OnStepped(STEP_LOAD, cursor, state);
    if (!WaitUntil([&]() { return window.IsPictureReady(); }))
        return Fail("no picture after the load");
    std::printf("first full picture after the load: %.0f ms (%d x %d)\n", MillisecondsSince(start), width, height);

    canvas->ZoomAbout(QPointF(width / 3.0, height / 3.0), 3.0);
    WaitUntil([&]() { return window.IsPictureReady(); });
    start = Clock::now();
    canvas->Fit();
    if (!WaitUntil([&]() { return window.IsPictureReady(); }))
        return Fail("no picture after fitting");
    std::printf("sharp picture after fit: %.0f ms\n", MillisecondsSince(start));

    // About a point on the path, so that the zoomed picture is not empty.
    const QPointF onPath = canvas->MapToCanvas(table.GetEnd(table.GetCount() / 2));
    start = Clock::now();
    canvas->ZoomAbout(onPath, 16.0);
    if (!WaitUntil([&]() { return window.IsPictureReady(); }))
        return Fail("no picture after zooming");
    std::printf("sharp picture after zoom 16x: %.0f ms (%d of %d pixels drawn)\n", MillisecondsSince(start),
                CountDrawn(*canvas), width * height);
    canvas->Fit();
    WaitUntil([&]() { return window.IsPictureReady(); });

    // F10: the command, the notification and the window painted at once.
    std::vector<double> whole;
    std::vector<double> windowPart;
    for (int sample = 0; sample < STEP_SAMPLES; ++sample) {
        const Clock::time_point command = Clock::now();
        cursor.OnNextWord();
        const Clock::time_point told = Clock::now();
        window.OnStepped(STEP_NEXT_WORD, cursor, state);
        canvas->repaint();
        whole.push_back(MillisecondsSince(command));
        windowPart.push_back(MillisecondsSince(told));
    }
    const Percentiles stepWhole = Summarise(whole);
    const Percentiles stepWindow = Summarise(windowPart);
    std::printf("F10 to the new state shown: median %.2f ms, worst %.2f ms (window part: median %.2f, worst %.2f)\n",
                stepWhole.median, stepWhole.worst, stepWindow.median, stepWindow.worst);

    // F9 to the end of the block, then to the end of the program.
    for (const RunToMode mode : {RUNTO_BLOCK_END, RUNTO_END}) {
        panel.SetRunToSelection(mode);
        cursor.OnRunToModeChanged();
        const Clock::time_point command = Clock::now();
        cursor.OnRunTo();
        const Clock::time_point told = Clock::now();
        window.OnStepped(STEP_RUN_TO, cursor, state);
        canvas->repaint();
        std::printf("F9 %s to the new state shown: %.1f ms (window part %.2f ms)\n",
                    mode == RUNTO_END ? "\"Ende\"" : "\"Satz\"", MillisecondsSince(command), MillisecondsSince(told));
    }

    // A learner who opened the wrong program loads another at once: the
    // big path's build must give way.
    QTemporaryFile small;
    if (!small.open() || small.write("G0 X0 Y0 Z5\r\nG1 Z-1\r\nG2 X10 Y0 I5\r\n") < 0)
        return Fail("no small program to load");
    small.close();
    // As the panel does before every load: the window's jobs let go of the
    // old words first.
    window.OnProgramChanging();
    cursor.OnLoad();
    window.OnStepped(STEP_LOAD, cursor, state);
    WaitUntil([&]() { return window.IsBuilding(); });
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    const bool wasBuilding = window.IsBuilding();
    start = Clock::now();
    window.OnProgramChanging();
    const double stopBuild = MillisecondsSince(start);
    chooser.SetPath(small.fileName().toStdString());
    cursor.OnLoad();
    const double loaded = MillisecondsSince(start);
    window.OnStepped(STEP_LOAD, cursor, state);
    if (!WaitUntil([&]() { return window.IsPictureReady(); }))
        return Fail("no picture after the reload");
    std::printf("reload of a small program while the path builds%s: %.1f ms to its full picture (%.1f ms to stop "
                "the build, %.1f ms to the end of the load)\n",
                wasBuilding ? "" : " (the build had ended)", MillisecondsSince(start), stopBuild, loaded);
    return RESULT_PASSED;
}
