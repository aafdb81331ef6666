// Times the toolpath table of one program: the load as check does it, then
// the table build, with the table's size; and the same build with the C
// library's sine, cosine, arc tangent and hypotenuse in place of the
// portable ones, run by turns with it, with the ratio of the two. The
// fastest of RUNS builds of each counts, as other work on the machine only
// ever slows a run down.
// Usage: tornavel-toolpath-bench FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "c_library_path.h"
#include "cli_panel.h"
#include "cnc_program.h"
#include "path_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Only the way the functions round may differ: the same moves and arcs.
bool SameShape(const CPathSummary& own, const CPathSummary& other, const CMoveTable& ownTable,
               const CMoveTable& otherTable)
{
    return own.moves == other.moves && own.arcs == other.arcs && ownTable.GetCount() == otherTable.GetCount() &&
           ownTable.GetArcs().size() == otherTable.GetArcs().size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: tornavel-toolpath-bench FILE [RUNS]\n", stderr);
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 1;
    CFixedFileChooser chooser(argv[1]);
    CMemorySettings settings;
    CCncProgram loader(nullptr, chooser, settings);
    const Clock::time_point loadStart = Clock::now();
    const int result = loader.Load(std::string());
    const Clock::time_point loadEnd = Clock::now();
    const std::int64_t headerLines = CPathBuilder::CountHeaderLines(loader.GetHeader());
    const CPathBuilder builder(loader.GetWordList(), headerLines);
    CMoveTable table;
    CMoveTable libraryTable;
    CPathSummary summary;
    CPathSummary librarySummary;
    double fastest = 0.0;
    double libraryFastest = 0.0;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point buildStart = Clock::now();
        summary = builder.BuildTable(table);
        const double elapsed = Seconds(buildStart, Clock::now());
        fastest = run == 0 ? elapsed : std::min(fastest, elapsed);
        const Clock::time_point libraryStart = Clock::now();
        librarySummary = BuildTableWithCLibraryMath(loader.GetWordList(), headerLines, libraryTable);
        const double libraryElapsed = Seconds(libraryStart, Clock::now());
        libraryFastest = run == 0 ? libraryElapsed : std::min(libraryFastest, libraryElapsed);
    }
    const double moves = static_cast<double>(summary.moves);
    const double bytes = static_cast<double>(table.GetMemoryBytes());
    std::printf("load %d: %.3f s, %zu words\n", result, Seconds(loadStart, loadEnd), loader.GetWordList().GetCount());
    std::printf("table: %.3f s, %zu moves, %zu arcs, %.0f bytes (%.2f a move)\n", fastest, summary.moves,
                summary.arcs, bytes, moves > 0 ? bytes / moves : 0.0);
    std::printf("table with the C library's functions: %.3f s; portable / C library: %.2f (target 1.2)\n",
                libraryFastest, libraryFastest > 0.0 ? fastest / libraryFastest : 0.0);
    if (!SameShape(summary, librarySummary, table, libraryTable)) {
        std::fputs("the two builds made different tables\n", stderr);
        return 1;
    }
    return 0;
}
