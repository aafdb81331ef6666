#include "machine_state.h"

#include <algorithm>

CMachineState::CMachineState(IPanelControls* owner) : display(owner) {}

int CMachineState::ExecuteWord(const CCncWord* word)
{
    if (word == nullptr)
        return 0;
    return ExecuteWord(word->GetValue());
}

int CMachineState::ExecuteWord(const CCncValue& word)
{
    const WordKind kind = word.kind;
    if (IgnoresKind(kind))
        return 1;
    blockBuffer.push_back(word);
    if (kind == WK_END_OF_BLOCK) {
        ApplyBlock();
        ClearBlock();
    }
    return 1;
}

int CMachineState::ExecuteWord(const CWordList& words, WordPosition position)
{
    const WordKind kind = words.GetKind(position);
    if (IgnoresKind(kind))
        return 1;
    blockBuffer.emplace_back();
    words.ReadValue(position, blockBuffer.back());
    if (kind == WK_END_OF_BLOCK) {
        ApplyBlock();
        ClearBlock();
    }
    return 1;
}

int CMachineState::ApplyBlock()
{
    for (const CCncValue& word : blockBuffer) {
        switch (GroupOfKind(word.kind)) {
        case GROUP_MOTION: modes.motion = word.kind; break;
        case GROUP_PLANE: modes.plane = word.kind; break;
        case GROUP_COMPENSATION: modes.compensation = word.kind; break;
        case GROUP_CYCLE: modes.cycle = word.kind; break;
        case GROUP_COORD_SYSTEM: modes.coordSystem = word.kind; break;
        case GROUP_DIMENSIONING: modes.dimensioning = word.kind; break;
        case GROUP_FEED_MODE: modes.feedMode = word.kind; break;
        case GROUP_SPINDLE_MODE: modes.spindleMode = word.kind; break;
        case GROUP_LENGTH_UNIT: modes.lengthUnit = word.kind; break;
        case GROUP_POSITION: ApplyPositionWord(&word); break;
        case GROUP_NONE: break;
        }
        if (displayDeferred)
            displayStale = true;
        else
            UpdateDisplay();
    }
    return 1;
}

void CMachineState::EndDeferredDisplay()
{
    displayDeferred = false;
    if (displayStale) {
        displayStale = false;
        UpdateDisplay();
    }
}

int CMachineState::ApplyPositionWord(const CCncValue* word)
{
    if (word == nullptr)
        return 0;
    double value = 0.0;
    word->GetRealValue(value);
    switch (word->kind) {
    case WK_X: modes.position.SetX(value); break;
    case WK_Y: modes.position.SetY(value); break;
    case WK_Z: modes.position.SetZ(value); break;
    default: break;
    }
    return 1;
}

void CMachineState::ClearBlock()
{
    if (recording && !pendingUndo.blockCleared) {
        pendingUndo.blockCleared = true;
        pendingUndo.clearedBlock.assign(blockBuffer.begin(), blockBuffer.begin() + pendingUndo.blockSize);
    }
    blockBuffer.clear();
}

void CMachineState::BeginUndo()
{
    pendingUndo = CMachineUndo();
    pendingUndo.modes = modes;
    pendingUndo.blockSize = blockBuffer.size();
    recording = true;
}

CMachineUndo CMachineState::EndUndo()
{
    recording = false;
    CMachineUndo undo = std::move(pendingUndo);
    pendingUndo = CMachineUndo();
    return undo;
}

void CMachineState::Undo(CMachineUndo&& undo)
{
    modes = undo.modes;
    if (undo.blockCleared)
        blockBuffer = std::move(undo.clearedBlock);
    else
        blockBuffer.resize(std::min(undo.blockSize, blockBuffer.size()));
    UpdateDisplay();
}
