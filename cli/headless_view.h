// A program view without a window, for the CLI and the tests: it keeps the
// listing, the selection, the first visible line and the remembered span the
// way the panel's editor does, so its selection is what the panel selects.
#pragma once

#include <string>

#include "listing_lines.h"
#include "panel_interfaces.h"

class CHeadlessView : public IProgramView {
public:
    // indicator may be null; it receives the line indicator text.
    explicit CHeadlessView(IPanelControls* indicator = nullptr) : indicator(indicator) {}

    using IListingView::SetListingText;
    void SetListingText(std::shared_ptr<const std::string> text) override;
    void RepaintOwner() override {}
    void SetFocus() override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    int GetLineCount() override { return lines.GetLineCount(); }
    void LineScroll(int lineDelta) override;
    int LineFromChar(int position) override { return lines.LineFromChar(position); }
    void Highlight(int start, int end) override;

    // The focus moving away, as a click on a button does.
    void KillFocus();
    // A click that puts the caret at position.
    void ClickAt(int position);

    const std::string& GetListing() const { return *listing; }
    bool HasSelection() const { return selectionSet; }
    int GetSelectionStart() const { return selectionStart; }
    int GetSelectionEnd() const { return selectionEnd; }
    int GetFirstVisibleLine() const { return firstVisibleLine; }
    std::string GetIndicatorText() const;

private:
    void HighlightCaretLine();
    void UpdateLineIndicator();

    IPanelControls* indicator;
    std::shared_ptr<const std::string> listing = std::make_shared<const std::string>();
    CListingLines lines;
    bool selectionSet = false;
    int selectionStart = 0;
    int selectionEnd = 0;
    int highlightStart = 0;
    int highlightEnd = 0;
    int firstVisibleLine = 0;
    bool focused = false;
};
