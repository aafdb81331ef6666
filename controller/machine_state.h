// The simulated machine: tool position and modal settings. Words arrive one
// at a time in program order; a block is gathered until its end-of-block word
// and then applied in order. Showing the state is the display's; which words
// arrive is the program cursor's.
#pragma once

#include <cstddef>
#include <vector>

#include "cnc_word.h"
#include "machine_modes.h"
#include "panel_interfaces.h"
#include "state_display.h"
#include "word_list.h"

// The machine as it was before a command, kept as cheaply as taking it back
// allows: commands only append to the block buffer and clear it, so the old
// buffer is the first blockSize words of the one a command leaves, unless
// the command cleared it; then the words it held are kept here.
struct CMachineUndo {
    CMachineModes modes;
    std::size_t blockSize = 0;
    bool blockCleared = false;
    std::vector<CCncValue> clearedBlock;
};

class CMachineState {
public:
    // owner may be null: then nothing is displayed.
    explicit CMachineState(IPanelControls* owner);

    // 0 when no word is given, 1 otherwise.
    int ExecuteWord(const CCncWord* word);
    // The same for a word's value part, which is all a block reads.
    int ExecuteWord(const CCncValue& word);
    // The same for the word at a position of a list; its value is read
    // only when the word is kept, straight into the block.
    int ExecuteWord(const CWordList& words, WordPosition position);
    // The words first to last of a list, leaving the machine, its texts and
    // what a step back restores exactly as ExecuteWord on each in turn
    // would. Only the words that decide the end state are read: the last of
    // each modal group and axis before the last block end, and the words
    // after it. A run over millions of words costs a pass over their kinds.
    void ExecuteWords(const CWordList& words, WordPosition first, WordPosition last);
    int ApplyBlock();
    // One word of a block being applied.
    void ApplyWord(const CCncValue& word);
    void ClearBlock();
    int ApplyPositionWord(const CCncValue* word);
    void UpdateDisplay() { display.Update(modes); }
    // Between the two, applied blocks only note that the texts are stale,
    // and the end writes them once. A command's texts are seen only once it
    // has finished, so a run through millions of words formats them once
    // instead of after every word, and shows the same.
    void DeferDisplay() { displayDeferred = true; }
    void EndDeferredDisplay();

    const CMachineModes& GetModes() const { return modes; }
    const CToolPosition& GetPosition() const { return modes.position; }
    std::int32_t GetMotion() const { return modes.motion; }
    std::int32_t GetPlane() const { return modes.plane; }
    std::int32_t GetCompensation() const { return modes.compensation; }
    std::int32_t GetCycle() const { return modes.cycle; }
    std::int32_t GetDimensioning() const { return modes.dimensioning; }
    std::int32_t GetCoordSystem() const { return modes.coordSystem; }
    std::int32_t GetFeedMode() const { return modes.feedMode; }
    std::int32_t GetSpindleMode() const { return modes.spindleMode; }
    std::int32_t GetLengthUnit() const { return modes.lengthUnit; }
    std::size_t GetBlockSize() const { return blockBuffer.size(); }
    // The value parts of the words gathered for the block not yet applied.
    const std::vector<CCncValue>& GetBlock() const { return blockBuffer; }

    // Notes the state before a command, and what the command discards of it.
    void BeginUndo();
    CMachineUndo EndUndo();
    // Puts back the state before the command, and the texts that show it.
    void Undo(CMachineUndo&& undo);

private:
    // Words of these kinds are not kept and take no part in any block.
    static bool IgnoresKind(WordKind kind) { return kind == WK_NONE || kind == WK_COMMENT; }
    // Applies the one word of each field a run of blocks leaves standing.
    void ApplyLastWords(const CWordList& words, WordPosition first, WordPosition lastBlockEnd);
    void NoteDisplayChange();

    CMachineModes modes;
    // The value parts of the gathered words: all that applying a block reads.
    // Holding copies, not references, means no word of a replaced program
    // can be reached through the buffer.
    std::vector<CCncValue> blockBuffer;
    bool displayDeferred = false;
    bool displayStale = false;
    bool recording = false;
    CMachineUndo pendingUndo;
    CStateDisplay display;
};
