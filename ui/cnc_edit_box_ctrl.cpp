#include "cnc_edit_box_ctrl.h"

#include <algorithm>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTextBlock>

#include "code_page_1252.h"
#include "control_ids.h"
#include "controller_dlg.h"

namespace {

constexpr double LISTING_POINT_SIZE = 8.5;
constexpr char16_t CONTROL_PICTURES = 0x2400;
constexpr char16_t DELETE_PICTURE = 0x2421;

// Qt's text layout breaks lines at some control characters and draws nothing
// for others; their control pictures keep each byte one visible character
// on its own line.
QChar DisplayChar(unsigned char byte)
{
    if (byte == '\t')
        return QChar(u'\t');
    if (byte < 0x20)
        return QChar(static_cast<char16_t>(CONTROL_PICTURES + byte));
    if (byte == 0x7F)
        return QChar(DELETE_PICTURE);
    return Cp1252ToChar(byte);
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
    return font;
}

} // namespace

CCncEditBoxCtrl::CCncEditBoxCtrl()
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    setFont(ListingFont());
    // The highlight is the selection, shown only while the editor has the
    // focus; the remembered span is selected again when the focus returns.
    QPalette colors = palette();
    colors.setBrush(QPalette::Inactive, QPalette::Highlight, colors.brush(QPalette::Inactive, QPalette::Base));
    colors.setBrush(QPalette::Inactive, QPalette::HighlightedText, colors.brush(QPalette::Inactive, QPalette::Text));
    setPalette(colors);
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
    show();
}

void CCncEditBoxCtrl::SetListingText(std::shared_ptr<const std::string> listing)
{
    const char* text = listing->data();
    const std::size_t length = listing->size();
    lines.Build(text, length);
    QString display;
    display.reserve(static_cast<qsizetype>(length));
    for (int line = 0; line < lines.GetLineCount(); ++line) {
        if (line > 0)
            display.append(QLatin1Char('\n'));
        const auto start = static_cast<std::size_t>(lines.GetLineStart(line));
        const auto end = start + static_cast<std::size_t>(lines.GetLineLength(line));
        for (std::size_t index = start; index < end; ++index)
            display.append(DisplayChar(static_cast<unsigned char>(text[index])));
    }
    setPlainText(display);
    Highlight(0, 0);
    HighlightCaretLine();
}

void CCncEditBoxCtrl::RepaintOwner()
{
    if (owner != nullptr)
        owner->repaint();
}

void CCncEditBoxCtrl::SetFocus() { setFocus(Qt::OtherFocusReason); }

void CCncEditBoxCtrl::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void CCncEditBoxCtrl::EndWaitCursor() { QApplication::restoreOverrideCursor(); }

void CCncEditBoxCtrl::LineScroll(int lineDelta)
{
    QScrollBar* bar = verticalScrollBar();
    const long long target = static_cast<long long>(bar->value()) + lineDelta;
    bar->setValue(static_cast<int>(std::clamp<long long>(target, bar->minimum(), bar->maximum())));
}

void CCncEditBoxCtrl::Highlight(int start, int end)
{
    QTextCursor cursor(document());
    cursor.setPosition(ToWidgetPosition(start));
    cursor.setPosition(ToWidgetPosition(end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    UpdateLineIndicator();
}

void CCncEditBoxCtrl::UpdateLineIndicator()
{
    if (lineIndicator == nullptr)
        return;
    const int line = lines.LineFromChar(ToListingOffset(textCursor().position()));
    lineIndicator->setText(QString::number(line + 1) + QLatin1Char('/') + QString::number(lines.GetLineCount()));
}

int CCncEditBoxCtrl::GetSelectionStart() const { return ToListingOffset(textCursor().selectionStart()); }

int CCncEditBoxCtrl::GetSelectionEnd() const { return ToListingOffset(textCursor().selectionEnd()); }

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
        QPlainTextEdit::keyPressEvent(event);
        event->accept();
        break;
    default:
        QPlainTextEdit::keyPressEvent(event);
        break;
    }
    UpdateLineIndicator();
}

void CCncEditBoxCtrl::focusInEvent(QFocusEvent* event)
{
    // Selecting before and after the default handling: whatever that selects,
    // the remembered span is selected when it is done.
    Highlight(highlightStart, highlightEnd);
    QPlainTextEdit::focusInEvent(event);
    Highlight(highlightStart, highlightEnd);
}

void CCncEditBoxCtrl::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        highlightStart = ToListingOffset(cursor.selectionStart());
        highlightEnd = ToListingOffset(cursor.selectionEnd());
    }
}

void CCncEditBoxCtrl::mousePressEvent(QMouseEvent* event)
{
    QPlainTextEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        HighlightCaretLine();
}

void CCncEditBoxCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    // A press inside the selection waits for a drag and leaves the caret
    // where it was; without one, the release places the caret at the click
    // and drops the selection, and the click selects its line after all.
    if (event->button() == Qt::LeftButton && !textCursor().hasSelection())
        HighlightCaretLine();
}

void CCncEditBoxCtrl::HighlightCaretLine()
{
    const int line = lines.LineFromChar(ToListingOffset(textCursor().position()));
    highlightStart = static_cast<int>(lines.GetLineStart(line));
    highlightEnd = static_cast<int>(highlightStart + lines.GetLineLength(line));
    Highlight(highlightStart, highlightEnd);
}

int CCncEditBoxCtrl::ToWidgetPosition(int offset) const
{
    const std::int64_t clamped = std::clamp<std::int64_t>(offset, 0, lines.GetTextLength());
    const int line = lines.LineFromChar(clamped);
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid())
        return 0;
    // An offset inside a line break stands at the end of the line it ends.
    const std::int64_t column = std::min(clamped - lines.GetLineStart(line), lines.GetLineLength(line));
    return block.position() + static_cast<int>(column);
}

int CCncEditBoxCtrl::ToListingOffset(int widgetPosition) const
{
    const QTextBlock block = document()->findBlock(widgetPosition);
    if (!block.isValid())
        return static_cast<int>(lines.GetTextLength());
    const int line = block.blockNumber();
    const std::int64_t column = std::min<std::int64_t>(widgetPosition - block.position(), lines.GetLineLength(line));
    return static_cast<int>(lines.GetLineStart(line) + column);
}
