#include "headless_view.h"

#include <algorithm>

void CHeadlessView::SetListingText(std::shared_ptr<const std::string> text)
{
    listing = std::move(text);
    lines.Build(listing->data(), listing->size());
    firstVisibleLine = 0;
    Highlight(0, 0);
    HighlightCaretLine();
}

void CHeadlessView::SetFocus()
{
    if (focused)
        return;
    focused = true;
    Highlight(highlightStart, highlightEnd);
}

void CHeadlessView::KillFocus()
{
    focused = false;
    if (selectionSet && selectionStart != selectionEnd) {
        highlightStart = selectionStart;
        highlightEnd = selectionEnd;
    }
}

void CHeadlessView::ClickAt(int position)
{
    SetFocus();
    Highlight(position, position);
    HighlightCaretLine();
}

void CHeadlessView::LineScroll(int lineDelta)
{
    const long long target = static_cast<long long>(firstVisibleLine) + lineDelta;
    firstVisibleLine = static_cast<int>(std::clamp<long long>(target, 0, lines.GetLineCount() - 1));
}

void CHeadlessView::Highlight(int start, int end)
{
    const auto textLength = static_cast<int>(listing->size());
    selectionSet = true;
    selectionStart = std::clamp(start, 0, textLength);
    selectionEnd = std::clamp(end, 0, textLength);
    UpdateLineIndicator();
}

void CHeadlessView::HighlightCaretLine()
{
    const int line = lines.LineFromChar(selectionEnd);
    highlightStart = static_cast<int>(lines.GetLineStart(line));
    highlightEnd = static_cast<int>(highlightStart + lines.GetLineLength(line));
    Highlight(highlightStart, highlightEnd);
}

std::string CHeadlessView::GetIndicatorText() const
{
    return std::to_string(lines.LineFromChar(selectionEnd) + 1) + "/" + std::to_string(lines.GetLineCount());
}

void CHeadlessView::UpdateLineIndicator()
{
    if (indicator != nullptr)
        indicator->SetControlText(IDC_LINE_INDICATOR, GetIndicatorText());
}
