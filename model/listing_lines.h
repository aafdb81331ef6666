// Line arithmetic over a listing text: where each line starts and how long it
// is. Lines end at CR, LF or CR LF, as every program view counts them; any
// other byte, 141 included, stays inside its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CListingLines {
public:
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
    std::vector<std::int64_t> lineStarts{0};
    // Where each line's text ends, before its break.
    std::vector<std::int64_t> lineEnds{0};
    std::int64_t textLength = 0;
};
