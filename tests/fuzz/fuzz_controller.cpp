// Arbitrary file contents plus an arbitrary sequence of panel commands. The
// first byte says how many of the following bytes are commands; the rest is
// the program file.
#include <cstring>
#include <regex>

#include "cli_panel.h"
#include "fuzz_support.h"
#include "machine_state.h"
#include "program_cursor.h"
#include "run_to_mode.h"
#include "state_texts.h"

namespace {

void CheckPanel(const CCliPanel& panel, const CHeadlessView& view, const CProgramCursor& cursor,
                const CCncProgram& loader)
{
    if (view.HasSelection()) {
        const int length = static_cast<int>(view.GetListing().size());
        Require(view.GetSelectionStart() >= 0 && view.GetSelectionStart() <= view.GetSelectionEnd() &&
                    view.GetSelectionEnd() <= length,
                "selection inside the listing");
    }
    const WordPosition position = cursor.GetCursor();
    Require(position == CWordList::NO_POSITION || position < loader.GetWordList().GetCount(), "cursor inside the list");
    static const std::regex number("-?[0-9]+\\.[0-9]{4}| inf|-inf| nan|-nan");
    for (int id : {IDC_POSITION_X, IDC_POSITION_Y, IDC_POSITION_Z})
        Require(std::regex_match(panel.GetControlText(id), number), "coordinate as %4.4f");
    static const std::pair<int, std::regex> keywordLines[] = {
        {IDC_MOTION, std::regex("Bewegung: [A-Z. ]{13}| -", std::regex::extended)},
        {IDC_COMPENSATION, std::regex("Kompensation:  (OFF|LEFT|RIGHT|POSITIVE|NEGATIVE|-)")},
        {IDC_PLANE, std::regex("Arbeitsebene: (X/Y|Y/Z|X/Z| -)")},
        {IDC_CYCLE, std::regex("Zyklus:  (OFF|CYCLE [1-9]|-)")},
        {IDC_COORD_SYSTEM, std::regex("Koord Sys: (MACHINE|UCS [1-6]|-)")},
        {IDC_DIMENSIONING, std::regex("Koordinaten: (ABS|REL|-)")},
        {IDC_LENGTH_UNIT, std::regex("L\xE4ngeninheit: (INCH|MM|-)")},
        {IDC_FEED_UNIT, std::regex("mm/min|inch/min| REL| -")},
        {IDC_SPINDLE_UNIT, std::regex("mm/min|inch/min|1/min| -")},
    };
    for (const auto& [id, pattern] : keywordLines)
        Require(std::regex_match(panel.GetControlText(id), pattern), "state line well formed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t commandCount = std::min<std::size_t>(data[0], size - 1);
    const std::uint8_t* commands = data + 1;
    WriteInput(data + 1 + commandCount, size - 1 - commandCount);

    CCliPanel panel;
    CHeadlessView view(&panel);
    CFixedFileChooser chooser(InputPath());
    CMemorySettings settings;
    CCncProgram loader(&view, chooser, settings);
    CMachineState machineState(&panel);
    CProgramCursor cursor(loader, machineState, &view, panel);
    cursor.SyncRunToCombo();
    machineState.UpdateDisplay();
    cursor.OnLoad();
    CheckPanel(panel, view, cursor, loader);
    for (std::size_t index = 0; index < commandCount; ++index) {
        switch (commands[index] % 10) {
        case 0: cursor.OnNextWord(); break;
        case 1: cursor.OnRunTo(); break;
        case 2: cursor.OnReset(); break;
        case 3: cursor.OnJumpToActual(); break;
        case 4: cursor.OnLoad(); break;
        case 5: view.KillFocus(); break;
        case 6: view.ClickAt(commands[index]); break;
        default:
            // Every mode, and one index past them that chooses nothing.
            panel.SetRunToSelection(static_cast<int>(commands[index] / 10 % (RunToModeCount() + 1)));
            cursor.OnRunToModeChanged();
            break;
        }
        CheckPanel(panel, view, cursor, loader);
    }
    return 0;
}
