// The program editor: a read-only view of the listing text in which the
// current word is selected. It draws only the lines in sight, straight from
// the loader's listing bytes, so that a listing of millions of lines shows
// at once. Its positions are the listing's byte offsets, so the loader's
// word spans select exactly their words; it remembers the span to select
// again when it regains the focus. It knows nothing of the panel: the
// command keys, clicks, focus and selection changes go out as signals, and
// the panel decides what they mean and keeps the line indicator.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QAbstractScrollArea>
#include <QRawFont>

#include "line_columns.h"
#include "listing_lines.h"
#include "listing_selection.h"
#include "panel_interfaces.h"

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
    using SelectionMode = CListingSelection::SelectionMode;
    // The keys that stand for the panel's commands. F10 and Shift+F10 come
    // as system keys, with or without further modifiers.
    enum FunctionKey { KEY_F4, KEY_F5, KEY_F8, KEY_F9, KEY_F10, KEY_SHIFT_F10 };
    Q_ENUM(FunctionKey)
    // The command key a key press stands for, if any; Alt makes every key
    // but F10 a system key that stands for none.
    static bool FunctionKeyOf(int key, Qt::KeyboardModifiers modifiers, FunctionKey& functionKey);

    CCncEditBoxCtrl();

    // Places the editor on parent at rect (parent client pixels) as control
    // controlId.
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
    // Selects [start, end) with the caret at end and scrolls the caret into
    // view. A span that is not empty is also what the editor selects again
    // when it regains the focus.
    void Highlight(int start, int end) override;
    CProgramViewState SaveViewState() override;
    void RestoreViewState(const CProgramViewState& state) override;

    // The selection as listing byte offsets, the start never above the end.
    int GetSelectionStart() const { return selection.GetSelectionStart(); }
    int GetSelectionEnd() const { return selection.GetSelectionEnd(); }
    int GetCaretPosition() const { return selection.GetCaret(); }
    int GetCaretLine() const { return selection.GetCaretLine(); }
    // The selection as Ctrl+C copies it: each byte the character drawn for
    // it, a tab a tab, each line break "\n".
    QString GetSelectedText() const;
    int GetFirstVisibleLine() const { return selection.GetFirstVisibleLine(); }
    // The lines the view shows whole.
    int GetVisibleLineCount() const { return selection.GetVisibleLineCount(); }
    // The character cell of a position, in viewport pixels.
    QRect GetCharRect(int position) const;
    // Selects the line holding position as a left click on it does, with
    // the same signals; the line is scrolled into sight first, as the
    // toolpath window may name one that is not.
    void ClickAt(int position);

signals:
    void FunctionKeyPressed(CCncEditBoxCtrl::FunctionKey key);
    // Before a left click changes the selection, so that it can be taken back.
    void LineClickStarting();
    // A left click selected the whole of line.
    void LineClicked(int line);
    void FocusGained();
    void FocusLost();
    // The caret or the anchor moved, or a new listing came in.
    void SelectionChanged();
    // The loader is about to read for a while: the panel should show itself
    // as it stands now.
    void RepaintRequested();
    // The mouse rests on the character at position.
    void ToolTipRequested(int position, const QPoint& globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
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
    // Emits SelectionChanged when the selection differs from the one told last.
    void TellSelection();
    bool HandleEditingKey(QKeyEvent* event);
    void MoveCaret(CaretMove move, SelectionMode selection);
    int TargetOf(CaretMove move);
    void SelectAll();
    void CopySelection();

    void UpdateMetrics();
    void UpdateScrollBars();
    void SetFirstLine(std::int64_t line);
    void ScheduleScrollBarSync();
    void SyncScrollBar();
    void EnsureCaretVisible();
    // The lines the viewport shows whole at the listing's face.
    int FullyVisibleLineCount() const;

    std::int64_t LineEnd(int line) const;
    CLineColumns Columns(int line) const;
    std::int64_t ColumnInLine(int line, std::int64_t offset) const;
    // The position whose cell boundary lies nearest to column.
    int OffsetAtColumn(int line, double column) const;
    // The line under point, and the column there in cells.
    int LineAt(const QPoint& point, double& column) const;
    int PositionAt(const QPoint& point) const;
    // The character whose cell holds point, rather than the nearest boundary.
    int CharacterAt(const QPoint& point) const;
    bool IsBreakSelected(int line) const;
    // The columns of line that the selection covers; false when none.
    bool SelectedColumns(int line, std::int64_t& fromColumn, std::int64_t& toColumn) const;
    QString LineCells(int line, std::int64_t firstColumn, std::int64_t columnCount) const;
    void DrawCells(QPainter& painter, const QPointF& origin, const QString& cells) const;
    std::int64_t LongestLineColumns() const;

    std::shared_ptr<const std::string> listing;
    CListingLines lines;
    CListingSelection selection{lines};
    // The selection as SelectionChanged last told it; -1 after a new listing.
    int toldAnchor = -1;
    int toldCaret = -1;
    // Widest line in columns; the horizontal scroll range, set once a listing.
    std::int64_t longestLineColumns = 0;
    // The column that up, down and the page keys aim at, so the caret keeps
    // its column across short lines.
    std::int64_t preferredColumn = 0;
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
