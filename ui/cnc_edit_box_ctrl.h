// The program editor: a read-only view of the listing text in which the
// current word is selected. Its positions are the listing's byte offsets, so
// the loader's word spans select exactly their words; it remembers the span
// to select again when it regains the focus, keeps the panel's line
// indicator up to date and turns F4, F8, F9 and F10 into the panel's
// stepping commands. What those commands do is the program cursor's.
#pragma once

#include <QPlainTextEdit>

#include "listing_lines.h"
#include "panel_interfaces.h"

class CControllerDlg;
class QLabel;

class CCncEditBoxCtrl : public QPlainTextEdit, public IProgramView {
    Q_OBJECT

public:
    CCncEditBoxCtrl();

    // Places the editor on parent at rect (parent client pixels) as control
    // controlId. The parent's control 1040, if any, becomes the line
    // indicator; a panel parent receives the command keys.
    void Create(const QRect& rect, QWidget* parent, int controlId);

    using IListingView::SetListingText;
    void SetListingText(std::shared_ptr<const std::string> text) override;
    void RepaintOwner() override;
    void SetFocus() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    int GetLineCount() override { return lines.GetLineCount(); }
    void LineScroll(int lineDelta) override;
    int LineFromChar(int position) override { return lines.LineFromChar(position); }
    void Highlight(int start, int end) override;
    void UpdateLineIndicator();

    // The selection as listing byte offsets, the start never above the end.
    int GetSelectionStart() const;
    int GetSelectionEnd() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void HighlightCaretLine();
    int ToWidgetPosition(int offset) const;
    int ToListingOffset(int widgetPosition) const;

    CControllerDlg* owner = nullptr;
    QLabel* lineIndicator = nullptr;
    CListingLines lines;
    int highlightStart = 0;
    int highlightEnd = 0;
};
