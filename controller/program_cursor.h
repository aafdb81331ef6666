// The panel's commands for running a loaded program: load, reset, show the
// actual word, next word, run to a stopping point, and step back. They move a
// cursor over the loader's word list and feed each word they pass to the
// machine state; the panel only forwards its buttons and keys here.
#pragma once

#include <string>
#include <string_view>

#include "cnc_program.h"
#include "machine_state.h"
#include "panel_interfaces.h"
#include "run_to_mode.h"
#include "step_history.h"

class CProgramCursor {
public:
    // editor may be null (nothing is shown then); the others must outlive this.
    CProgramCursor(CCncProgram& loader, CMachineState& machineState, IProgramView* editor, IPanelControls& panel);

    void OnLoad();
    void OnReset();
    void OnJumpToActual();
    void OnNextWord();
    void OnRunTo();
    void OnRunToModeChanged();
    void SyncRunToCombo();
    // Takes back the newest of next word, run to, reset, actual word and
    // browse: cursor, machine state, message line and view as before it.
    // Nothing happens when there is nothing to take back.
    void OnStepBack();
    // The user is about to move the view's selection by hand (a click on a
    // line): what the view shows now is kept for a step back.
    void OnBrowse();
    bool CanStepBack() const { return !history.IsEmpty(); }
    const CStepHistory& GetHistory() const { return history; }

    RunToMode GetRunToMode() const { return runToMode; }
    // NO_POSITION when absent.
    WordPosition GetCursor() const { return cursor; }
    bool HasWordList() const { return wordList != nullptr; }
    // The list the cursor moves over; null before the first load or reset.
    const CWordList* GetWordList() const { return wordList; }
    // What the loader answered to the last OnLoad.
    int GetLastLoadResult() const { return lastLoadResult; }
    // The loader's error text of the last load that got past the file
    // dialog; empty after a load that succeeded.
    std::string GetLoadErrorText() const { return loader.GetErrorText(); }
    // The file of the last load that got past the file dialog.
    const std::string& GetProgramPath() const { return loader.GetPath(); }
    const std::string& GetProgramHeader() const { return loader.GetHeader(); }

private:
    void ShowWord(WordPosition position);
    void FocusAndHighlight(WordPosition position);
    void SetMessage(std::string_view text);
    void Reset();
    void NextWord();
    void RunTo();
    void JumpToActual();
    // Runs one command and keeps what it changed for a step back.
    void Record(void (CProgramCursor::*command)());
    // Takes the word at the cursor, moves the cursor on and executes it;
    // returns the position taken.
    WordPosition TakeAndExecute();
    // The same for every word from the cursor to last, at the cost of a
    // pass over their kinds.
    void TakeAndExecuteThrough(WordPosition last);

    CCncProgram& loader;
    CMachineState& machineState;
    IProgramView* editor;
    IPanelControls& panel;
    const CWordList* wordList = nullptr;
    WordPosition cursor = CWordList::NO_POSITION;
    RunToMode runToMode = RUNTO_BLOCK_END;
    int lastLoadResult = CCncProgram::RESULT_OK;
    // What the message line shows, once the cursor has written it: nothing
    // else does.
    bool messageWritten = false;
    std::string message;
    CStepHistory history;
};
