#include "cnc_edit_box_ctrl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include <QApplication>
#include <QHelpEvent>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include "code_page_1252.h"
#include "control_ids.h"
#include "listing_font.h"

namespace {

// The room a text edit leaves between its frame and the text.
constexpr int TEXT_MARGIN = 4;

// The context menu of Qt's own text views, under their translation context,
// so that Qt's translations give these entries the user's language as they
// give them to every other text view.
const char* const MENU_CONTEXT = "QWidgetTextControl";
const char* const COPY_TEXT = "&Copy";
const char* const SELECT_ALL_TEXT = "Select All";

struct KeyMove {
    QKeySequence::StandardKey key;
    CCncEditBoxCtrl::CaretMove move;
    CCncEditBoxCtrl::SelectionMode selection;
};

// The keys that move the caret, as the platform binds them.
constexpr KeyMove KEY_MOVES[] = {
    {QKeySequence::MoveToNextChar, CCncEditBoxCtrl::MOVE_NEXT_CHAR, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToPreviousChar, CCncEditBoxCtrl::MOVE_PREVIOUS_CHAR, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToNextWord, CCncEditBoxCtrl::MOVE_NEXT_WORD, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToPreviousWord, CCncEditBoxCtrl::MOVE_PREVIOUS_WORD, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToNextLine, CCncEditBoxCtrl::MOVE_NEXT_LINE, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToPreviousLine, CCncEditBoxCtrl::MOVE_PREVIOUS_LINE, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToNextPage, CCncEditBoxCtrl::MOVE_NEXT_PAGE, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToPreviousPage, CCncEditBoxCtrl::MOVE_PREVIOUS_PAGE, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToStartOfLine, CCncEditBoxCtrl::MOVE_LINE_START, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToEndOfLine, CCncEditBoxCtrl::MOVE_LINE_END, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToStartOfDocument, CCncEditBoxCtrl::MOVE_TEXT_START, CListingSelection::SELECTION_DROP},
    {QKeySequence::MoveToEndOfDocument, CCncEditBoxCtrl::MOVE_TEXT_END, CListingSelection::SELECTION_DROP},
    {QKeySequence::SelectNextChar, CCncEditBoxCtrl::MOVE_NEXT_CHAR, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousChar, CCncEditBoxCtrl::MOVE_PREVIOUS_CHAR, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectNextWord, CCncEditBoxCtrl::MOVE_NEXT_WORD, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousWord, CCncEditBoxCtrl::MOVE_PREVIOUS_WORD, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectNextLine, CCncEditBoxCtrl::MOVE_NEXT_LINE, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousLine, CCncEditBoxCtrl::MOVE_PREVIOUS_LINE, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectNextPage, CCncEditBoxCtrl::MOVE_NEXT_PAGE, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousPage, CCncEditBoxCtrl::MOVE_PREVIOUS_PAGE, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectStartOfLine, CCncEditBoxCtrl::MOVE_LINE_START, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectEndOfLine, CCncEditBoxCtrl::MOVE_LINE_END, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectStartOfDocument, CCncEditBoxCtrl::MOVE_TEXT_START, CListingSelection::SELECTION_EXTEND},
    {QKeySequence::SelectEndOfDocument, CCncEditBoxCtrl::MOVE_TEXT_END, CListingSelection::SELECTION_EXTEND},
};

bool IsBlank(char byte) { return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n'; }

} // namespace

CCncEditBoxCtrl::CCncEditBoxCtrl() : listing(std::make_shared<const std::string>())
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    setFont(CListingFont::Font());
    UpdateMetrics();
    UpdateScrollBars();
}

void CCncEditBoxCtrl::Create(const QRect& rect, QWidget* parent, int controlId)
{
    setParent(parent);
    setGeometry(rect);
    setProperty(CONTROL_ID_PROPERTY, controlId);
    show();
}

void CCncEditBoxCtrl::SetListingText(std::shared_ptr<const std::string> text)
{
    listing = text != nullptr ? std::move(text) : std::make_shared<const std::string>();
    lines.Build(listing->data(), listing->size());
    longestLineColumns = LongestLineColumns();
    selection.Reset();
    // The line count has changed even where the selection has not.
    toldAnchor = -1;
    toldCaret = -1;
    SetFirstLine(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    Highlight(0, 0);
    HighlightCaretLine();
    viewport()->update();
}

void CCncEditBoxCtrl::RepaintOwner() { emit RepaintRequested(); }

void CCncEditBoxCtrl::SetFocus() { setFocus(Qt::OtherFocusReason); }

void CCncEditBoxCtrl::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void CCncEditBoxCtrl::EndWaitCursor() { QApplication::restoreOverrideCursor(); }

void CCncEditBoxCtrl::LineScroll(int lineDelta)
{
    SetFirstLine(static_cast<std::int64_t>(selection.GetFirstVisibleLine()) + lineDelta);
}

void CCncEditBoxCtrl::Highlight(int start, int end)
{
    // A command may highlight while its window is not active (a load right
    // after the file dialog closed, or at start-up): no focus event comes
    // in between to remember the span, and the activation that follows must
    // show this word, not what was selected before.
    if (start != end) {
        highlightStart = start;
        highlightEnd = end;
    }
    Select(start, end, SCROLL_TO_CARET);
}

CProgramViewState CCncEditBoxCtrl::SaveViewState() { return selection.SaveState(highlightStart, highlightEnd); }

void CCncEditBoxCtrl::RestoreViewState(const CProgramViewState& state)
{
    selection.RestoreState(state);
    preferredColumn = ColumnInLine(GetCaretLine(), selection.GetCaret());
    highlightStart = state.rememberedStart;
    highlightEnd = state.rememberedEnd;
    SetFirstLine(state.firstVisibleLine);
    TellSelection();
    viewport()->update();
}

QString CCncEditBoxCtrl::GetSelectedText() const
{
    const std::int64_t start = GetSelectionStart();
    const std::int64_t end = GetSelectionEnd();
    QString text;
    if (start == end)
        return text;
    const char* bytes = listing->data();
    const int lastLine = lines.LineFromChar(end);
    for (int line = lines.LineFromChar(start); line <= lastLine; ++line) {
        const std::int64_t from = std::max(start, lines.GetLineStart(line));
        const std::int64_t to = std::min(end, LineEnd(line));
        for (std::int64_t index = from; index < to; ++index) {
            const auto byte = static_cast<unsigned char>(bytes[index]);
            text.append(byte == '\t' ? QChar(u'\t') : Cp1252ToDisplayChar(byte));
        }
        if (IsBreakSelected(line))
            text.append(QLatin1Char('\n'));
    }
    return text;
}

bool CCncEditBoxCtrl::IsBreakSelected(int line) const
{
    // A line break counts once it is selected whole.
    if (line + 1 >= lines.GetLineCount())
        return false;
    const std::int64_t next = lines.GetLineStart(line + 1);
    return GetSelectionStart() < next && GetSelectionEnd() >= next;
}

bool CCncEditBoxCtrl::SelectedColumns(int line, std::int64_t& fromColumn, std::int64_t& toColumn) const
{
    const std::int64_t lineStart = lines.GetLineStart(line);
    const std::int64_t from = std::max<std::int64_t>(GetSelectionStart(), lineStart);
    const std::int64_t to = std::min<std::int64_t>(GetSelectionEnd(), LineEnd(line));
    const CLineColumns columns = Columns(line);
    fromColumn = columns.ColumnOf(from - lineStart);
    toColumn = from < to ? columns.ColumnOf(to - lineStart) : fromColumn;
    // A selected line break shows as one cell behind the line.
    if (IsBreakSelected(line))
        ++toColumn;
    return GetSelectionEnd() > lineStart && toColumn > fromColumn;
}

QRect CCncEditBoxCtrl::GetCharRect(int position) const
{
    const int line = lines.LineFromChar(position);
    const std::int64_t column = ColumnInLine(line, position);
    const std::int64_t x = TEXT_MARGIN - horizontalScrollBar()->value() + column * cellWidth;
    const std::int64_t y =
        TEXT_MARGIN + (static_cast<std::int64_t>(line) - selection.GetFirstVisibleLine()) * lineHeight;
    return QRect(static_cast<int>(std::clamp<std::int64_t>(x, INT_MIN / 2, INT_MAX / 2)),
                 static_cast<int>(std::clamp<std::int64_t>(y, INT_MIN / 2, INT_MAX / 2)), cellWidth, lineHeight);
}

void CCncEditBoxCtrl::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().brush(QPalette::Base));
    painter.setFont(font());
    const int horizontalOffset = horizontalScrollBar()->value();
    const int left = TEXT_MARGIN - horizontalOffset;
    const std::int64_t firstColumn = std::max(0, horizontalOffset - TEXT_MARGIN) / cellWidth;
    const std::int64_t columnCount = viewport()->width() / cellWidth + 2;
    const int firstLine = selection.GetFirstVisibleLine();
    const int lastLine = std::min(lines.GetLineCount() - 1, firstLine + viewport()->height() / lineHeight + 1);
    // The highlight is the selection, shown while the editor has the focus;
    // the remembered span is selected again when the focus returns. While
    // another window of the program is active (the toolpath window and its
    // step buttons), the word stays marked in the inactive colour as long as
    // the keys come back here with the focus; a button of the panel itself
    // taking the focus still hides it.
    const bool focused = hasFocus();
    const QWidget* activeWindow = QApplication::activeWindow();
    const bool keptForOtherWindow = !focused && activeWindow != nullptr && activeWindow != window() &&
                                    window()->focusWidget() == this;
    const bool showSelection = (focused || keptForOtherWindow) && !selection.IsEmpty();
    const QPalette::ColorGroup group = focused ? QPalette::Active : QPalette::Inactive;
    const QColor text = palette().color(QPalette::Active, QPalette::Text);
    const QColor highlightedText = palette().color(group, QPalette::HighlightedText);
    const QBrush highlight = palette().brush(group, QPalette::Highlight);
    for (int line = firstLine; line <= lastLine; ++line) {
        const int top = TEXT_MARGIN + (line - firstLine) * lineHeight;
        const QString cells = LineCells(line, firstColumn, columnCount);
        const QPointF origin(left + static_cast<double>(firstColumn) * cellWidth, top + ascent);
        painter.setPen(text);
        DrawCells(painter, origin, cells);
        std::int64_t fromColumn = 0;
        std::int64_t toColumn = 0;
        if (!showSelection || !SelectedColumns(line, fromColumn, toColumn))
            continue;
        fromColumn = std::max(fromColumn, firstColumn);
        toColumn = std::min(toColumn, firstColumn + columnCount);
        if (toColumn <= fromColumn)
            continue;
        const QRect selected(left + static_cast<int>(fromColumn) * cellWidth, top,
                             static_cast<int>(toColumn - fromColumn) * cellWidth, lineHeight);
        painter.fillRect(selected, highlight);
        painter.save();
        painter.setClipRect(selected);
        painter.setPen(highlightedText);
        DrawCells(painter, origin, cells);
        painter.restore();
    }
    if (focused) {
        const QRect cell = GetCharRect(selection.GetCaret());
        painter.fillRect(QRect(cell.left(), cell.top(), 1, cell.height()), text);
    }
}

void CCncEditBoxCtrl::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CCncEditBoxCtrl::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    // Whether another window is active decides whether the highlight shows.
    if (event->type() == QEvent::ActivationChange)
        viewport()->update();
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        UpdateScrollBars();
    }
}

void CCncEditBoxCtrl::scrollContentsBy(int, int)
{
    // The bar moved by the user, or by a range change; while a scroll of
    // the editor's own waits for it, the bar is the one behind.
    if (!scrollBarPending)
        selection.SetFirstVisibleLine(verticalScrollBar()->value());
    viewport()->update();
}

bool CCncEditBoxCtrl::FunctionKeyOf(int key, Qt::KeyboardModifiers modifiers, FunctionKey& functionKey)
{
    struct KeyRow {
        int key;
        FunctionKey functionKey;
    };
    static constexpr KeyRow KEYS[] = {
        {Qt::Key_F4, KEY_F4}, {Qt::Key_F5, KEY_F5}, {Qt::Key_F8, KEY_F8}, {Qt::Key_F9, KEY_F9}, {Qt::Key_F10, KEY_F10}};
    if (key != Qt::Key_F10 && (modifiers & Qt::AltModifier))
        return false;
    for (const KeyRow& row : KEYS) {
        if (row.key != key)
            continue;
        functionKey = key == Qt::Key_F10 && (modifiers & Qt::ShiftModifier) ? KEY_SHIFT_F10 : row.functionKey;
        return true;
    }
    return false;
}

void CCncEditBoxCtrl::keyPressEvent(QKeyEvent* event)
{
    FunctionKey functionKey = KEY_F4;
    const bool command = FunctionKeyOf(event->key(), event->modifiers(), functionKey);
    // F10 and every key pressed with Alt are system keys: F10 steps, and
    // nothing else happens, so Alt+F4 here does not close the panel.
    if (event->key() == Qt::Key_F10 || (event->modifiers() & Qt::AltModifier)) {
        event->accept();
        if (command)
            emit FunctionKeyPressed(functionKey);
        return;
    }
    if (command) {
        emit FunctionKeyPressed(functionKey);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The editor takes Enter as a multi-line edit does, so it does not
        // reach the panel's default button.
        event->accept();
        break;
    default:
        // Typing changes nothing; keys the editor has no use for (Escape
        // among them) go on to the panel.
        if (!HandleEditingKey(event))
            event->ignore();
        break;
    }
}

void CCncEditBoxCtrl::focusInEvent(QFocusEvent* event)
{
    // Tabbing in or a command shows the remembered span; after a click, a
    // menu or another window the view stays where the user left it, so a
    // click lands on the line it was aimed at.
    const Qt::FocusReason reason = event->reason();
    const ScrollMode scroll = reason == Qt::MouseFocusReason || reason == Qt::ActiveWindowFocusReason ||
                                      reason == Qt::PopupFocusReason
                                  ? SCROLL_NONE
                                  : SCROLL_TO_CARET;
    // Selecting before and after the default handling: whatever that selects,
    // the remembered span is selected when it is done.
    Select(highlightStart, highlightEnd, scroll);
    QAbstractScrollArea::focusInEvent(event);
    Select(highlightStart, highlightEnd, scroll);
    emit FocusGained();
}

void CCncEditBoxCtrl::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (!selection.IsEmpty()) {
        highlightStart = GetSelectionStart();
        highlightEnd = GetSelectionEnd();
    }
    viewport()->update();
    emit FocusLost();
}

void CCncEditBoxCtrl::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    emit LineClickStarting();
    pressPosition = PositionAt(event->position().toPoint());
    pressed = true;
    dragging = false;
    selection.MoveCaret(pressPosition, CListingSelection::SELECTION_DROP);
    HighlightCaretLine();
    emit LineClicked(GetCaretLine());
}

void CCncEditBoxCtrl::ClickAt(int position)
{
    emit LineClickStarting();
    selection.MoveCaret(position, CListingSelection::SELECTION_DROP);
    if (selection.EnsureCaretVisible())
        ScheduleScrollBarSync();
    HighlightCaretLine();
    emit LineClicked(GetCaretLine());
}

void CCncEditBoxCtrl::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (!pressed || !(event->buttons() & Qt::LeftButton))
        return;
    const int position = PositionAt(event->position().toPoint());
    if (!dragging && position == pressPosition)
        return;
    // Dragging selects from the press to the mouse, as in any text view.
    dragging = true;
    selection.Select(pressPosition, position);
    preferredColumn = ColumnInLine(GetCaretLine(), selection.GetCaret());
    EnsureCaretVisible();
    TellSelection();
    viewport()->update();
}

void CCncEditBoxCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton) {
        pressed = false;
        dragging = false;
    }
}

void CCncEditBoxCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    // The word under the mouse: the run of non-blank bytes around it.
    const char* bytes = listing->data();
    const int position = PositionAt(event->position().toPoint());
    const int line = lines.LineFromChar(position);
    const auto lineStart = static_cast<int>(lines.GetLineStart(line));
    const auto lineEnd = static_cast<int>(LineEnd(line));
    int start = position;
    int end = position;
    while (start > lineStart && !IsBlank(bytes[start - 1]))
        --start;
    while (end < lineEnd && !IsBlank(bytes[end]))
        ++end;
    if (start == end)
        return;
    pressed = false;
    Select(start, end, SCROLL_NONE);
}

void CCncEditBoxCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copy = menu.addAction(QCoreApplication::translate(MENU_CONTEXT, COPY_TEXT));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!selection.IsEmpty());
    connect(copy, &QAction::triggered, this, &CCncEditBoxCtrl::CopySelection);
    QAction* all = menu.addAction(QCoreApplication::translate(MENU_CONTEXT, SELECT_ALL_TEXT));
    all->setShortcut(QKeySequence::SelectAll);
    connect(all, &QAction::triggered, this, &CCncEditBoxCtrl::SelectAll);
    menu.exec(event->globalPos());
}

void CCncEditBoxCtrl::Select(int start, int end, ScrollMode scroll)
{
    selection.Select(start, end);
    preferredColumn = ColumnInLine(GetCaretLine(), selection.GetCaret());
    if (scroll == SCROLL_TO_CARET)
        EnsureCaretVisible();
    // A command ends with a highlight: from here on the scroll bar shows
    // where the view stands.
    if (scrollBarPending)
        SyncScrollBar();
    TellSelection();
    viewport()->update();
}

void CCncEditBoxCtrl::HighlightCaretLine()
{
    const int line = GetCaretLine();
    highlightStart = static_cast<int>(lines.GetLineStart(line));
    highlightEnd = static_cast<int>(LineEnd(line));
    // The line is in sight already; the caret at its end must not pull the
    // view sideways.
    Select(highlightStart, highlightEnd, SCROLL_NONE);
}

void CCncEditBoxCtrl::TellSelection()
{
    if (selection.GetAnchor() == toldAnchor && selection.GetCaret() == toldCaret)
        return;
    toldAnchor = selection.GetAnchor();
    toldCaret = selection.GetCaret();
    emit SelectionChanged();
}

bool CCncEditBoxCtrl::HandleEditingKey(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return true;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return true;
    }
    for (const KeyMove& keyMove : KEY_MOVES) {
        if (event->matches(keyMove.key)) {
            MoveCaret(keyMove.move, keyMove.selection);
            return true;
        }
    }
    return false;
}

void CCncEditBoxCtrl::MoveCaret(CaretMove move, SelectionMode mode)
{
    const bool vertical = move == MOVE_NEXT_LINE || move == MOVE_PREVIOUS_LINE || move == MOVE_NEXT_PAGE ||
                          move == MOVE_PREVIOUS_PAGE;
    int target = 0;
    if (mode == CListingSelection::SELECTION_DROP && !selection.IsEmpty() &&
        (move == MOVE_NEXT_CHAR || move == MOVE_PREVIOUS_CHAR)) {
        // A plain arrow key drops the selection at the side it points to.
        target = move == MOVE_NEXT_CHAR ? GetSelectionEnd() : GetSelectionStart();
    } else {
        target = TargetOf(move);
    }
    selection.MoveCaret(target, mode);
    if (!vertical)
        preferredColumn = ColumnInLine(GetCaretLine(), selection.GetCaret());
    EnsureCaretVisible();
    TellSelection();
    viewport()->update();
}

int CCncEditBoxCtrl::TargetOf(CaretMove move)
{
    const char* bytes = listing->data();
    const auto length = static_cast<int>(lines.GetTextLength());
    const int line = GetCaretLine();
    const int lastLine = lines.GetLineCount() - 1;
    const auto lineStart = static_cast<int>(lines.GetLineStart(line));
    const auto lineEnd = static_cast<int>(LineEnd(line));
    // A position inside a line break stands at the end of its line.
    int position = std::min(selection.GetCaret(), lineEnd);
    const int page = selection.GetVisibleLineCount();
    switch (move) {
    case MOVE_NEXT_CHAR:
        if (position < lineEnd)
            return position + 1;
        return line < lastLine ? static_cast<int>(lines.GetLineStart(line + 1)) : position;
    case MOVE_PREVIOUS_CHAR:
        if (position > lineStart)
            return position - 1;
        return line > 0 ? static_cast<int>(LineEnd(line - 1)) : position;
    case MOVE_NEXT_WORD:
        while (position < length && !IsBlank(bytes[position]))
            ++position;
        while (position < length && IsBlank(bytes[position]))
            ++position;
        return position;
    case MOVE_PREVIOUS_WORD:
        while (position > 0 && IsBlank(bytes[position - 1]))
            --position;
        while (position > 0 && !IsBlank(bytes[position - 1]))
            --position;
        return position;
    case MOVE_NEXT_LINE:
        return OffsetAtColumn(std::min(line + 1, lastLine), static_cast<double>(preferredColumn));
    case MOVE_PREVIOUS_LINE:
        return OffsetAtColumn(std::max(line - 1, 0), static_cast<double>(preferredColumn));
    case MOVE_NEXT_PAGE:
        // The view turns the page with the caret.
        LineScroll(page);
        return OffsetAtColumn(static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(line) + page, lastLine)),
                              static_cast<double>(preferredColumn));
    case MOVE_PREVIOUS_PAGE:
        LineScroll(-page);
        return OffsetAtColumn(std::max(line - page, 0), static_cast<double>(preferredColumn));
    case MOVE_LINE_START:
        return lineStart;
    case MOVE_LINE_END:
        return lineEnd;
    case MOVE_TEXT_START:
        return 0;
    case MOVE_TEXT_END:
        return length;
    }
    return selection.GetCaret();
}

void CCncEditBoxCtrl::SelectAll()
{
    selection.Select(0, lines.GetTextLength());
    preferredColumn = ColumnInLine(GetCaretLine(), selection.GetCaret());
    TellSelection();
    viewport()->update();
}

void CCncEditBoxCtrl::CopySelection()
{
    if (!selection.IsEmpty())
        QGuiApplication::clipboard()->setText(GetSelectedText());
}

void CCncEditBoxCtrl::UpdateMetrics()
{
    const QFontMetricsF metrics(font());
    // Whole pixels keep the cells of every line on one grid.
    cellWidth = std::max(1, qRound(metrics.horizontalAdvance(QLatin1Char('0'))));
    const QFontMetrics whole(font());
    lineHeight = std::max(1, whole.lineSpacing());
    ascent = whole.ascent();
    rawFont = QRawFont::fromFont(font());
    viewport()->update();
}

void CCncEditBoxCtrl::UpdateScrollBars()
{
    selection.SetVisibleLineCount(FullyVisibleLineCount());
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, selection.GetLastFirstLine());
    vertical->setPageStep(selection.GetVisibleLineCount());
    vertical->setSingleStep(1);
    // One cell more than the widest line: room for the caret behind it.
    const std::int64_t contentWidth = (longestLineColumns + 1) * cellWidth + 2 * TEXT_MARGIN;
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, static_cast<int>(std::clamp<std::int64_t>(contentWidth - viewport()->width(), 0, INT_MAX)));
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setSingleStep(cellWidth);
    ScheduleScrollBarSync();
}

void CCncEditBoxCtrl::SetFirstLine(std::int64_t line)
{
    selection.SetFirstVisibleLine(line);
    ScheduleScrollBarSync();
}

void CCncEditBoxCtrl::ScheduleScrollBarSync()
{
    // A run to the end scrolls once a block, millions of times; the scroll
    // bar follows once the run has returned.
    if (!scrollBarPending) {
        scrollBarPending = true;
        QMetaObject::invokeMethod(this, &CCncEditBoxCtrl::SyncScrollBar, Qt::QueuedConnection);
    }
}

void CCncEditBoxCtrl::SyncScrollBar()
{
    scrollBarPending = false;
    verticalScrollBar()->setValue(selection.GetFirstVisibleLine());
    viewport()->update();
}

void CCncEditBoxCtrl::EnsureCaretVisible()
{
    if (selection.EnsureCaretVisible())
        ScheduleScrollBarSync();
    // Sideways the caret comes to the middle, as in a text edit.
    QScrollBar* horizontal = horizontalScrollBar();
    const std::int64_t x = TEXT_MARGIN + ColumnInLine(GetCaretLine(), selection.GetCaret()) * cellWidth;
    const int width = viewport()->width();
    if (x < horizontal->value() || x + cellWidth > static_cast<std::int64_t>(horizontal->value()) + width)
        horizontal->setValue(static_cast<int>(std::clamp<std::int64_t>(x - width / 2, 0, INT_MAX)));
}

int CCncEditBoxCtrl::FullyVisibleLineCount() const
{
    return std::max(1, (viewport()->height() - TEXT_MARGIN) / lineHeight);
}

std::int64_t CCncEditBoxCtrl::LineEnd(int line) const { return lines.GetLineStart(line) + lines.GetLineLength(line); }

CLineColumns CCncEditBoxCtrl::Columns(int line) const
{
    return CLineColumns(listing->data() + lines.GetLineStart(line), lines.GetLineLength(line));
}

std::int64_t CCncEditBoxCtrl::ColumnInLine(int line, std::int64_t offset) const
{
    return Columns(line).ColumnOf(offset - lines.GetLineStart(line));
}

int CCncEditBoxCtrl::OffsetAtColumn(int line, double column) const
{
    return static_cast<int>(lines.GetLineStart(line) + Columns(line).OffsetNearest(column));
}

bool CCncEditBoxCtrl::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        emit ToolTipRequested(CharacterAt(help->pos()), help->globalPos());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

int CCncEditBoxCtrl::LineAt(const QPoint& point, double& column) const
{
    const int row = static_cast<int>(std::floor(static_cast<double>(point.y() - TEXT_MARGIN) / lineHeight));
    column = static_cast<double>(point.x() - TEXT_MARGIN + horizontalScrollBar()->value()) / cellWidth;
    return static_cast<int>(std::clamp<std::int64_t>(static_cast<std::int64_t>(selection.GetFirstVisibleLine()) + row,
                                                     0, lines.GetLineCount() - 1));
}

int CCncEditBoxCtrl::CharacterAt(const QPoint& point) const
{
    double column = 0.0;
    const int line = LineAt(point, column);
    return OffsetAtColumn(line, std::floor(column));
}

int CCncEditBoxCtrl::PositionAt(const QPoint& point) const
{
    double column = 0.0;
    const int line = LineAt(point, column);
    return OffsetAtColumn(line, column);
}

QString CCncEditBoxCtrl::LineCells(int line, std::int64_t firstColumn, std::int64_t columnCount) const
{
    QString cells;
    const char* bytes = listing->data();
    const std::int64_t start = lines.GetLineStart(line);
    const std::int64_t end = LineEnd(line);
    const std::int64_t lastColumn = firstColumn + columnCount;
    if (!Columns(line).HasTab()) {
        const std::int64_t from = std::min(start + firstColumn, end);
        const std::int64_t to = std::min(start + lastColumn, end);
        cells.reserve(static_cast<qsizetype>(to - from));
        for (std::int64_t index = from; index < to; ++index)
            cells.append(Cp1252ToDisplayChar(static_cast<unsigned char>(bytes[index])));
        return cells;
    }
    std::int64_t column = 0;
    for (std::int64_t index = start; index < end && column < lastColumn; ++index) {
        const std::int64_t next = CLineColumns::NextColumn(column, bytes[index]);
        const QChar shown = bytes[index] == '\t' ? QChar(u' ') : Cp1252ToDisplayChar(static_cast<unsigned char>(bytes[index]));
        for (std::int64_t cell = std::max(column, firstColumn); cell < std::min(next, lastColumn); ++cell)
            cells.append(shown);
        column = next;
    }
    return cells;
}

void CCncEditBoxCtrl::DrawCells(QPainter& painter, const QPointF& origin, const QString& cells) const
{
    // Glyphs placed cell by cell, so that a column is a column whatever the
    // face's own advances; a character the face lacks is drawn by the font
    // fallback in its cell.
    const QList<quint32> glyphs = rawFont.isValid() ? rawFont.glyphIndexesForString(cells) : QList<quint32>();
    QList<quint32> shownGlyphs;
    QList<QPointF> positions;
    shownGlyphs.reserve(cells.size());
    positions.reserve(cells.size());
    for (qsizetype index = 0; index < cells.size(); ++index) {
        if (cells[index] == QLatin1Char(' '))
            continue;
        const QPointF position(origin.x() + static_cast<double>(index) * cellWidth, origin.y());
        if (index < glyphs.size() && glyphs[index] != 0) {
            shownGlyphs.append(glyphs[index]);
            positions.append(position);
        } else {
            painter.drawText(position, QString(cells[index]));
        }
    }
    if (shownGlyphs.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(rawFont);
    run.setGlyphIndexes(shownGlyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(0, 0), run);
}

std::int64_t CCncEditBoxCtrl::LongestLineColumns() const
{
    std::int64_t longest = 0;
    for (int line = 0; line < lines.GetLineCount(); ++line)
        longest = std::max(longest, lines.GetLineLength(line));
    // Tabs widen their lines; most listings have none, and memchr finds that
    // out at memory speed.
    const char* bytes = listing->data();
    const char* const end = bytes + listing->size();
    const char* tab = static_cast<const char*>(std::memchr(bytes, '\t', listing->size()));
    while (tab != nullptr) {
        const int line = lines.LineFromChar(tab - bytes);
        longest = std::max(longest, Columns(line).GetWidth());
        const char* next = bytes + LineEnd(line);
        tab = next < end ? static_cast<const char*>(std::memchr(next, '\t', static_cast<std::size_t>(end - next)))
                         : nullptr;
    }
    return longest;
}
