#include "program_cursor.h"

#include "state_texts.h"

namespace {

// Words that carry no information: stepping does not stop after them.
bool IsPassedOver(WordKind kind)
{
    return kind == WK_END_OF_BLOCK || kind == WK_COMMENT || kind == WK_BLOCK_NUMBER || kind == WK_NONE;
}

} // namespace

CProgramCursor::CProgramCursor(CCncProgram& loader, CMachineState& machineState, IProgramView* editor,
                               IPanelControls& panel)
    : loader(loader), machineState(machineState), editor(editor), panel(panel)
{
}

void CProgramCursor::SetMessage(std::string_view text)
{
    // Most commands blank a line that is blank already: a run of presses
    // then writes nothing, and the panel shows the same.
    if (messageWritten && message == text)
        return;
    message = text;
    messageWritten = true;
    panel.SetControlText(IDC_MESSAGE_LINE, message);
}

void CProgramCursor::Record(void (CProgramCursor::*command)())
{
    CStepRecord record;
    record.cursor = cursor;
    record.hasMessage = messageWritten;
    record.message = message;
    if (editor != nullptr) {
        record.hasView = true;
        record.view = editor->SaveViewState();
    }
    machineState.BeginUndo();
    machineState.DeferDisplay();
    if (command != nullptr)
        (this->*command)();
    machineState.EndDeferredDisplay();
    record.machine = machineState.EndUndo();
    history.Push(std::move(record));
}

void CProgramCursor::OnReset() { Record(&CProgramCursor::Reset); }

void CProgramCursor::OnJumpToActual() { Record(&CProgramCursor::JumpToActual); }

void CProgramCursor::OnNextWord() { Record(&CProgramCursor::NextWord); }

void CProgramCursor::OnRunTo() { Record(&CProgramCursor::RunTo); }

void CProgramCursor::OnBrowse() { Record(nullptr); }

void CProgramCursor::OnStepBack()
{
    if (history.IsEmpty())
        return;
    CStepRecord record = history.Pop();
    cursor = record.cursor;
    machineState.Undo(std::move(record.machine));
    if (record.hasMessage)
        SetMessage(record.message);
    if (record.hasView && editor != nullptr)
        editor->RestoreViewState(record.view);
}

void CProgramCursor::ShowWord(WordPosition position)
{
    if (editor == nullptr)
        return;
    editor->LineScroll(-editor->GetLineCount());
    std::int32_t start = 0;
    std::int32_t end = 0;
    wordList->GetSpan(position, start, end);
    editor->LineScroll(editor->LineFromChar(start));
    // Two lines of context above the word.
    editor->LineScroll(-2);
    editor->SetFocus();
    editor->Highlight(start, end);
}

void CProgramCursor::FocusAndHighlight(WordPosition position)
{
    if (editor == nullptr)
        return;
    std::int32_t start = 0;
    std::int32_t end = 0;
    wordList->GetSpan(position, start, end);
    editor->SetFocus();
    editor->Highlight(start, end);
}

WordPosition CProgramCursor::TakeAndExecute()
{
    const WordPosition taken = cursor;
    cursor = wordList->GetNext(cursor);
    const WordKind kind = wordList->GetKind(taken);
    if (kind == WK_END_OF_BLOCK && editor != nullptr)
        editor->LineScroll(1);
    machineState.ExecuteWord(*wordList, taken);
    return taken;
}

void CProgramCursor::TakeAndExecuteThrough(WordPosition last)
{
    // The view scrolls a line for each block end, clamped at its bottom:
    // one scroll by their number ends where scrolling one by one would.
    if (editor != nullptr) {
        const std::size_t blockEnds = wordList->CountKind(cursor, last, WK_END_OF_BLOCK);
        if (blockEnds > 0)
            editor->LineScroll(static_cast<int>(blockEnds));
    }
    machineState.ExecuteWords(*wordList, cursor, last);
    cursor = wordList->GetNext(last);
}

void CProgramCursor::OnLoad()
{
    SetMessage(MESSAGE_BLANK_LOAD);
    const int result = loader.Load(std::string());
    lastLoadResult = result;
    // A load past the file dialog has deleted the words an unfinished block
    // was gathered from.
    if (result != CCncProgram::RESULT_CANCELLED) {
        machineState.ClearBlock();
        // Nothing before a new program can be taken back into it.
        history.Clear();
    }
    Reset();
    if (result != CCncProgram::RESULT_OK)
        SetMessage(loader.GetErrorText());
}

void CProgramCursor::Reset()
{
    SetMessage(MESSAGE_BLANK_COMMAND);
    wordList = &loader.GetWordList();
    cursor = wordList->GetFirst();
    if (cursor == CWordList::NO_POSITION)
        return;
    ShowWord(cursor);
}

void CProgramCursor::JumpToActual()
{
    SetMessage(MESSAGE_BLANK_COMMAND);
    if (wordList == nullptr || cursor == CWordList::NO_POSITION)
        return;
    const WordPosition previous = wordList->GetPrevious(cursor);
    ShowWord(previous != CWordList::NO_POSITION ? previous : cursor);
}

void CProgramCursor::NextWord()
{
    SetMessage(MESSAGE_BLANK_COMMAND);
    if (wordList == nullptr || cursor == CWordList::NO_POSITION)
        return;
    for (;;) {
        const WordPosition taken = TakeAndExecute();
        if (IsPassedOver(wordList->GetKind(taken))) {
            if (cursor != CWordList::NO_POSITION)
                continue;
            SetMessage(MESSAGE_END_OF_PROGRAM);
        }
        FocusAndHighlight(taken);
        return;
    }
}

void CProgramCursor::RunTo()
{
    SetMessage(MESSAGE_BLANK_COMMAND);
    if (wordList == nullptr || cursor == CWordList::NO_POSITION)
        return;
    const RunToModeRow& rule = *FindRunToMode(runToMode);
    const WordPosition last = wordList->GetCount() - 1;
    // The word the run stops at, found by kind alone; a block end stops
    // only where a block follows it.
    WordPosition stop = rule.stop == STOP_AT_END ? CWordList::NO_POSITION : wordList->FindKind(cursor, rule.stopKind);
    if (rule.stop == STOP_AFTER_BLOCK_END && stop == last)
        stop = CWordList::NO_POSITION;
    const WordPosition through = stop != CWordList::NO_POSITION ? stop : last;
    TakeAndExecuteThrough(through);
    if (stop != CWordList::NO_POSITION) {
        // After a block end the first word of the next block is shown but
        // stays at the cursor, so the next command executes it.
        FocusAndHighlight(rule.stop == STOP_AFTER_BLOCK_END ? cursor : stop);
        return;
    }
    SetMessage(MESSAGE_END_OF_PROGRAM);
    FocusAndHighlight(through);
}

void CProgramCursor::OnRunToModeChanged()
{
    if (const RunToModeRow* row = FindRunToMode(panel.GetRunToSelection()))
        runToMode = row->mode;
}

void CProgramCursor::SyncRunToCombo() { panel.SetRunToSelection(runToMode); }
