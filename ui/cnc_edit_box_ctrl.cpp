#include "cnc_edit_box_ctrl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include "code_page_1252.h"
#include "control_ids.h"
#include "controller_dlg.h"

namespace {

constexpr double LISTING_POINT_SIZE = 8.5;
// The room a text edit leaves between its frame and the text.
constexpr int TEXT_MARGIN = 4;
constexpr std::int64_t TAB_STOP = 8;
constexpr char16_t CONTROL_PICTURES = 0x2400;
constexpr char16_t DELETE_PICTURE = 0x2421;

constexpr double SMALLEST_INDICATOR_POINT_SIZE = 6.0;
constexpr double INDICATOR_POINT_STEP = 0.5;

const char* const COPY_TEXT = "&Copy";
const char* const SELECT_ALL_TEXT = "Select All";

struct KeyMove {
    QKeySequence::StandardKey key;
    CCncEditBoxCtrl::CaretMove move;
    CCncEditBoxCtrl::SelectionMode selection;
};

// The keys that move the caret, as the platform binds them.
constexpr KeyMove KEY_MOVES[] = {
    {QKeySequence::MoveToNextChar, CCncEditBoxCtrl::MOVE_NEXT_CHAR, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToPreviousChar, CCncEditBoxCtrl::MOVE_PREVIOUS_CHAR, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToNextWord, CCncEditBoxCtrl::MOVE_NEXT_WORD, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToPreviousWord, CCncEditBoxCtrl::MOVE_PREVIOUS_WORD, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToNextLine, CCncEditBoxCtrl::MOVE_NEXT_LINE, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToPreviousLine, CCncEditBoxCtrl::MOVE_PREVIOUS_LINE, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToNextPage, CCncEditBoxCtrl::MOVE_NEXT_PAGE, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToPreviousPage, CCncEditBoxCtrl::MOVE_PREVIOUS_PAGE, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToStartOfLine, CCncEditBoxCtrl::MOVE_LINE_START, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToEndOfLine, CCncEditBoxCtrl::MOVE_LINE_END, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToStartOfDocument, CCncEditBoxCtrl::MOVE_TEXT_START, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::MoveToEndOfDocument, CCncEditBoxCtrl::MOVE_TEXT_END, CCncEditBoxCtrl::SELECTION_DROP},
    {QKeySequence::SelectNextChar, CCncEditBoxCtrl::MOVE_NEXT_CHAR, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousChar, CCncEditBoxCtrl::MOVE_PREVIOUS_CHAR, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectNextWord, CCncEditBoxCtrl::MOVE_NEXT_WORD, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousWord, CCncEditBoxCtrl::MOVE_PREVIOUS_WORD, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectNextLine, CCncEditBoxCtrl::MOVE_NEXT_LINE, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousLine, CCncEditBoxCtrl::MOVE_PREVIOUS_LINE, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectNextPage, CCncEditBoxCtrl::MOVE_NEXT_PAGE, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectPreviousPage, CCncEditBoxCtrl::MOVE_PREVIOUS_PAGE, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectStartOfLine, CCncEditBoxCtrl::MOVE_LINE_START, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectEndOfLine, CCncEditBoxCtrl::MOVE_LINE_END, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectStartOfDocument, CCncEditBoxCtrl::MOVE_TEXT_START, CCncEditBoxCtrl::SELECTION_EXTEND},
    {QKeySequence::SelectEndOfDocument, CCncEditBoxCtrl::MOVE_TEXT_END, CCncEditBoxCtrl::SELECTION_EXTEND},
};

// Control bytes have no glyph of their own; their control pictures keep
// each byte one visible character.
QChar DisplayChar(unsigned char byte)
{
    if (byte < 0x20)
        return QChar(static_cast<char16_t>(CONTROL_PICTURES + byte));
    if (byte == 0x7F)
        return QChar(DELETE_PICTURE);
    return Cp1252ToChar(byte);
}

bool IsBlank(char byte) { return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n'; }

std::int64_t NextColumn(std::int64_t column, char byte)
{
    return byte == '\t' ? (column / TAB_STOP + 1) * TAB_STOP : column + 1;
}

// Font databases do not always flag a monospaced face as such; the widths of
// two unlike letters tell.
bool IsMonospaced(const QFont& font)
{
    const QFontMetricsF metrics(font);
    return metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W'));
}

QFont ListingFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setPointSizeF(LISTING_POINT_SIZE);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!IsMonospaced(font)) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(LISTING_POINT_SIZE);
    }
    font.setKerning(false);
    return font;
}

// Millions of lines need more room than the form gives the indicator: it
// takes what lies to its right, then a smaller face, rather than cut the
// count short; short counts get the form's width and face back.
void FitIndicator(QLabel& indicator, int formWidth)
{
    const QWidget* panel = indicator.parentWidget();
    if (panel == nullptr)
        return;
    const int room = std::max(formWidth, panel->width() - indicator.x());
    QFont face = panel->font();
    while (QFontMetrics(face).horizontalAdvance(indicator.text()) > room &&
           face.pointSizeF() - INDICATOR_POINT_STEP >= SMALLEST_INDICATOR_POINT_SIZE)
        face.setPointSizeF(face.pointSizeF() - INDICATOR_POINT_STEP);
    if (indicator.font() != face)
        indicator.setFont(face);
    const int width = std::clamp(QFontMetrics(face).horizontalAdvance(indicator.text()), formWidth, room);
    if (width != indicator.width())
        indicator.resize(width, indicator.height());
}

} // namespace

CCncEditBoxCtrl::CCncEditBoxCtrl() : listing(std::make_shared<const std::string>())
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    setFont(ListingFont());
    UpdateMetrics();
    UpdateScrollBars();
}

void CCncEditBoxCtrl::Create(const QRect& rect, QWidget* parent, int controlId)
{
    setParent(parent);
    setGeometry(rect);
    setProperty(CONTROL_ID_PROPERTY, controlId);
    owner = qobject_cast<CControllerDlg*>(parent);
    lineIndicator = nullptr;
    if (parent != nullptr) {
        for (QLabel* label : parent->findChildren<QLabel*>()) {
            if (label->property(CONTROL_ID_PROPERTY).toInt() == IDC_LINE_INDICATOR)
                lineIndicator = label;
        }
    }
    if (lineIndicator != nullptr)
        indicatorWidth = lineIndicator->width();
    show();
}

void CCncEditBoxCtrl::SetListingText(std::shared_ptr<const std::string> text)
{
    listing = text != nullptr ? std::move(text) : std::make_shared<const std::string>();
    lines.Build(listing->data(), listing->size());
    longestLineColumns = LongestLineColumns();
    anchor = 0;
    caret = 0;
    SetFirstLine(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    Highlight(0, 0);
    HighlightCaretLine();
    viewport()->update();
}

void CCncEditBoxCtrl::RepaintOwner()
{
    if (owner == nullptr)
        return;
    owner->FlushControlTexts();
    owner->repaint();
}

void CCncEditBoxCtrl::SetFocus() { setFocus(Qt::OtherFocusReason); }

void CCncEditBoxCtrl::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void CCncEditBoxCtrl::EndWaitCursor() { QApplication::restoreOverrideCursor(); }

void CCncEditBoxCtrl::LineScroll(int lineDelta) { SetFirstLine(static_cast<std::int64_t>(firstLine) + lineDelta); }

void CCncEditBoxCtrl::Highlight(int start, int end)
{
    Select(start, end, SCROLL_TO_CARET);
    UpdateLineIndicator();
}

void CCncEditBoxCtrl::UpdateLineIndicator()
{
    if (lineIndicator == nullptr)
        return;
    const int line = lines.LineFromChar(caret);
    lineIndicator->setText(QString::number(line + 1) + QLatin1Char('/') + QString::number(lines.GetLineCount()));
    FitIndicator(*lineIndicator, indicatorWidth);
}

int CCncEditBoxCtrl::GetSelectionStart() const { return std::min(anchor, caret); }

int CCncEditBoxCtrl::GetSelectionEnd() const { return std::max(anchor, caret); }

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
            text.append(byte == '\t' ? QChar(u'\t') : DisplayChar(byte));
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
    fromColumn = ColumnInLine(line, from);
    toColumn = from < to ? ColumnInLine(line, to) : fromColumn;
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
    const std::int64_t y = TEXT_MARGIN + static_cast<std::int64_t>(line - firstLine) * lineHeight;
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
    const int lastLine = std::min(lines.GetLineCount() - 1, firstLine + viewport()->height() / lineHeight + 1);
    // The highlight is the selection, shown only while the editor has the
    // focus; the remembered span is selected again when the focus returns.
    const bool focused = hasFocus();
    const bool showSelection = focused && anchor != caret;
    const QColor text = palette().color(QPalette::Active, QPalette::Text);
    const QColor highlightedText = palette().color(QPalette::Active, QPalette::HighlightedText);
    const QBrush highlight = palette().brush(QPalette::Active, QPalette::Highlight);
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
        const QRect cell = GetCharRect(caret);
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
        firstLine = verticalScrollBar()->value();
    viewport()->update();
}

void CCncEditBoxCtrl::keyPressEvent(QKeyEvent* event)
{
    // F10 and every key pressed with Alt are system keys: F10 steps, and
    // nothing else happens, so Alt+F4 here does not close the panel.
    if (event->key() == Qt::Key_F10 || (event->modifiers() & Qt::AltModifier)) {
        if (event->key() == Qt::Key_F10 && owner != nullptr)
            owner->OnNextWord();
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_F4:
        if (owner != nullptr)
            owner->OnReset();
        break;
    case Qt::Key_F8:
        if (owner != nullptr)
            owner->OnJumpToActual();
        break;
    case Qt::Key_F9:
        if (owner != nullptr)
            owner->OnRunTo();
        break;
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
    UpdateLineIndicator();
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
    UpdateLineIndicator();
    QAbstractScrollArea::focusInEvent(event);
    Select(highlightStart, highlightEnd, scroll);
    UpdateLineIndicator();
}

void CCncEditBoxCtrl::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (anchor != caret) {
        highlightStart = GetSelectionStart();
        highlightEnd = GetSelectionEnd();
    }
    viewport()->update();
}

void CCncEditBoxCtrl::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    pressPosition = PositionAt(event->position().toPoint());
    pressed = true;
    dragging = false;
    caret = pressPosition;
    HighlightCaretLine();
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
    anchor = pressPosition;
    caret = position;
    preferredColumn = ColumnInLine(lines.LineFromChar(caret), caret);
    EnsureCaretVisible();
    UpdateLineIndicator();
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
    UpdateLineIndicator();
}

void CCncEditBoxCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copy = menu.addAction(QString::fromLatin1(COPY_TEXT));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(anchor != caret);
    connect(copy, &QAction::triggered, this, &CCncEditBoxCtrl::CopySelection);
    QAction* all = menu.addAction(QString::fromLatin1(SELECT_ALL_TEXT));
    all->setShortcut(QKeySequence::SelectAll);
    connect(all, &QAction::triggered, this, &CCncEditBoxCtrl::SelectAll);
    menu.exec(event->globalPos());
}

void CCncEditBoxCtrl::Select(int start, int end, ScrollMode scroll)
{
    const auto length = static_cast<int>(lines.GetTextLength());
    anchor = std::clamp(start, 0, length);
    caret = std::clamp(end, 0, length);
    preferredColumn = ColumnInLine(lines.LineFromChar(caret), caret);
    if (scroll == SCROLL_TO_CARET)
        EnsureCaretVisible();
    // A command ends with a highlight: from here on the scroll bar shows
    // where the view stands.
    if (scrollBarPending)
        SyncScrollBar();
    viewport()->update();
}

void CCncEditBoxCtrl::HighlightCaretLine()
{
    const int line = lines.LineFromChar(caret);
    highlightStart = static_cast<int>(lines.GetLineStart(line));
    highlightEnd = static_cast<int>(LineEnd(line));
    // The line is in sight already; the caret at its end must not pull the
    // view sideways.
    Select(highlightStart, highlightEnd, SCROLL_NONE);
    UpdateLineIndicator();
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

void CCncEditBoxCtrl::MoveCaret(CaretMove move, SelectionMode selection)
{
    const bool vertical = move == MOVE_NEXT_LINE || move == MOVE_PREVIOUS_LINE || move == MOVE_NEXT_PAGE ||
                          move == MOVE_PREVIOUS_PAGE;
    if (selection == SELECTION_DROP && anchor != caret && (move == MOVE_NEXT_CHAR || move == MOVE_PREVIOUS_CHAR)) {
        // A plain arrow key drops the selection at the side it points to.
        caret = move == MOVE_NEXT_CHAR ? GetSelectionEnd() : GetSelectionStart();
    } else {
        caret = TargetOf(move);
    }
    if (selection == SELECTION_DROP)
        anchor = caret;
    if (!vertical)
        preferredColumn = ColumnInLine(lines.LineFromChar(caret), caret);
    EnsureCaretVisible();
    viewport()->update();
}

int CCncEditBoxCtrl::TargetOf(CaretMove move)
{
    const char* bytes = listing->data();
    const auto length = static_cast<int>(lines.GetTextLength());
    const int line = lines.LineFromChar(caret);
    const int lastLine = lines.GetLineCount() - 1;
    const auto lineStart = static_cast<int>(lines.GetLineStart(line));
    const auto lineEnd = static_cast<int>(LineEnd(line));
    // A position inside a line break stands at the end of its line.
    int position = std::min(caret, lineEnd);
    const int page = FullyVisibleLineCount();
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
    return caret;
}

void CCncEditBoxCtrl::SelectAll()
{
    anchor = 0;
    caret = static_cast<int>(lines.GetTextLength());
    preferredColumn = ColumnInLine(lines.LineFromChar(caret), caret);
    UpdateLineIndicator();
    viewport()->update();
}

void CCncEditBoxCtrl::CopySelection()
{
    if (anchor != caret)
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
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, MaxFirstLine());
    vertical->setPageStep(FullyVisibleLineCount());
    vertical->setSingleStep(1);
    // One cell more than the widest line: room for the caret behind it.
    const std::int64_t contentWidth = (longestLineColumns + 1) * cellWidth + 2 * TEXT_MARGIN;
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, static_cast<int>(std::clamp<std::int64_t>(contentWidth - viewport()->width(), 0, INT_MAX)));
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setSingleStep(cellWidth);
    SetFirstLine(firstLine);
}

void CCncEditBoxCtrl::SetFirstLine(std::int64_t line)
{
    firstLine = static_cast<int>(std::clamp<std::int64_t>(line, 0, MaxFirstLine()));
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
    verticalScrollBar()->setValue(firstLine);
    viewport()->update();
}

void CCncEditBoxCtrl::EnsureCaretVisible()
{
    const int line = lines.LineFromChar(caret);
    const int visible = FullyVisibleLineCount();
    if (line < firstLine)
        SetFirstLine(line);
    else if (line >= firstLine + visible)
        SetFirstLine(static_cast<std::int64_t>(line) - visible + 1);
    // Sideways the caret comes to the middle, as in a text edit.
    QScrollBar* horizontal = horizontalScrollBar();
    const std::int64_t x = TEXT_MARGIN + ColumnInLine(line, caret) * cellWidth;
    const int width = viewport()->width();
    if (x < horizontal->value() || x + cellWidth > static_cast<std::int64_t>(horizontal->value()) + width)
        horizontal->setValue(static_cast<int>(std::clamp<std::int64_t>(x - width / 2, 0, INT_MAX)));
}

int CCncEditBoxCtrl::FullyVisibleLineCount() const
{
    return std::max(1, (viewport()->height() - TEXT_MARGIN) / lineHeight);
}

int CCncEditBoxCtrl::MaxFirstLine() const { return std::max(0, lines.GetLineCount() - FullyVisibleLineCount()); }

std::int64_t CCncEditBoxCtrl::LineEnd(int line) const { return lines.GetLineStart(line) + lines.GetLineLength(line); }

bool CCncEditBoxCtrl::HasTab(int line) const
{
    const auto length = static_cast<std::size_t>(lines.GetLineLength(line));
    return length != 0 && std::memchr(listing->data() + lines.GetLineStart(line), '\t', length) != nullptr;
}

std::int64_t CCncEditBoxCtrl::ColumnInLine(int line, std::int64_t offset) const
{
    const std::int64_t start = lines.GetLineStart(line);
    const std::int64_t end = std::clamp(offset, start, LineEnd(line));
    if (!HasTab(line))
        return end - start;
    const char* bytes = listing->data();
    std::int64_t column = 0;
    for (std::int64_t index = start; index < end; ++index)
        column = NextColumn(column, bytes[index]);
    return column;
}

int CCncEditBoxCtrl::OffsetAtColumn(int line, double column) const
{
    const std::int64_t start = lines.GetLineStart(line);
    const std::int64_t length = lines.GetLineLength(line);
    if (!HasTab(line))
        return static_cast<int>(start + std::clamp<std::int64_t>(std::llround(column), 0, length));
    const char* bytes = listing->data();
    std::int64_t cellStart = 0;
    for (std::int64_t index = start; index < start + length; ++index) {
        const std::int64_t cellEnd = NextColumn(cellStart, bytes[index]);
        if (column < (cellStart + cellEnd) / 2.0)
            return static_cast<int>(index);
        cellStart = cellEnd;
    }
    return static_cast<int>(start + length);
}

int CCncEditBoxCtrl::PositionAt(const QPoint& point) const
{
    const int row = static_cast<int>(std::floor(static_cast<double>(point.y() - TEXT_MARGIN) / lineHeight));
    const int line = static_cast<int>(
        std::clamp<std::int64_t>(static_cast<std::int64_t>(firstLine) + row, 0, lines.GetLineCount() - 1));
    const double column = static_cast<double>(point.x() - TEXT_MARGIN + horizontalScrollBar()->value()) / cellWidth;
    return OffsetAtColumn(line, column);
}

QString CCncEditBoxCtrl::LineCells(int line, std::int64_t firstColumn, std::int64_t columnCount) const
{
    QString cells;
    const char* bytes = listing->data();
    const std::int64_t start = lines.GetLineStart(line);
    const std::int64_t end = LineEnd(line);
    const std::int64_t lastColumn = firstColumn + columnCount;
    if (!HasTab(line)) {
        const std::int64_t from = std::min(start + firstColumn, end);
        const std::int64_t to = std::min(start + lastColumn, end);
        cells.reserve(static_cast<qsizetype>(to - from));
        for (std::int64_t index = from; index < to; ++index)
            cells.append(DisplayChar(static_cast<unsigned char>(bytes[index])));
        return cells;
    }
    std::int64_t column = 0;
    for (std::int64_t index = start; index < end && column < lastColumn; ++index) {
        const std::int64_t next = NextColumn(column, bytes[index]);
        const QChar shown = bytes[index] == '\t' ? QChar(u' ') : DisplayChar(static_cast<unsigned char>(bytes[index]));
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
        longest = std::max(longest, ColumnInLine(line, LineEnd(line)));
        const char* next = bytes + LineEnd(line);
        tab = next < end ? static_cast<const char*>(std::memchr(next, '\t', static_cast<std::size_t>(end - next)))
                         : nullptr;
    }
    return longest;
}
