// The path as the machine cuts it: the tool's centre with cutter radius
// compensation (G41, G42, G40) applied and drilling cycles (G81 to G89, G73,
// G80, G98, G99) carried out, built from the same walk over the blocks as the
// programmed path. What a control would refuse ends the path with a cut
// error. Drawing, sweeping and printing are left to the window, the
// workpiece and the CLI.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "move_table.h"
#include "path_move.h"
#include "tool_table.h"
#include "word_list.h"

// The block that could not be carried out and why.
struct CCutError {
    // The end-of-block word of the block, as a position in the word list.
    std::size_t word = 0;
    // Its file line, counted as the moves count theirs.
    std::int64_t line = 0;
    // UTF-8.
    std::string message;
};

// Why a move of the cut path is not the programmed one.
struct CCutNote {
    enum Kind : std::uint8_t { CUT_NOTE_COMPENSATION, CUT_NOTE_CYCLE };
    Kind kind = CUT_NOTE_COMPENSATION;
    // 41 or 42; the cycle's 81 to 89 or 73.
    int gNumber = 0;
    // The compensation's radius; 0 for a cycle.
    double radius = 0.0;
    // Peck 1 to peckCount for the feeds of G83 and G73, 0 otherwise.
    int peck = 0;
    int peckCount = 0;
};

// The notes of a cut path by move: runs of moves with the same note, each
// note kept once.
class CCutNotes {
public:
    // nullptr for a plain move (neither compensated nor a cycle's).
    const CCutNote* Find(std::size_t move) const;
    bool IsEmpty() const { return runFirsts.empty(); }
    void Clear();
    std::size_t GetMemoryBytes() const;

    // The builder's side: the note of the next move, in move order; nullptr
    // for a plain move.
    void Add(std::size_t move, const CCutNote* note);

private:
    using NoteKey = std::tuple<int, int, double, int, int>;
    static NoteKey KeyOf(const CCutNote& note)
    {
        return NoteKey(note.kind, note.gNumber, note.radius, note.peck, note.peckCount);
    }

    // Per run its first move and its note's index in notes plus 1, 0 for
    // plain moves.
    std::vector<std::uint32_t> runFirsts;
    std::vector<std::uint32_t> runNotes;
    std::vector<CCutNote> notes;
    std::map<NoteKey, std::uint32_t> noteIndex;
};

struct CCutSummary {
    // The moves before the cut error, if any: counts, bounds, cancel.
    CPathSummary path;
    bool hasError = false;
    CCutError error;
};

class CCutPathBuilder {
public:
    // headerLines as for CPathBuilder; tools give the compensation radius
    // by the T number in force.
    CCutPathBuilder(const CWordList& words, std::int64_t headerLines, const CToolTable& tools);

    // True when the words hold any word of compensation or of the drilling
    // cycles. Otherwise the cut path is the programmed path, move for move,
    // and a caller may use that path instead of building this one.
    static bool NeedsCut(const CWordList& words);

    // Reports every move of the cut path to sink in program order, up to the
    // cut error, if any. Without NeedsCut it is the path builder's path. Once cancel is set the build stops soon, its summary
    // marked cancelled. notes, when given, is filled for every move.
    CCutSummary Build(IPathSink& sink, const std::atomic<bool>* cancel = nullptr, CCutNotes* notes = nullptr) const;
    // Empties table and fills it with the moves of Build; cancelled or with
    // more than maxMoves moves (summary.path.tooManyMoves), it is left empty.
    CCutSummary BuildTable(CMoveTable& table, const std::atomic<bool>* cancel = nullptr,
                           std::size_t maxMoves = SIZE_MAX, CCutNotes* notes = nullptr) const;

private:
    CCutSummary Run(IPathSink& sink, const std::atomic<bool>* cancel, std::size_t maxMoves,
                    CCutNotes* notes) const;

    const CWordList& words;
    std::int64_t headerLines;
    CToolTable tools;
};
