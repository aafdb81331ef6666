#include "listing_selection.h"

#include <algorithm>

namespace {

int ClampToText(std::int64_t position, const CListingLines& lines)
{
    return static_cast<int>(std::clamp<std::int64_t>(position, 0, lines.GetTextLength()));
}

} // namespace

void CListingSelection::Reset()
{
    anchor = 0;
    caret = 0;
    firstVisibleLine = 0;
}

void CListingSelection::Select(std::int64_t start, std::int64_t end)
{
    anchor = ClampToText(start, lines);
    caret = ClampToText(end, lines);
}

void CListingSelection::MoveCaret(std::int64_t position, SelectionMode selection)
{
    caret = ClampToText(position, lines);
    if (selection == SELECTION_DROP)
        anchor = caret;
}

void CListingSelection::SetVisibleLineCount(int count)
{
    visibleLineCount = std::max(1, count);
    SetFirstVisibleLine(firstVisibleLine);
}

int CListingSelection::GetLastFirstLine() const { return std::max(0, lines.GetLineCount() - visibleLineCount); }

void CListingSelection::SetFirstVisibleLine(std::int64_t line)
{
    firstVisibleLine = static_cast<int>(std::clamp<std::int64_t>(line, 0, GetLastFirstLine()));
}

bool CListingSelection::EnsureCaretVisible()
{
    const int line = GetCaretLine();
    if (line < firstVisibleLine) {
        SetFirstVisibleLine(line);
        return true;
    }
    if (static_cast<std::int64_t>(line) >= static_cast<std::int64_t>(firstVisibleLine) + visibleLineCount) {
        SetFirstVisibleLine(static_cast<std::int64_t>(line) - visibleLineCount + 1);
        return true;
    }
    return false;
}

CProgramViewState CListingSelection::SaveState(int rememberedStart, int rememberedEnd) const
{
    CProgramViewState state;
    state.hasSelection = true;
    state.anchor = anchor;
    state.caret = caret;
    state.rememberedStart = rememberedStart;
    state.rememberedEnd = rememberedEnd;
    state.firstVisibleLine = firstVisibleLine;
    return state;
}

void CListingSelection::RestoreState(const CProgramViewState& state)
{
    Select(state.anchor, state.caret);
    SetFirstVisibleLine(state.firstVisibleLine);
}
