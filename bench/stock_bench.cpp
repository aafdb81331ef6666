// Times the workpiece of one program: the default box at 1000 cells on its
// longer side and a flat 6 mm tool, the whole sweep, single steps forwards
// and back at the end and after jumps, and the bytes the grid and its history
// hold. The fastest of RUNS whole sweeps counts; RUNS 0 sweeps once and
// stops there, for a pass that measures the peak memory of a load and sweep.
// Usage: tornavel-stock-bench FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "cli_panel.h"
#include "cnc_program.h"
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: tornavel-stock-bench FILE [RUNS]\n", stderr);
        return 2;
    }
    const int askedRuns = argc == 3 ? std::atoi(argv[2]) : 1;
    const int runs = std::max(1, askedRuns);
    CFixedFileChooser chooser(argv[1]);
    CMemorySettings settings;
    CCncProgram loader(nullptr, chooser, settings);
    const int result = loader.Load(std::string());
    const std::int64_t headerLines = CPathBuilder::CountHeaderLines(loader.GetHeader());
    CMoveTable table;
    CPathBuilder(loader.GetWordList(), headerLines).BuildTable(table);
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
    for (int jump = 0; jump < 5; ++jump) {
        workpiece.BringTo(anywhere(random));
        const std::size_t limit = workpiece.GetInstantBackLimit();
        if (limit == 0)
            continue;
        workpiece.BringTo(limit);
        Step(workpiece, 1, -1, pastLog);
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
    std::printf("grid and history after the steps: %.1f MB\n",
                static_cast<double>(workpiece.GetMemoryBytes()) / (1024.0 * 1024.0));
    return 0;
}
