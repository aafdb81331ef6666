// Line arithmetic over a listing text: where each line starts and how long it
// is. Lines end at CR, LF or CR LF, as every program view counts them; any
// other byte, 141 included, stays inside its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CListingLines {
public:
    // length must stay below 2^31, as every listing does: word spans are
    // signed 32-bit offsets.
    void Build(const char* text, std::size_t length);

    // An empty text has one line.
    int GetLineCount() const { return static_cast<int>(lineStarts.size()); }
    // The line holding a position; a position inside a line break belongs to
    // the line that the break ends. Positions outside the text are clamped.
    int LineFromChar(std::int64_t position) const;
    std::int64_t GetLineStart(int line) const;
    // Without the line break.
    std::int64_t GetLineLength(int line) const;
    std::int64_t GetTextLength() const { return textLength; }

private:
    static constexpr std::uint32_t AFTER_CR_LF = 0x80000000u;
    static constexpr std::uint32_t OFFSET_MASK = 0x7FFFFFFFu;

    std::int64_t StartOf(std::size_t line) const { return lineStarts[line] & OFFSET_MASK; }

    // Where each line starts, with AFTER_CR_LF set where the break before
    // it is two bytes: four bytes a line, for listings of millions of lines.
    std::vector<std::uint32_t> lineStarts{0};
    std::int64_t textLength = 0;
};
