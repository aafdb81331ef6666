// Times the workpiece of one program: the default box at 1000 cells on its
// longer side and a flat 6 mm tool, the whole sweep, single steps forwards
// and back at the end and after jumps, and the bytes the grid and its history
// hold. The fastest of RUNS whole sweeps counts; RUNS 0 sweeps once and
// stops there, for a pass that measures the peak memory of a load and sweep.
// --dense: generated pockets, a face and a helix with the window's settings:
// how far back the steps are instant, every step's time, and how soon a
// cancel is honoured, each beside its target.
// Usage: tornavel-stock-bench FILE [RUNS] | tornavel-stock-bench --dense
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli_panel.h"
#include "cnc_program.h"
#include "generated_programs.h"
#include "path_builder.h"
#include "workpiece.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

struct Spread {
    std::vector<double> times;

    void Add(double seconds) { times.push_back(seconds); }
    void Print(const char* name)
    {
        if (times.empty())
            return;
        std::sort(times.begin(), times.end());
        std::printf("%s: %zu, median %.3f ms, 99%% %.3f ms, max %.3f ms\n", name, times.size(),
                    1000.0 * times[times.size() / 2], 1000.0 * times[times.size() * 99 / 100],
                    1000.0 * times.back());
    }
};

// Steps of one move from where the workpiece stands.
void Step(CWorkpiece& workpiece, int steps, int direction, Spread& spread)
{
    for (int step = 0; step < steps; ++step) {
        const std::size_t done = workpiece.GetDoneCount();
        if (direction < 0 && done == 0)
            return;
        const Clock::time_point start = Clock::now();
        workpiece.BringTo(direction < 0 ? done - 1 : done + 1);
        spread.Add(Seconds(start, Clock::now()));
    }
}

// A program loaded from its file as the CLI loads it, with its move table.
struct CLoadedProgram {
    explicit CLoadedProgram(const std::string& path)
        : chooser(path), loader(nullptr, chooser, settings), result(loader.Load(std::string()))
    {
        headerLines = CPathBuilder::CountHeaderLines(loader.GetHeader());
        CPathBuilder(loader.GetWordList(), headerLines).BuildTable(table);
    }
    const CWordList& Words() const { return loader.GetWordList(); }

    CFixedFileChooser chooser;
    CMemorySettings settings;
    CCncProgram loader;
    int result = 0;
    std::int64_t headerLines = 0;
    CMoveTable table;
};

// The window's settings: the fitted box at its default cell, the default
// history.
CWorkpiece::CSettings WindowSettings(const CLoadedProgram& program, const CToolTable& tools)
{
    CWorkpiece::CSettings stock;
    stock.box = CStockBox::FitToPath(program.table, program.Words(), tools);
    stock.cell = CHeightGrid::DefaultCell(stock.box);
    return stock;
}

std::string WriteTemporary(const std::string& text)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tornavel-stock-bench-" + std::to_string(std::rand()) + ".nc");
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

constexpr double INSTANT_MILLISECONDS = 16.0;
constexpr double CANCEL_MILLISECONDS = 50.0;

void MeasureDenseProgram(const char* name, const std::string& text, const CTool& tool)
{
    const std::string path = WriteTemporary(text);
    const CLoadedProgram program(path);
    std::filesystem::remove(path);
    CToolTable tools;
    tools.SetDefaultTool(tool);
    CWorkpiece workpiece(program.table, program.Words(), program.headerLines, tools, WindowSettings(program, tools));
    const std::size_t moves = program.table.GetCount();
    const Clock::time_point start = Clock::now();
    workpiece.BringTo(moves);
    const double sweep = Seconds(start, Clock::now());
    const std::size_t limit = workpiece.GetInstantBackLimit();
    Spread back;
    Spread forward;
    Step(workpiece, static_cast<int>(moves), -1, back);
    Step(workpiece, static_cast<int>(moves), 1, forward);
    std::printf("%s: %zu moves, whole sweep %.3f s, %.1f MB; instant back over moves %zu..%zu (target 0..%zu)\n",
                name, moves, sweep, static_cast<double>(workpiece.GetMemoryBytes()) / (1024.0 * 1024.0), limit,
                moves, moves);
    std::printf("  every step back to the start and forward again, the workpiece alone (target max <= %.0f ms):\n",
                INSTANT_MILLISECONDS);
    back.Print("  step back");
    forward.Print("  step forward");
    // F9 "Ende" and its step back, and the other way round; the log then
    // catches up while the learner looks, as the window has it do.
    Spread whole;
    workpiece.PrepareBack();
    const std::size_t targets[] = {moves, 0, moves, 0};
    for (const std::size_t target : targets) {
        const Clock::time_point started = Clock::now();
        workpiece.BringTo(target);
        whole.Add(Seconds(started, Clock::now()));
        workpiece.PrepareBack();
    }
    whole.Print("  jump over the whole program and back, twice");
}

// A sweep of the helix cancelled from another thread after each delay: the
// time from the cancel to BringTo's return.
void MeasureCancel(int turns)
{
    const std::string path = WriteTemporary(HelixProgram(turns));
    const CLoadedProgram program(path);
    std::filesystem::remove(path);
    CToolTable tools;
    tools.SetDefaultTool(CTool{TOOL_FLAT, 20.0});
    Spread latency;
    for (const int delay : {0, 50, 120, 300, 700, 1100}) {
        CWorkpiece workpiece(program.table, program.Words(), program.headerLines, tools,
                             WindowSettings(program, tools));
        std::atomic<bool> cancel(false);
        Clock::time_point cancelledAt;
        std::thread canceller([&]() {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            cancelledAt = Clock::now();
            cancel = true;
        });
        workpiece.BringTo(program.table.GetCount(), &cancel);
        const Clock::time_point returned = Clock::now();
        canceller.join();
        latency.Add(std::max(0.0, Seconds(cancelledAt, returned)));
    }
    std::sort(latency.times.begin(), latency.times.end());
    std::printf("cancel during a helix of %d turns (r 40, tool 20): max %.1f ms over %zu cancels (target <= %.0f ms)\n",
                turns, 1000.0 * latency.times.back(), latency.times.size(), CANCEL_MILLISECONDS);
}

int MeasureDense()
{
    MeasureDenseProgram("40 x 20 pocket at 6 depths", RectangularPocketProgram(), CTool{TOOL_FLAT, 6.0});
    MeasureDenseProgram("round pocket, 10 mm tool", RoundPocketProgram(), CTool{TOOL_FLAT, 10.0});
    MeasureDenseProgram("facing at 30 depths", FacingProgram(), CTool{TOOL_FLAT, 6.0});
    MeasureCancel(2000);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--dense") == 0)
        return MeasureDense();
    if (argc != 2 && argc != 3) {
        std::fputs("usage: tornavel-stock-bench FILE [RUNS] | tornavel-stock-bench --dense\n", stderr);
        return 2;
    }
    const int askedRuns = argc == 3 ? std::atoi(argv[2]) : 1;
    const int runs = std::max(1, askedRuns);
    const CLoadedProgram program(argv[1]);
    const CCncProgram& loader = program.loader;
    const int result = program.result;
    const std::int64_t headerLines = program.headerLines;
    const CMoveTable& table = program.table;
    const CToolTable tools;

    const Clock::time_point fitStart = Clock::now();
    CWorkpiece::CSettings stock;
    stock.box = CStockBox::FitToPath(table, loader.GetWordList(), tools);
    stock.cell = CHeightGrid::DefaultCell(stock.box);
    const double fitSeconds = Seconds(fitStart, Clock::now());

    std::vector<double> sweeps;
    std::size_t memory = 0;
    std::size_t rapidCuts = 0;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        CWorkpiece workpiece(table, loader.GetWordList(), headerLines, tools, stock);
        workpiece.BringTo(table.GetCount());
        sweeps.push_back(Seconds(start, Clock::now()));
        memory = workpiece.GetMemoryBytes();
        rapidCuts = workpiece.GetRapidCuts().size();
    }
    std::sort(sweeps.begin(), sweeps.end());
    std::printf("load %d: %zu moves; box %.3f s: %.1f x %.1f x %.1f, cell %.4f\n", result, table.GetCount(),
                fitSeconds, stock.box.x1 - stock.box.x0, stock.box.y1 - stock.box.y0, stock.box.z1 - stock.box.z0,
                stock.cell);
    std::printf("whole sweep: fastest %.3f s, median %.3f s, slowest %.3f s over %d runs; %zu rapid cuts\n",
                sweeps.front(), sweeps[sweeps.size() / 2], sweeps.back(), runs, rapidCuts);

    if (askedRuns == 0)
        return 0;
    CWorkpiece workpiece(table, loader.GetWordList(), headerLines, tools, stock);
    workpiece.BringTo(table.GetCount());
    std::printf("grid and history: %.1f MB; the undo log holds the last %zu moves\n",
                static_cast<double>(memory) / (1024.0 * 1024.0), table.GetCount() - workpiece.GetInstantBackLimit());
    Spread back;
    Spread forward;
    Spread jumps;
    Step(workpiece, 2000, -1, back);
    Step(workpiece, 2000, 1, forward);
    // Jumps anywhere, each followed by steps back and forth as a learner
    // takes them, crossing where the undo log begins.
    std::mt19937 random(17);
    std::uniform_int_distribution<std::size_t> anywhere(0, table.GetCount());
    for (int jump = 0; jump < 10; ++jump) {
        const Clock::time_point start = Clock::now();
        workpiece.BringTo(anywhere(random));
        jumps.Add(Seconds(start, Clock::now()));
        Step(workpiece, 500, -1, back);
        Step(workpiece, 100, 1, forward);
    }
    // The slow case of a step back: past where the undo log begins, swept
    // again from a snapshot, after which the steps are instant again.
    Spread pastLog;
    Spread pastPrepared;
    for (int jump = 0; jump < 5; ++jump) {
        workpiece.BringTo(anywhere(random));
        const std::size_t limit = workpiece.GetInstantBackLimit();
        if (limit == 0)
            continue;
        workpiece.BringTo(limit);
        Step(workpiece, 1, -1, pastLog);
        Step(workpiece, 20, -1, back);
    }
    // The same once the log has been prepared backwards, as the window does
    // on its worker while the learner looks at the jump's picture.
    Spread prepare;
    for (int jump = 0; jump < 5; ++jump) {
        workpiece.BringTo(anywhere(random));
        const std::size_t limit = workpiece.GetInstantBackLimit();
        if (limit == 0)
            continue;
        workpiece.BringTo(limit);
        const Clock::time_point start = Clock::now();
        while (workpiece.PrepareBack()) {
        }
        prepare.Add(Seconds(start, Clock::now()));
        Step(workpiece, 1, -1, pastPrepared);
        Step(workpiece, 20, -1, back);
    }
    const Clock::time_point endStart = Clock::now();
    workpiece.BringTo(0);
    workpiece.BringTo(table.GetCount());
    std::printf("to the start and back to the end: %.3f s\n", Seconds(endStart, Clock::now()));
    back.Print("step back");
    forward.Print("step forward");
    jumps.Print("jump anywhere");
    pastLog.Print("step back past the undo log");
    prepare.Print("preparing the log before a jump (on the worker)");
    pastPrepared.Print("step back past the jump's log once prepared (target <= 16 ms)");
    std::printf("grid and history after the steps: %.1f MB\n",
                static_cast<double>(workpiece.GetMemoryBytes()) / (1024.0 * 1024.0));
    return 0;
}
