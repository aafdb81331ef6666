// Times the cut path against the path of the same programs, side by side in
// one run: each program is loaded once, then the path table and the cut path
// table are built in turn RUNS times; the fastest of each counts, as other
// work on the machine only ever slows a run down. A program without words of
// compensation or cycles shows what NeedsCut costs over the path.
// Usage: tornavel-cut-bench RUNS FILE...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli_panel.h"
#include "cnc_program.h"
#include "cut_path.h"
#include "path_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: tornavel-cut-bench RUNS FILE...\n", stderr);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    CToolTable tools;
    tools.SetTool(1, CTool{TOOL_FLAT, 4.0});
    for (int file = 2; file < argc; ++file) {
        CFixedFileChooser chooser(argv[file]);
        CMemorySettings settings;
        CCncProgram loader(nullptr, chooser, settings);
        const int result = loader.Load(std::string());
        const CWordList& words = loader.GetWordList();
        const std::int64_t headerLines = CPathBuilder::CountHeaderLines(loader.GetHeader());
        double pathFastest = 0.0;
        double cutFastest = 0.0;
        CPathSummary path;
        CCutSummary cut;
        for (int run = 0; run < runs; ++run) {
            {
                CMoveTable table;
                const Clock::time_point start = Clock::now();
                path = CPathBuilder(words, headerLines).BuildTable(table);
                const double elapsed = SecondsSince(start);
                pathFastest = run == 0 ? elapsed : std::min(pathFastest, elapsed);
            }
            {
                CMoveTable table;
                CCutNotes notes;
                const Clock::time_point start = Clock::now();
                cut = CCutPathBuilder(words, headerLines, tools).BuildTable(table, nullptr, SIZE_MAX, &notes);
                const double elapsed = SecondsSince(start);
                cutFastest = run == 0 ? elapsed : std::min(cutFastest, elapsed);
            }
        }
        std::printf("%s (load %d, %zu words, needs cut: %s)\n", argv[file], result, words.GetCount(),
                    CCutPathBuilder::NeedsCut(words) ? "yes" : "no");
        std::printf("  path     %.3f s, %zu moves, %zu arcs\n", pathFastest, path.moves, path.arcs);
        std::printf("  cut path %.3f s, %zu moves, %zu arcs%s%s\n", cutFastest, cut.path.moves, cut.path.arcs,
                    cut.hasError ? ", cut error: " : "", cut.hasError ? cut.error.message.c_str() : "");
        std::printf("  cut / path: %.3f\n", pathFastest > 0.0 ? cutFastest / pathFastest : 0.0);
    }
    return 0;
}
