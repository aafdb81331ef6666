#include "machine_state.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// What a word of a block can set: one field per modal group and one per
// axis. A run of blocks leaves each with the last word that set it.
constexpr int NO_FIELD_SLOT = -1;
constexpr int AXIS_SLOT_X = GROUP_POSITION - GROUP_MOTION;
constexpr std::size_t FIELD_SLOT_COUNT = static_cast<std::size_t>(AXIS_SLOT_X) + 3;

std::array<std::int8_t, 128> MakeFieldSlotTable()
{
    std::array<std::int8_t, 128> table{};
    for (std::int32_t kind = 0; kind < static_cast<std::int32_t>(table.size()); ++kind) {
        const WordGroup group = GroupOfKind(kind);
        int slot = NO_FIELD_SLOT;
        if (group == GROUP_POSITION) {
            // The other words of the group (I, J, K, R) set no field.
            if (kind >= WK_X && kind <= WK_Z)
                slot = AXIS_SLOT_X + (kind - WK_X);
        } else if (group != GROUP_NONE) {
            slot = group - GROUP_MOTION;
        }
        table[static_cast<std::size_t>(kind)] = static_cast<std::int8_t>(slot);
    }
    return table;
}

// Read for every word of a long run, so the groups are looked up once.
const std::array<std::int8_t, 128> fieldSlots = MakeFieldSlotTable();

int FieldSlotOfKind(std::int32_t kind)
{
    return kind >= 0 && kind < static_cast<std::int32_t>(fieldSlots.size()) ? fieldSlots[static_cast<std::size_t>(kind)]
                                                                            : NO_FIELD_SLOT;
}

} // namespace

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
        ApplyWord(word);
        NoteDisplayChange();
    }
    return 1;
}

void CMachineState::ApplyWord(const CCncValue& word)
{
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
}

void CMachineState::NoteDisplayChange()
{
    if (displayDeferred)
        displayStale = true;
    else
        UpdateDisplay();
}

void CMachineState::ExecuteWords(const CWordList& words, WordPosition first, WordPosition last)
{
    WordPosition lastBlockEnd = CWordList::NO_POSITION;
    for (WordPosition position = last + 1; position-- > first;) {
        if (words.GetKind(position) == WK_END_OF_BLOCK) {
            lastBlockEnd = position;
            break;
        }
    }
    WordPosition next = first;
    if (lastBlockEnd != CWordList::NO_POSITION) {
        ApplyLastWords(words, first, lastBlockEnd);
        ClearBlock();
        next = lastBlockEnd + 1;
    }
    // The words of the block left open are gathered one by one.
    for (; next <= last; ++next)
        ExecuteWord(words, next);
}

void CMachineState::ApplyLastWords(const CWordList& words, WordPosition first, WordPosition lastBlockEnd)
{
    std::array<WordPosition, FIELD_SLOT_COUNT> lastInRun;
    lastInRun.fill(CWordList::NO_POSITION);
    std::array<const CCncValue*, FIELD_SLOT_COUNT> lastInBlock{};
    std::size_t open = FIELD_SLOT_COUNT;
    // Backwards from the last block end: the first word met of a field is
    // the one that stands; most fields are met within a few blocks.
    for (WordPosition position = lastBlockEnd + 1; open > 0 && position-- > first;) {
        const int slot = FieldSlotOfKind(words.GetKind(position));
        if (slot != NO_FIELD_SLOT && lastInRun[static_cast<std::size_t>(slot)] == CWordList::NO_POSITION) {
            lastInRun[static_cast<std::size_t>(slot)] = position;
            --open;
        }
    }
    // A field no word of the run set may be set by the words gathered
    // before it, which open the run's first block.
    for (auto word = blockBuffer.rbegin(); open > 0 && word != blockBuffer.rend(); ++word) {
        const int slot = FieldSlotOfKind(word->kind);
        if (slot != NO_FIELD_SLOT && lastInRun[static_cast<std::size_t>(slot)] == CWordList::NO_POSITION &&
            lastInBlock[static_cast<std::size_t>(slot)] == nullptr) {
            lastInBlock[static_cast<std::size_t>(slot)] = &*word;
            --open;
        }
    }
    for (std::size_t slot = 0; slot < FIELD_SLOT_COUNT; ++slot) {
        if (lastInRun[slot] != CWordList::NO_POSITION) {
            CCncValue value;
            words.ReadValue(lastInRun[slot], value);
            ApplyWord(value);
        } else if (lastInBlock[slot] != nullptr) {
            ApplyWord(*lastInBlock[slot]);
        }
    }
    // Every block applied notes a change, the block end at least.
    NoteDisplayChange();
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
