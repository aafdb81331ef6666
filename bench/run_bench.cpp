// Times F9 inside the process, apart from the load: the program is loaded
// once through the headless panel, then each run resets to the first word
// and presses F9 in the chosen mode until the program's end, as a user
// holding F9 does. The fastest of RUNS runs counts, as other work on the
// machine only ever slows a run down; the machine state carries over from
// run to run, which changes nothing of the work done.
// Usage: tornavel-run-bench FILE MODE [RUNS]
//   MODE: Satz, Werkzeugwechsel, Z-Wert or Ende, or their digits 0 to 3
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "headless_panel.h"
#include "run_to_mode.h"

namespace {

const RunToModeRow* FindMode(const std::string& name)
{
    if (name.size() == 1)
        return FindRunToModeByDigit(name[0]);
    for (std::size_t index = 0; index < RunToModeCount(); ++index) {
        const RunToModeRow* row = FindRunToMode(static_cast<int>(index));
        if (name == row->comboText)
            return row;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    const RunToModeRow* mode = argc >= 3 ? FindMode(argv[2]) : nullptr;
    if ((argc != 3 && argc != 4) || mode == nullptr) {
        std::fputs("usage: tornavel-run-bench FILE Satz|Werkzeugwechsel|Z-Wert|Ende [RUNS]\n", stderr);
        return 2;
    }
    const int runs = argc == 4 ? std::max(1, std::atoi(argv[3])) : 1;
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };

    CHeadlessPanel headless(argv[1]);
    CProgramCursor& cursor = headless.cursor;
    const Clock::time_point loadStart = Clock::now();
    cursor.OnLoad();
    const double load = seconds(loadStart, Clock::now());
    const std::size_t words = headless.loader.GetWordList().GetCount();
    headless.panel.SetRunToSelection(mode->mode);
    cursor.OnRunToModeChanged();

    double fastest = 0.0;
    unsigned long long commands = 0;
    for (int run = 0; run < runs; ++run) {
        cursor.OnReset();
        commands = 0;
        const Clock::time_point runStart = Clock::now();
        do {
            cursor.OnRunTo();
            ++commands;
        } while (cursor.GetCursor() != CWordList::NO_POSITION);
        const double elapsed = seconds(runStart, Clock::now());
        fastest = run == 0 ? elapsed : std::min(fastest, elapsed);
    }
    std::printf("load %d: %.3f s, %zu words\n", cursor.GetLastLoadResult(), load, words);
    std::printf("F9 %s: %.3f s, %llu commands, %.1f ns a word\n", mode->comboText, fastest, commands,
                words > 0 ? fastest * 1e9 / static_cast<double>(words) : 0.0);
    std::printf("X %s\n", headless.panel.GetControlText(IDC_POSITION_X).c_str());
    return 0;
}
