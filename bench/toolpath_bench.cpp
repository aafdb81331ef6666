// Times the toolpath table of one program: the load as check does it, then
// the table build, with the table's size. Usage: tornavel-toolpath-bench FILE
#include <chrono>
#include <cstdio>

#include "cli_panel.h"
#include "cnc_program.h"
#include "path_builder.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: tornavel-toolpath-bench FILE\n", stderr);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    CFixedFileChooser chooser(argv[1]);
    CMemorySettings settings;
    CCncProgram loader(nullptr, chooser, settings);
    const Clock::time_point loadStart = Clock::now();
    const int result = loader.Load(std::string());
    const Clock::time_point buildStart = Clock::now();
    CMoveTable table;
    const CPathBuilder builder(loader.GetWordList(), CPathBuilder::CountHeaderLines(loader.GetHeader()));
    const CPathSummary summary = builder.BuildTable(table);
    const Clock::time_point buildEnd = Clock::now();
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    const double moves = static_cast<double>(summary.moves);
    const double bytes = static_cast<double>(table.GetMemoryBytes());
    std::printf("load %d: %.3f s, %zu words\n", result, seconds(loadStart, buildStart), loader.GetWordList().GetCount());
    std::printf("table: %.3f s, %zu moves, %zu arcs, %.0f bytes (%.2f a move)\n", seconds(buildStart, buildEnd),
                summary.moves, summary.arcs, bytes, moves > 0 ? bytes / moves : 0.0);
    return 0;
}
