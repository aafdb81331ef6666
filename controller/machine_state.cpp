#include "machine_state.h"

#include "state_texts.h"

CMachineState::CMachineState(IPanelControls* owner) : owner(owner) {}

int CMachineState::ExecuteWord(const CCncWord* word)
{
    if (word == nullptr)
        return 0;
    return ExecuteWord(word->GetValue());
}

int CMachineState::ExecuteWord(const CCncValue& word)
{
    const WordKind kind = word.kind;
    if (kind == WK_NONE || kind == WK_COMMENT)
        return 1;
    blockBuffer.push_back(word);
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
        case GROUP_MOTION: motion = word.kind; break;
        case GROUP_PLANE: plane = word.kind; break;
        case GROUP_COMPENSATION: compensation = word.kind; break;
        case GROUP_CYCLE: cycle = word.kind; break;
        case GROUP_COORD_SYSTEM: coordSystem = word.kind; break;
        case GROUP_DIMENSIONING: dimensioning = word.kind; break;
        case GROUP_FEED_MODE: feedMode = word.kind; break;
        case GROUP_SPINDLE_MODE: spindleMode = word.kind; break;
        case GROUP_LENGTH_UNIT: lengthUnit = word.kind; break;
        case GROUP_POSITION: ApplyPositionWord(&word); break;
        case GROUP_NONE: break;
        }
        UpdateDisplay();
    }
    return 1;
}

int CMachineState::ApplyPositionWord(const CCncValue* word)
{
    if (word == nullptr)
        return 0;
    double value = 0.0;
    word->GetRealValue(value);
    switch (word->kind) {
    case WK_X: position.SetX(value); break;
    case WK_Y: position.SetY(value); break;
    case WK_Z: position.SetZ(value); break;
    default: break;
    }
    return 1;
}

void CMachineState::UpdateDisplay()
{
    if (owner == nullptr)
        return;
    // A line is written again only when a field it shows has changed: the
    // texts are the same as writing all twelve every time, and a run through
    // millions of words does not format twelve texts for each of them.
    const StateSnapshot now = TakeStateSnapshot(*this);
    std::uint32_t changed = 0;
    for (std::size_t field = 0; field < DISPLAY_FIELD_COUNT; ++field) {
        if (!displayed || now[field] != shown[field])
            changed |= 1u << field;
    }
    if (changed == 0)
        return;
    shown = now;
    displayed = true;
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line) {
        if ((StateLineFields(line) & changed) != 0)
            owner->SetControlText(StateLineControlId(line), StateLineText(line, *this));
    }
}
