// The selection and the scroll position of a program view over a listing:
// anchor, caret and the first visible line, each kept inside the text and
// the view, as the panel's editor keeps them. Which lines fit and where a
// key moves the caret are the view's to say; this keeps the numbers right.
#pragma once

#include <cstdint>

#include "listing_lines.h"

// What a program view shows of its listing, as a command leaves it: the
// selection with the caret at its end, the span it selects again when it
// regains the focus, and the first visible line.
struct CProgramViewState {
    bool hasSelection = false;
    int anchor = 0;
    int caret = 0;
    int rememberedStart = 0;
    int rememberedEnd = 0;
    int firstVisibleLine = 0;
};

class CListingSelection {
public:
    // Whether moving the caret drags the selection along.
    enum SelectionMode { SELECTION_DROP, SELECTION_EXTEND };

    // lines must outlive the selection; after it is rebuilt, call Reset.
    explicit CListingSelection(const CListingLines& lines) : lines(lines) {}

    // Caret, anchor and first visible line back at the start of the text.
    void Reset();

    // Selects [start, end) with the caret at end; both are clamped to the text.
    void Select(std::int64_t start, std::int64_t end);
    void MoveCaret(std::int64_t position, SelectionMode selection);
    int GetAnchor() const { return anchor; }
    int GetCaret() const { return caret; }
    // The start is never above the end.
    int GetSelectionStart() const { return anchor < caret ? anchor : caret; }
    int GetSelectionEnd() const { return anchor < caret ? caret : anchor; }
    bool IsEmpty() const { return anchor == caret; }
    int GetCaretLine() const { return lines.LineFromChar(caret); }

    // The lines the view shows whole; at least one. The first visible line
    // is clamped again to the new count.
    void SetVisibleLineCount(int count);
    int GetVisibleLineCount() const { return visibleLineCount; }
    int GetFirstVisibleLine() const { return firstVisibleLine; }
    // The view scrolls no further than to put the last line at its bottom.
    int GetLastFirstLine() const;
    void SetFirstVisibleLine(std::int64_t line);
    // Negative is up; clamped at the top and at the last first line.
    void LineScroll(int lineDelta) { SetFirstVisibleLine(static_cast<std::int64_t>(firstVisibleLine) + lineDelta); }
    // Scrolls as little as brings the caret's line into view; true when the
    // caret's line was out of view.
    bool EnsureCaretVisible();

    // The state to put back later, with the span the view remembers.
    CProgramViewState SaveState(int rememberedStart, int rememberedEnd) const;
    // Anchor, caret and first visible line as saved.
    void RestoreState(const CProgramViewState& state);

private:
    const CListingLines& lines;
    int anchor = 0;
    int caret = 0;
    int firstVisibleLine = 0;
    int visibleLineCount = 1;
};
