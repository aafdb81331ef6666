// Line arithmetic over a listing text: where each line starts and how long it
// is. Lines end at CR, LF or CR LF, as every program view counts them; any
// other byte, 141 included, stays inside its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CListingLines {
public:
    CListingLines() { Build("", 0); }

    // length must stay below 2^31, as every listing does: word spans are
    // signed 32-bit offsets.
    void Build(const char* text, std::size_t length);

    // An empty text has one line.
    int GetLineCount() const { return static_cast<int>(distances.size()); }
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
    // Lines are kept by groups of GROUP_LINES: the start of the group's
    // first line, and each line's distance from it in two bytes, shifted
    // left by one for the AFTER_CR_LF bit. A group of lines that spreads
    // over 32 KiB or more keeps its lines' starts whole instead.
    static constexpr std::size_t GROUP_LINES = 64;
    static constexpr std::uint32_t LARGEST_DISTANCE = 0x7FFFu;
    static constexpr std::uint32_t NARROW_GROUP = 0xFFFFFFFFu;

    struct CGroup {
        std::uint32_t start;
        // Where the group's whole starts begin in wideStarts, or NARROW_GROUP.
        std::uint32_t wideAt;
    };

    // A line's start with AFTER_CR_LF set where the break before it is two bytes.
    std::uint32_t EntryOf(std::size_t line) const
    {
        const CGroup& group = groups[line / GROUP_LINES];
        if (group.wideAt != NARROW_GROUP)
            return wideStarts[group.wideAt + line % GROUP_LINES];
        const std::uint16_t distance = distances[line];
        return (group.start + (distance >> 1)) | ((distance & 1u) != 0 ? AFTER_CR_LF : 0u);
    }
    std::int64_t StartOf(std::size_t line) const { return EntryOf(line) & OFFSET_MASK; }
    void AddLine(std::uint32_t entry);
    // Files the open group's lines as a narrow or a wide group.
    void CloseGroup();

    // Two bytes and a little a line, for listings of millions of lines.
    std::vector<std::uint16_t> distances;
    std::vector<CGroup> groups;
    std::vector<std::uint32_t> wideStarts;
    // The entries of the group not yet closed.
    std::vector<std::uint32_t> openEntries;
    std::int64_t textLength = 0;
};
