// A program view without a window, for the CLI and the tests: it keeps the
// listing, the selection, the first visible line and the remembered span the
// way the panel's editor does, with the same selection and scroll model, so
// its selection and its first visible line are what the panel shows.
#pragma once

#include <string>

#include "listing_lines.h"
#include "listing_selection.h"
#include "panel_interfaces.h"

class CHeadlessView : public IProgramView {
public:
    // The lines the panel's editor shows whole: its 400 x 100 pixels at the
    // listing's face.
    static constexpr int VISIBLE_LINE_COUNT = 6;

    // indicator may be null; it receives the line indicator text.
    explicit CHeadlessView(IPanelControls* indicator = nullptr);

    using IListingView::SetListingText;
    void SetListingText(std::shared_ptr<const std::string> text) override;
    void RepaintOwner() override {}
    void SetFocus() override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    int GetLineCount() override { return lines.GetLineCount(); }
    void LineScroll(int lineDelta) override { selection.LineScroll(lineDelta); }
    int LineFromChar(int position) override { return lines.LineFromChar(position); }
    void Highlight(int start, int end) override;
    CProgramViewState SaveViewState() override;
    void RestoreViewState(const CProgramViewState& state) override;

    // The focus moving away, as a click on a button does.
    void KillFocus();
    // A click that puts the caret at position.
    void ClickAt(int position);

    const std::string& GetListing() const { return *listing; }
    bool HasSelection() const { return selectionSet; }
    int GetSelectionStart() const { return selection.GetSelectionStart(); }
    int GetSelectionEnd() const { return selection.GetSelectionEnd(); }
    int GetFirstVisibleLine() const { return selection.GetFirstVisibleLine(); }
    std::string GetIndicatorText() const;

private:
    enum ScrollMode { SCROLL_NONE, SCROLL_TO_CARET };

    void Select(int start, int end, ScrollMode scroll);
    void HighlightCaretLine();
    void UpdateLineIndicator();

    IPanelControls* indicator;
    std::shared_ptr<const std::string> listing = std::make_shared<const std::string>();
    CListingLines lines;
    CListingSelection selection{lines};
    bool selectionSet = false;
    int highlightStart = 0;
    int highlightEnd = 0;
    bool focused = false;
};
