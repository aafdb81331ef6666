// The program editor: a read-only view of the listing text in which the
// current word is selected. It draws only the lines in sight, straight from
// the loader's listing bytes, so that a listing of millions of lines shows
// at once. Its positions are the listing's byte offsets, so the loader's
// word spans select exactly their words; it remembers the span to select
// again when it regains the focus, keeps the panel's line indicator up to
// date and turns F4, F8, F9 and F10 into the panel's stepping commands.
// What those commands do is the program cursor's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QAbstractScrollArea>
#include <QRawFont>

#include "listing_lines.h"
#include "panel_interfaces.h"

class CControllerDlg;
class QLabel;
class QPainter;

class CCncEditBoxCtrl : public QAbstractScrollArea, public IProgramView {
    Q_OBJECT

public:
    // How a key moves the caret.
    enum CaretMove {
        MOVE_NEXT_CHAR,
        MOVE_PREVIOUS_CHAR,
        MOVE_NEXT_WORD,
        MOVE_PREVIOUS_WORD,
        MOVE_NEXT_LINE,
        MOVE_PREVIOUS_LINE,
        MOVE_NEXT_PAGE,
        MOVE_PREVIOUS_PAGE,
        MOVE_LINE_START,
        MOVE_LINE_END,
        MOVE_TEXT_START,
        MOVE_TEXT_END,
    };
    // Whether the caret drags the selection along.
    enum SelectionMode { SELECTION_DROP, SELECTION_EXTEND };

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
    // Selects [start, end) with the caret at end, scrolls the caret into
    // view and updates the line indicator.
    void Highlight(int start, int end) override;
    void UpdateLineIndicator();

    // The selection as listing byte offsets, the start never above the end.
    int GetSelectionStart() const;
    int GetSelectionEnd() const;
    int GetCaretPosition() const { return caret; }
    // The selection as Ctrl+C copies it: each byte the character drawn for
    // it, a tab a tab, each line break "\n".
    QString GetSelectedText() const;
    int GetFirstVisibleLine() const { return firstLine; }
    // The character cell of a position, in viewport pixels.
    QRect GetCharRect(int position) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    enum ScrollMode { SCROLL_NONE, SCROLL_TO_CARET };

    void Select(int start, int end, ScrollMode scroll);
    void HighlightCaretLine();
    bool HandleEditingKey(QKeyEvent* event);
    void MoveCaret(CaretMove move, SelectionMode selection);
    int TargetOf(CaretMove move);
    void SelectAll();
    void CopySelection();

    void UpdateMetrics();
    void UpdateScrollBars();
    void SetFirstLine(std::int64_t line);
    void SyncScrollBar();
    void EnsureCaretVisible();
    int FullyVisibleLineCount() const;
    int MaxFirstLine() const;

    std::int64_t LineEnd(int line) const;
    bool HasTab(int line) const;
    // Tabs stop at every eighth column; every other byte takes one column.
    std::int64_t ColumnInLine(int line, std::int64_t offset) const;
    // The position whose cell boundary lies nearest to column.
    int OffsetAtColumn(int line, double column) const;
    int PositionAt(const QPoint& point) const;
    bool IsBreakSelected(int line) const;
    // The columns of line that the selection covers; false when none.
    bool SelectedColumns(int line, std::int64_t& fromColumn, std::int64_t& toColumn) const;
    QString LineCells(int line, std::int64_t firstColumn, std::int64_t columnCount) const;
    void DrawCells(QPainter& painter, const QPointF& origin, const QString& cells) const;
    std::int64_t LongestLineColumns() const;

    CControllerDlg* owner = nullptr;
    QLabel* lineIndicator = nullptr;
    // The indicator's width on the form.
    int indicatorWidth = 0;
    std::shared_ptr<const std::string> listing;
    CListingLines lines;
    // Widest line in columns; the horizontal scroll range, set once a listing.
    std::int64_t longestLineColumns = 0;
    int anchor = 0;
    int caret = 0;
    // The column that up, down and the page keys aim at, so the caret keeps
    // its column across short lines.
    std::int64_t preferredColumn = 0;
    int firstLine = 0;
    bool scrollBarPending = false;
    int highlightStart = 0;
    int highlightEnd = 0;
    // Where a left press placed the caret, the anchor of a drag.
    int pressPosition = 0;
    bool pressed = false;
    bool dragging = false;
    QRawFont rawFont;
    int cellWidth = 1;
    int lineHeight = 1;
    int ascent = 0;
};
