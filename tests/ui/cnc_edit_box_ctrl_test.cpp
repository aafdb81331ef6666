#include <memory>

#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

#include "cnc_edit_box_ctrl.h"
#include "control_ids.h"
#include "ui_test_support.h"

namespace {

// Twelve lines, ended as the loader ends program lines: a bare CR.
std::string TwelveLines()
{
    std::string text;
    for (int line = 1; line <= 12; ++line)
        text += "N" + std::to_string(line * 10) + " G01 X" + std::to_string(line) + " \r";
    return text;
}

QString LineText(int line) { return QStringLiteral("N%1 G01 X%2 ").arg(line * 10).arg(line); }

int CountPixels(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour)
                ++count;
        }
    }
    return count;
}

} // namespace

// The editor on a plain window with a line indicator and a button to take
// the focus; without a panel as owner, the command keys reach no one.
class CncEditBoxCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void looksLikeAProgramListing();
    void emptyListingShowsOneOfOne();
    void newListingSelectsFirstLine();
    void spanSelectsItsBytes_data();
    void spanSelectsItsBytes();
    void clickSelectsWholeLine_data();
    void clickSelectsWholeLine();
    void arrowKeysMoveIndicator_data();
    void arrowKeysMoveIndicator();
    void typingChangesNothing();
    void focusReturnSelectsRememberedSpan_data();
    void focusReturnSelectsRememberedSpan();
    void selectionShowsOnlyWithFocus();
    void systemKeysLeaveIndicatorAlone_data();
    void systemKeysLeaveIndicatorAlone();
    void lineScrollIsClamped_data();
    void lineScrollIsClamped();

private:
    void SetListing(const std::string& text) { editor->SetListingText(text.data(), text.size()); }

    std::unique_ptr<QWidget> window;
    CCncEditBoxCtrl* editor = nullptr;
    QLabel* indicator = nullptr;
    QPushButton* button = nullptr;
};

void CncEditBoxCtrlTest::init()
{
    window = std::make_unique<QWidget>();
    window->resize(500, 260);
    button = new QPushButton(QStringLiteral("Other"), window.get());
    button->setGeometry(420, 10, 70, 24);
    indicator = new QLabel(window.get());
    indicator->setGeometry(420, 50, 60, 14);
    indicator->setProperty(CONTROL_ID_PROPERTY, IDC_LINE_INDICATOR);
    editor = new CCncEditBoxCtrl();
    editor->Create(QRect(7, 5, 400, 100), window.get(), IDC_EDITOR);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void CncEditBoxCtrlTest::cleanup() { window.reset(); }

void CncEditBoxCtrlTest::looksLikeAProgramListing()
{
    QVERIFY(editor->isReadOnly());
    QCOMPARE(editor->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(editor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(editor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const QFontMetrics metrics(editor->font());
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    QCOMPARE(editor->font().pointSizeF(), 8.5);
    QCOMPARE(editor->geometry(), QRect(7, 5, 400, 100));
    QCOMPARE(editor->property(CONTROL_ID_PROPERTY).toInt(), int(IDC_EDITOR));
}

void CncEditBoxCtrlTest::emptyListingShowsOneOfOne()
{
    SetListing(std::string());
    QCOMPARE(editor->toPlainText(), QString());
    QVERIFY(!editor->textCursor().hasSelection());
    QCOMPARE(indicator->text(), QStringLiteral("1/1"));
}

void CncEditBoxCtrlTest::newListingSelectsFirstLine()
{
    SetListing(TwelveLines());
    QCOMPARE(editor->document()->blockCount(), 13);
    QCOMPARE(editor->textCursor().selectedText(), LineText(1));
    QCOMPARE(indicator->text(), QStringLiteral("1/13"));
    // Twelve lines without the break after the last one.
    std::string text = TwelveLines();
    text.pop_back();
    SetListing(text);
    QCOMPARE(indicator->text(), QStringLiteral("1/12"));
}

void CncEditBoxCtrlTest::spanSelectsItsBytes_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QString>("indicator");
    const QByteArray header("Demo part\r\n % \rN10 G00 X0 Y0 \r G01 X10 F100 (cut) \r");
    QTest::newRow("word after a CR LF header line") << header << 19 << 22 << QStringLiteral("G00") << 5 << QStringLiteral("3/5");
    QTest::newRow("word after bare CR lines") << header << 35 << 38 << QStringLiteral("X10") << 5 << QStringLiteral("4/5");
    QTest::newRow("comment") << header << 44 << 49 << QStringLiteral("(cut)") << 5 << QStringLiteral("4/5");
    QTest::newRow("two CR LF lines before the word")
        << QByteArray("A\r\nB\r\n% X1 \r") << 8 << 10 << QStringLiteral("X1") << 4 << QStringLiteral("3/4");
    QTest::newRow("bare LF lines count one break each")
        << QByteArray("A\nB\n\r\nX2") << 6 << 8 << QStringLiteral("X2") << 4 << QStringLiteral("4/4");
    QTest::newRow("CR then LF then CR LF")
        << QByteArray("a\rb\nc\r\nd") << 2 << 3 << QStringLiteral("b") << 4 << QStringLiteral("2/4");
    QTest::newRow("byte 141 stays inside its line")
        << QByteArray("G01 \x8D X5") << 6 << 8 << QStringLiteral("X5") << 1 << QStringLiteral("1/1");
    QTest::newRow("NUL and control bytes are one character each")
        << QByteArray("(a\0b\x0B\x0C\x1F) X7", 11) << 0 << 8 << QStringLiteral("(a\u2400b\u240B\u240C\u241F)") << 1
        << QStringLiteral("1/1");
    QTest::newRow("code page 1252 characters")
        << QByteArray("(L\xE4nge \x80) Z1") << 1 << 8 << QStringLiteral("L\u00E4nge \u20AC") << 1 << QStringLiteral("1/1");
    QTest::newRow("span across a CR LF break")
        << QByteArray("ab\r\ncd") << 1 << 5 << QStringLiteral("b\u2029c") << 2 << QStringLiteral("2/2");
    QTest::newRow("span beyond the text is clamped")
        << QByteArray("ab\rcd") << 3 << 99 << QStringLiteral("cd") << 2 << QStringLiteral("2/2");
}

void CncEditBoxCtrlTest::spanSelectsItsBytes()
{
    QFETCH(QByteArray, listing);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, selected);
    QFETCH(int, lineCount);
    QFETCH(QString, indicator);
    editor->SetListingText(listing.constData(), static_cast<std::size_t>(listing.size()));
    QCOMPARE(editor->document()->blockCount(), lineCount);
    QCOMPARE(editor->GetLineCount(), lineCount);
    editor->Highlight(start, end);
    QCOMPARE(editor->textCursor().selectedText(), selected);
    QCOMPARE(editor->GetSelectionStart(), start);
    QCOMPARE(editor->GetSelectionEnd(), std::min(end, int(listing.size())));
    QCOMPARE(this->indicator->text(), indicator);
}

void CncEditBoxCtrlTest::clickSelectsWholeLine_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::newRow("start of the fifth line") << 5 << 0;
    QTest::newRow("middle of the fifth line") << 5 << 6;
    QTest::newRow("middle of the first line, inside the selection") << 1 << 4;
    QTest::newRow("end of the third line") << 3 << 11;
}

void CncEditBoxCtrlTest::clickSelectsWholeLine()
{
    QFETCH(int, line);
    QFETCH(int, column);
    std::string text = TwelveLines();
    text.pop_back();
    SetListing(text);
    QTextCursor place(editor->document()->findBlockByNumber(line - 1));
    place.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
    const QPoint point = editor->cursorRect(place).center();
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QCOMPARE(editor->textCursor().selectedText(), LineText(line));
    QCOMPARE(indicator->text(), QStringLiteral("%1/12").arg(line));
    // The clicked line is the span the editor selects again after the focus
    // has been away.
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_Tab);
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->textCursor().selectedText(), LineText(line));
}

void CncEditBoxCtrlTest::arrowKeysMoveIndicator_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("indicator");
    QTest::newRow("down once") << QList<int>{Qt::Key_Down} << QStringLiteral("2/13");
    QTest::newRow("down four times") << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}
                                     << QStringLiteral("5/13");
    QTest::newRow("down and up") << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up} << QStringLiteral("2/13");
    QTest::newRow("to the end") << QList<int>{Qt::Key_End} << QStringLiteral("1/13");
    QTest::newRow("page down") << QList<int>{Qt::Key_PageDown} << QString();
}

void CncEditBoxCtrlTest::arrowKeysMoveIndicator()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, indicator);
    SetListing(TwelveLines());
    editor->setFocus();
    QVERIFY(editor->hasFocus());
    editor->Highlight(0, 0);
    for (int key : keys) {
        QTest::keyClick(editor, static_cast<Qt::Key>(key));
        // After every key the indicator shows the caret's line.
        QCOMPARE(this->indicator->text(),
                 QStringLiteral("%1/13").arg(editor->textCursor().blockNumber() + 1));
    }
    if (!indicator.isEmpty())
        QCOMPARE(this->indicator->text(), indicator);
    else
        QVERIFY(this->indicator->text() != QStringLiteral("1/13"));
}

void CncEditBoxCtrlTest::typingChangesNothing()
{
    SetListing(TwelveLines());
    const QString before = editor->toPlainText();
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("G01 X5"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCOMPARE(editor->toPlainText(), before);
}

void CncEditBoxCtrlTest::focusReturnSelectsRememberedSpan_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("selected");
    QTest::newRow("a word stays selected") << 20 << 22 << QStringLiteral("X2");
    QTest::newRow("an empty selection keeps the first line") << 20 << 20 << LineText(1);
}

void CncEditBoxCtrlTest::focusReturnSelectsRememberedSpan()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, selected);
    SetListing(TwelveLines());
    editor->setFocus();
    editor->Highlight(start, end);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Tab);
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->textCursor().selectedText(), selected);
}

void CncEditBoxCtrlTest::selectionShowsOnlyWithFocus()
{
    SetListing(TwelveLines());
    editor->setFocus();
    editor->Highlight(0, 30);
    const QRgb highlight = editor->palette().color(QPalette::Active, QPalette::Highlight).rgb();
    QVERIFY(CountPixels(editor->viewport()->grab().toImage(), highlight) > 0);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!editor->hasFocus());
    QVERIFY(editor->textCursor().hasSelection());
    QCOMPARE(CountPixels(editor->viewport()->grab().toImage(), highlight), 0);
}

void CncEditBoxCtrlTest::systemKeysLeaveIndicatorAlone_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("updates");
    QTest::newRow("F4 updates the indicator") << int(Qt::Key_F4) << int(Qt::NoModifier) << true;
    QTest::newRow("F8 updates the indicator") << int(Qt::Key_F8) << int(Qt::NoModifier) << true;
    QTest::newRow("F9 updates the indicator") << int(Qt::Key_F9) << int(Qt::NoModifier) << true;
    QTest::newRow("F10 is a system key") << int(Qt::Key_F10) << int(Qt::NoModifier) << false;
    QTest::newRow("Alt+F4 is a system key") << int(Qt::Key_F4) << int(Qt::AltModifier) << false;
    QTest::newRow("Alt+Down is a system key") << int(Qt::Key_Down) << int(Qt::AltModifier) << false;
}

void CncEditBoxCtrlTest::systemKeysLeaveIndicatorAlone()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, updates);
    SetListing(TwelveLines());
    editor->setFocus();
    // The caret moves without the indicator knowing.
    QTextCursor place(editor->document()->findBlockByNumber(3));
    editor->setTextCursor(place);
    QCOMPARE(indicator->text(), QStringLiteral("1/13"));
    QTest::keyClick(editor, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(indicator->text(), updates ? QStringLiteral("4/13") : QStringLiteral("1/13"));
    QCOMPARE(editor->textCursor().blockNumber(), 3);
    QVERIFY(window->isVisible());
}

void CncEditBoxCtrlTest::lineScrollIsClamped_data()
{
    QTest::addColumn<QList<int>>("scrolls");
    QTest::addColumn<int>("firstLine");
    QTest::newRow("down three") << QList<int>{3} << 3;
    QTest::newRow("up beyond the top") << QList<int>{2, -100} << 0;
    QTest::newRow("down beyond the bottom") << QList<int>{100000} << -1;
    QTest::newRow("the largest jump up") << QList<int>{5, INT_MIN} << 0;
}

void CncEditBoxCtrlTest::lineScrollIsClamped()
{
    QFETCH(QList<int>, scrolls);
    QFETCH(int, firstLine);
    std::string text;
    for (int line = 0; line < 60; ++line)
        text += " G01 X" + std::to_string(line) + " \r";
    SetListing(text);
    for (int lines : scrolls)
        editor->LineScroll(lines);
    const QScrollBar* bar = editor->verticalScrollBar();
    QCOMPARE(bar->value(), firstLine >= 0 ? firstLine : bar->maximum());
    QVERIFY(bar->maximum() > 3);
}

QTEST_MAIN(CncEditBoxCtrlTest)
#include "cnc_edit_box_ctrl_test.moc"
