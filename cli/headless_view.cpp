#include "headless_view.h"

CHeadlessView::CHeadlessView(IPanelControls* indicator) : indicator(indicator)
{
    selection.SetVisibleLineCount(VISIBLE_LINE_COUNT);
}

void CHeadlessView::SetListingText(std::shared_ptr<const std::string> text)
{
    listing = std::move(text);
    lines.Build(listing->data(), listing->size());
    selection.Reset();
    Highlight(0, 0);
    HighlightCaretLine();
}

void CHeadlessView::SetFocus()
{
    if (focused)
        return;
    focused = true;
    // A command's focus shows the remembered span, scrolled into view.
    Highlight(highlightStart, highlightEnd);
}

void CHeadlessView::KillFocus()
{
    focused = false;
    if (selectionSet && !selection.IsEmpty()) {
        highlightStart = selection.GetSelectionStart();
        highlightEnd = selection.GetSelectionEnd();
    }
}

void CHeadlessView::ClickAt(int position)
{
    // A click's focus leaves the view where it stands: the line clicked is
    // in sight.
    if (!focused) {
        focused = true;
        Select(highlightStart, highlightEnd, SCROLL_NONE);
    }
    Select(position, position, SCROLL_NONE);
    HighlightCaretLine();
}

void CHeadlessView::Highlight(int start, int end) { Select(start, end, SCROLL_TO_CARET); }

void CHeadlessView::Select(int start, int end, ScrollMode scroll)
{
    selectionSet = true;
    selection.Select(start, end);
    if (scroll == SCROLL_TO_CARET)
        selection.EnsureCaretVisible();
    UpdateLineIndicator();
}

void CHeadlessView::HighlightCaretLine()
{
    const int line = selection.GetCaretLine();
    highlightStart = static_cast<int>(lines.GetLineStart(line));
    highlightEnd = static_cast<int>(highlightStart + lines.GetLineLength(line));
    Select(highlightStart, highlightEnd, SCROLL_NONE);
}

std::string CHeadlessView::GetIndicatorText() const
{
    return std::to_string(selection.GetCaretLine() + 1) + "/" + std::to_string(lines.GetLineCount());
}

void CHeadlessView::UpdateLineIndicator()
{
    if (indicator != nullptr)
        indicator->SetControlText(IDC_LINE_INDICATOR, GetIndicatorText());
}

CProgramViewState CHeadlessView::SaveViewState()
{
    CProgramViewState state = selection.SaveState(highlightStart, highlightEnd);
    state.hasSelection = selectionSet;
    return state;
}

void CHeadlessView::RestoreViewState(const CProgramViewState& state)
{
    selectionSet = state.hasSelection;
    selection.RestoreState(state);
    highlightStart = state.rememberedStart;
    highlightEnd = state.rememberedEnd;
    UpdateLineIndicator();
}
