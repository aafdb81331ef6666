// Line arithmetic over a listing text: where each line starts and how long it
// is. Lines end at CR, LF or CR LF, as every program view counts them; any
// other byte, 141 included, stays inside its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "packed_starts.h"

class CListingLines {
public:
    CListingLines() { Build("", 0); }

    // length must stay below 2^31, as every listing does: word spans are
    // signed 32-bit offsets.
    void Build(const char* text, std::size_t length);

    // An empty text has one line.
    int GetLineCount() const { return static_cast<int>(lineStarts.GetCount()); }
    // The line holding a position; a position inside a line break belongs to
    // the line that the break ends. Positions outside the text are clamped.
    int LineFromChar(std::int64_t position) const;
    std::int64_t GetLineStart(int line) const;
    // Without the line break.
    std::int64_t GetLineLength(int line) const;
    std::int64_t GetTextLength() const { return textLength; }

private:
    std::int64_t StartOf(std::size_t line) const { return lineStarts.GetAt(line); }
    bool FollowsCrLf(std::size_t line) const { return (crLfBefore[line / 64] >> (line % 64) & 1) != 0; }

    // Where each line starts, packed: listings run to millions of lines.
    CLineStarts lineStarts;
    // Bit line % 64 of word line / 64 is set where the break before the
    // line is the two bytes of CR LF.
    std::vector<std::uint64_t> crLfBefore;
    std::int64_t textLength = 0;
};
