// Times the toolpath table of one program: the load as check does it, then
// the table build, with the table's size. The fastest of RUNS builds counts,
// as other work on the machine only ever slows a run down.
// Usage: tornavel-toolpath-bench FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "cli_panel.h"
#include "cnc_program.h"
#include "path_builder.h"

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: tornavel-toolpath-bench FILE [RUNS]\n", stderr);
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 1;
    using Clock = std::chrono::steady_clock;
    CFixedFileChooser chooser(argv[1]);
    CMemorySettings settings;
    CCncProgram loader(nullptr, chooser, settings);
    const Clock::time_point loadStart = Clock::now();
    const int result = loader.Load(std::string());
    const Clock::time_point loadEnd = Clock::now();
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    const CPathBuilder builder(loader.GetWordList(), CPathBuilder::CountHeaderLines(loader.GetHeader()));
    CMoveTable table;
    CPathSummary summary;
    double fastest = 0.0;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point buildStart = Clock::now();
        summary = builder.BuildTable(table);
        const double elapsed = seconds(buildStart, Clock::now());
        fastest = run == 0 ? elapsed : std::min(fastest, elapsed);
    }
    const double moves = static_cast<double>(summary.moves);
    const double bytes = static_cast<double>(table.GetMemoryBytes());
    std::printf("load %d: %.3f s, %zu words\n", result, seconds(loadStart, loadEnd), loader.GetWordList().GetCount());
    std::printf("table: %.3f s, %zu moves, %zu arcs, %.0f bytes (%.2f a move)\n", fastest,
                summary.moves, summary.arcs, bytes, moves > 0 ? bytes / moves : 0.0);
    return 0;
}
