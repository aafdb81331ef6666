#include <memory>

#include <QtTest>

#include <QClipboard>
#include <QMenu>
#include <QPushButton>
#include <QRawFont>
#include <QScrollBar>
#include <QSignalSpy>

#include "cnc_edit_box_ctrl.h"
#include "control_ids.h"
#include "listing_font.h"
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

// The byte offset of a 1-based line and a column in a text of bare CR lines.
int PositionOf(const std::string& text, int line, int column)
{
    std::size_t start = 0;
    for (int passed = 1; passed < line; ++passed)
        start = text.find('\r', start) + 1;
    return static_cast<int>(start) + column;
}

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

// Pixels of drawn text in a rectangle of the image: anything well darker
// than the white page.
int CountInk(const QImage& image, const QRect& area)
{
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                ++count;
        }
    }
    return count;
}

struct KeyPress {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

} // namespace

Q_DECLARE_METATYPE(QList<KeyPress>)

// The editor on a plain window with a button to take the focus. The line
// indicator is the panel's; the fixture keeps what it would show, from the
// editor's queries each time the editor says its selection changed.
class CncEditBoxCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void looksLikeAProgramListing();
    void drawsWithTheBundledFace();
    void longLinesScrollSideways();
    void emptyListingShowsOneOfOne();
    void newListingSelectsFirstLine();
    void spanSelectsItsBytes_data();
    void spanSelectsItsBytes();
    void linesAreDrawnWhereTheyStand();
    void tabsStopAtEveryEighthColumn_data();
    void tabsStopAtEveryEighthColumn();
    void clickSelectsWholeLine_data();
    void clickSelectsWholeLine();
    void dragSelectsFromPressToMouse();
    void doubleClickSelectsWord();
    void arrowKeysMoveIndicator_data();
    void arrowKeysMoveIndicator();
    void keysMoveCaret_data();
    void keysMoveCaret();
    void pageKeysTurnThePage();
    void wheelScrollsLines();
    void clickAfterWheelSelectsLineInSight();
    void copyPutsSelectionOnClipboard_data();
    void copyPutsSelectionOnClipboard();
    void contextMenuCopies();
    void typingChangesNothing();
    void focusReturnSelectsRememberedSpan_data();
    void focusReturnSelectsRememberedSpan();
    void selectionShowsOnlyWithFocus();
    void highlightWhileInactiveShowsOnActivation();
    void functionKeysAreReported_data();
    void functionKeysAreReported();
    void focusChangesAreReported();
    void clickReportsItsLine();
    void selectAllFromTheMenuIsReported();
    void sameSelectionIsNotReportedAgain();
    void repaintOwnerAsksThePanel();
    void lineScrollIsClamped_data();
    void lineScrollIsClamped();
    void hugeListingShowsItsEnd();

private:
    void SetListing(const std::string& text) { editor->SetListingText(text.data(), text.size()); }
    QImage Shown() const { return editor->viewport()->grab().toImage(); }

    std::unique_ptr<QWidget> window;
    CCncEditBoxCtrl* editor = nullptr;
    QString shownIndicator;
    // Every key the editor reported, in order.
    QList<CCncEditBoxCtrl::FunctionKey> functionKeys;
    QPushButton* button = nullptr;
};

void CncEditBoxCtrlTest::init()
{
    window = std::make_unique<QWidget>();
    window->resize(500, 260);
    button = new QPushButton(QStringLiteral("Other"), window.get());
    button->setGeometry(420, 10, 70, 24);
    shownIndicator.clear();
    functionKeys.clear();
    editor = new CCncEditBoxCtrl();
    editor->Create(QRect(7, 5, 400, 100), window.get(), IDC_EDITOR);
    connect(editor, &CCncEditBoxCtrl::SelectionChanged, this, [this]() {
        shownIndicator = QStringLiteral("%1/%2").arg(editor->GetCaretLine() + 1).arg(editor->GetLineCount());
    });
    connect(editor, &CCncEditBoxCtrl::FunctionKeyPressed, this,
            [this](CCncEditBoxCtrl::FunctionKey key) { functionKeys.append(key); });
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void CncEditBoxCtrlTest::cleanup() { window.reset(); }

void CncEditBoxCtrlTest::looksLikeAProgramListing()
{
    QCOMPARE(editor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(editor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(editor->verticalScrollBar()->isVisible());
    QVERIFY(editor->horizontalScrollBar()->isVisible());
    const QFontMetrics metrics(editor->font());
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    QCOMPARE(editor->font().pointSizeF(), 8.5);
    QCOMPARE(editor->geometry(), QRect(7, 5, 400, 100));
    QCOMPARE(editor->property(CONTROL_ID_PROPERTY).toInt(), int(IDC_EDITOR));
    QCOMPARE(editor->focusPolicy(), Qt::StrongFocus);
}

// CTest runs this also with fontconfig setups that lack Liberation Mono or
// match "Courier New" to another face: the view must draw the bundled file.
void CncEditBoxCtrlTest::drawsWithTheBundledFace()
{
    const QByteArray data = CListingFont::FontData();
    QVERIFY(!data.isEmpty());
    const QRawFont bundled(data, 12.0);
    const QRawFont used = QRawFont::fromFont(editor->font());
    QVERIFY(bundled.isValid());
    SetListing(TwelveLines());
    QCOMPARE(used.familyName(), bundled.familyName());
    // The header holds the whole file's checksum and the face's version.
    QCOMPARE(used.fontTable("head"), bundled.fontTable("head"));
    // Courier New's metrics at 8.5 pt: seven pixels a cell, six lines whole.
    QCOMPARE(editor->GetCharRect(1).left() - editor->GetCharRect(0).left(), 7);
    QCOMPARE(editor->GetVisibleLineCount(), 6);
}

void CncEditBoxCtrlTest::longLinesScrollSideways()
{
    // One line of 500 characters, then a short one: nothing wraps.
    const std::string longLine(500, 'X');
    SetListing(longLine + "\rN20\r");
    QCOMPARE(editor->GetLineCount(), 3);
    const QScrollBar* bar = editor->horizontalScrollBar();
    const int cell = editor->GetCharRect(0).width();
    QVERIFY(bar->maximum() >= 500 * cell - editor->viewport()->width());
    QVERIFY(bar->maximum() <= 502 * cell + 8 - editor->viewport()->width());
    // End takes the caret to the end of the long line, and the view follows.
    editor->setFocus();
    editor->Highlight(0, 0);
    QTest::keyClick(editor, Qt::Key_End);
    QCOMPARE(editor->GetCaretPosition(), 500);
    QVERIFY(bar->value() > 0);
    QVERIFY(editor->viewport()->rect().contains(editor->GetCharRect(500).topLeft()));
    QTest::keyClick(editor, Qt::Key_Home);
    QCOMPARE(bar->value(), 0);
}

void CncEditBoxCtrlTest::emptyListingShowsOneOfOne()
{
    SetListing(std::string());
    QCOMPARE(editor->GetLineCount(), 1);
    QCOMPARE(editor->GetSelectionStart(), 0);
    QCOMPARE(editor->GetSelectionEnd(), 0);
    QCOMPARE(editor->GetSelectedText(), QString());
    QCOMPARE(shownIndicator, QStringLiteral("1/1"));
    QCOMPARE(CountInk(Shown(), editor->viewport()->rect()), 0);
}

void CncEditBoxCtrlTest::newListingSelectsFirstLine()
{
    SetListing(TwelveLines());
    QCOMPARE(editor->GetLineCount(), 13);
    QCOMPARE(editor->GetSelectedText(), LineText(1));
    QCOMPARE(shownIndicator, QStringLiteral("1/13"));
    // Twelve lines without the break after the last one.
    std::string text = TwelveLines();
    text.pop_back();
    SetListing(text);
    QCOMPARE(shownIndicator, QStringLiteral("1/12"));
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
        << QByteArray("ab\r\ncd") << 1 << 5 << QStringLiteral("b\nc") << 2 << QStringLiteral("2/2");
    QTest::newRow("span ending inside a CR LF break leaves it out")
        << QByteArray("ab\r\ncd") << 0 << 3 << QStringLiteral("ab") << 2 << QStringLiteral("1/2");
    QTest::newRow("the last bare CR, as the end of a run selects it")
        << QByteArray("ab\rcd\r") << 5 << 6 << QStringLiteral("\n") << 3 << QStringLiteral("3/3");
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
    QCOMPARE(editor->GetLineCount(), lineCount);
    editor->Highlight(start, end);
    QCOMPARE(editor->GetSelectedText(), selected);
    QCOMPARE(editor->GetSelectionStart(), start);
    QCOMPARE(editor->GetSelectionEnd(), std::min(end, int(listing.size())));
    QCOMPARE(shownIndicator, indicator);
}

void CncEditBoxCtrlTest::linesAreDrawnWhereTheyStand()
{
    // Short lines above and below an empty one.
    SetListing("N10 G01 X1\r\rN30 G01 X3\r");
    editor->setFocus();
    editor->Highlight(0, 0);
    const QImage shown = Shown();
    const QRect first = editor->GetCharRect(0);
    const QRect empty = editor->GetCharRect(11);
    const QRect third = editor->GetCharRect(12);
    QCOMPARE(empty.top(), first.top() + first.height());
    QCOMPARE(third.top(), first.top() + 2 * first.height());
    const auto row = [&](const QRect& cell, int cells) {
        return QRect(cell.left(), cell.top(), cells * cell.width(), cell.height());
    };
    QVERIFY(CountInk(shown, row(first, 10)) > 20);
    QVERIFY(CountInk(shown, row(third, 10)) > 20);
    // Nothing but the caret in the empty line, nothing below the text.
    QCOMPARE(CountInk(shown, row(empty, 10).adjusted(2, 0, 0, 0)), 0);
    const QRect below(0, third.bottom() + 1 + third.height(), shown.width(), shown.height());
    QCOMPARE(CountInk(shown, below), 0);
}

void CncEditBoxCtrlTest::tabsStopAtEveryEighthColumn_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("column");
    QTest::newRow("a tab at the start") << QByteArray("\tX1") << 1 << 8;
    QTest::newRow("a tab after two characters") << QByteArray("G0\tX1") << 3 << 8;
    QTest::newRow("a tab one column before a stop takes one cell") << QByteArray("N10 G01\tX1") << 8 << 8;
    QTest::newRow("a tab on a stop takes eight cells") << QByteArray("N100 G01\tX1") << 9 << 16;
    QTest::newRow("two tabs") << QByteArray("\t\tX1") << 2 << 16;
}

void CncEditBoxCtrlTest::tabsStopAtEveryEighthColumn()
{
    QFETCH(QByteArray, listing);
    QFETCH(int, position);
    QFETCH(int, column);
    editor->SetListingText(listing.constData(), static_cast<std::size_t>(listing.size()));
    const QRect origin = editor->GetCharRect(0);
    const QRect cell = editor->GetCharRect(position);
    QCOMPARE(cell.left(), origin.left() + column * origin.width());
    // The X stands in its cell, and the tab before it leaves blank cells.
    editor->clearFocus();
    const QImage shown = Shown();
    QVERIFY(CountInk(shown, cell) > 0);
    const QRect blank(cell.left() - origin.width() + 1, cell.top(), origin.width() - 2, cell.height());
    QCOMPARE(CountInk(shown, blank), 0);
    // Copied, a tab stays a tab.
    editor->Highlight(0, position + 1);
    QCOMPARE(editor->GetSelectedText(), QString::fromLatin1(listing.left(position + 1)));
    // The caret steps over a tab in one press.
    editor->setFocus();
    editor->Highlight(position - 1, position - 1);
    QTest::keyClick(editor, Qt::Key_Right);
    QCOMPARE(editor->GetCaretPosition(), position);
}

void CncEditBoxCtrlTest::clickSelectsWholeLine_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::newRow("start of the fifth line") << 5 << 0;
    QTest::newRow("middle of the fifth line") << 5 << 6;
    QTest::newRow("middle of the first line, inside the selection") << 1 << 4;
    QTest::newRow("end of the third line") << 3 << 11;
    QTest::newRow("far right of the second line") << 2 << 40;
}

void CncEditBoxCtrlTest::clickSelectsWholeLine()
{
    QFETCH(int, line);
    QFETCH(int, column);
    std::string text = TwelveLines();
    text.pop_back();
    SetListing(text);
    const QRect lineStart = editor->GetCharRect(PositionOf(text, line, 0));
    const QPoint point = lineStart.center() + QPoint(column * lineStart.width(), 0);
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->GetSelectedText(), LineText(line));
    QCOMPARE(shownIndicator, QStringLiteral("%1/12").arg(line));
    // The clicked line is the span the editor selects again after the focus
    // has been away.
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_Tab);
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->GetSelectedText(), LineText(line));
}

void CncEditBoxCtrlTest::dragSelectsFromPressToMouse()
{
    const std::string text = TwelveLines();
    SetListing(text);
    const QRect from = editor->GetCharRect(PositionOf(text, 2, 4));
    const QRect to = editor->GetCharRect(PositionOf(text, 3, 3));
    QTest::mousePress(editor->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(from.left() + 1, from.center().y()));
    QTest::mouseMove(editor->viewport(), QPoint(to.left() + 1, to.center().y()));
    QTest::mouseRelease(editor->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(to.left() + 1, to.center().y()));
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G01 X2 \nN30"));
    QCOMPARE(shownIndicator, QStringLiteral("3/13"));
    // Remembered as any selection is when the focus leaves.
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_Tab);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G01 X2 \nN30"));
}

void CncEditBoxCtrlTest::doubleClickSelectsWord()
{
    const std::string text = TwelveLines();
    SetListing(text);
    const QRect cell = editor->GetCharRect(PositionOf(text, 4, 5));
    QTest::mouseDClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G01"));
    QCOMPARE(shownIndicator, QStringLiteral("4/13"));
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
    // Six lines fit the view whole: a page down moves the caret six lines.
    QTest::newRow("page down") << QList<int>{Qt::Key_PageDown} << QStringLiteral("7/13");
    QTest::newRow("page down twice") << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown} << QStringLiteral("13/13");
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
        QCOMPARE(shownIndicator,
                 QStringLiteral("%1/13").arg(editor->LineFromChar(editor->GetCaretPosition()) + 1));
    }
    QCOMPARE(shownIndicator, indicator);
}

void CncEditBoxCtrlTest::keysMoveCaret_data()
{
    // Lines: "N10 G01 X1 " at 0, "N20 G01 X2 " at 12, then a short "M3" at
    // 24, then "N40 G01 X4 " at 27.
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<KeyPress>>("keys");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("indicator");
    const Qt::KeyboardModifiers plain = Qt::NoModifier;
    QTest::newRow("right") << 0 << QList<KeyPress>{{Qt::Key_Right, plain}} << 1 << QString() << QStringLiteral("1/5");
    QTest::newRow("left at the start stays") << 0 << QList<KeyPress>{{Qt::Key_Left, plain}} << 0 << QString()
                                             << QStringLiteral("1/5");
    QTest::newRow("right at the line end goes to the next line")
        << 11 << QList<KeyPress>{{Qt::Key_Right, plain}} << 12 << QString() << QStringLiteral("2/5");
    QTest::newRow("left at a line start goes to the end before")
        << 12 << QList<KeyPress>{{Qt::Key_Left, plain}} << 11 << QString() << QStringLiteral("1/5");
    QTest::newRow("down keeps the column") << 5 << QList<KeyPress>{{Qt::Key_Down, plain}} << 17 << QString()
                                           << QStringLiteral("2/5");
    QTest::newRow("down over a short line keeps the column it aimed at")
        << 18 << QList<KeyPress>{{Qt::Key_Down, plain}, {Qt::Key_Down, plain}} << 33 << QString()
        << QStringLiteral("4/5");
    QTest::newRow("home") << 17 << QList<KeyPress>{{Qt::Key_Home, plain}} << 12 << QString() << QStringLiteral("2/5");
    QTest::newRow("end") << 13 << QList<KeyPress>{{Qt::Key_End, plain}} << 23 << QString() << QStringLiteral("2/5");
    QTest::newRow("ctrl+end") << 0 << QList<KeyPress>{{Qt::Key_End, Qt::ControlModifier}} << 39 << QString()
                              << QStringLiteral("5/5");
    QTest::newRow("ctrl+home") << 30 << QList<KeyPress>{{Qt::Key_Home, Qt::ControlModifier}} << 0 << QString()
                               << QStringLiteral("1/5");
    QTest::newRow("ctrl+right to the next word")
        << 0 << QList<KeyPress>{{Qt::Key_Right, Qt::ControlModifier}, {Qt::Key_Right, Qt::ControlModifier}} << 8
        << QString() << QStringLiteral("1/5");
    QTest::newRow("ctrl+left to the word before") << 17 << QList<KeyPress>{{Qt::Key_Left, Qt::ControlModifier}} << 16
                                                  << QString() << QStringLiteral("2/5");
    QTest::newRow("shift+right selects") << 4
                                         << QList<KeyPress>{{Qt::Key_Right, Qt::ShiftModifier},
                                                            {Qt::Key_Right, Qt::ShiftModifier},
                                                            {Qt::Key_Right, Qt::ShiftModifier}}
                                         << 7 << QStringLiteral("G01") << QStringLiteral("1/5");
    QTest::newRow("shift+down selects across the break")
        << 8 << QList<KeyPress>{{Qt::Key_Down, Qt::ShiftModifier}} << 20 << QStringLiteral("X1 \nN20 G01 ")
        << QStringLiteral("2/5");
    QTest::newRow("shift+end selects to the line end")
        << 24 << QList<KeyPress>{{Qt::Key_End, Qt::ShiftModifier}} << 26 << QStringLiteral("M3")
        << QStringLiteral("3/5");
    QTest::newRow("right drops a selection at its end")
        << 4 << QList<KeyPress>{{Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Right, plain}}
        << 6 << QString() << QStringLiteral("1/5");
    QTest::newRow("ctrl+a selects everything")
        << 4 << QList<KeyPress>{{Qt::Key_A, Qt::ControlModifier}} << 39
        << QStringLiteral("N10 G01 X1 \nN20 G01 X2 \nM3\nN40 G01 X4 \n") << QStringLiteral("5/5");
}

void CncEditBoxCtrlTest::keysMoveCaret()
{
    QFETCH(int, start);
    QFETCH(QList<KeyPress>, keys);
    QFETCH(int, caret);
    QFETCH(QString, selected);
    QFETCH(QString, indicator);
    SetListing("N10 G01 X1 \rN20 G01 X2 \rM3\rN40 G01 X4 \r");
    editor->setFocus();
    editor->Highlight(start, start);
    for (const KeyPress& press : keys)
        QTest::keyClick(editor, press.key, press.modifiers);
    QCOMPARE(editor->GetCaretPosition(), caret);
    QCOMPARE(editor->GetSelectedText(), selected);
    QCOMPARE(shownIndicator, indicator);
}

void CncEditBoxCtrlTest::pageKeysTurnThePage()
{
    std::string text;
    for (int line = 1; line <= 60; ++line)
        text += "N" + std::to_string(line) + "\r";
    SetListing(text);
    editor->setFocus();
    editor->Highlight(0, 0);
    const int page = editor->verticalScrollBar()->pageStep();
    QVERIFY(page >= 3);
    QTest::keyClick(editor, Qt::Key_PageDown);
    QCOMPARE(editor->LineFromChar(editor->GetCaretPosition()), page);
    QCOMPARE(editor->GetFirstVisibleLine(), page);
    QCOMPARE(shownIndicator, QStringLiteral("%1/61").arg(page + 1));
    QTest::keyClick(editor, Qt::Key_PageDown);
    QTest::keyClick(editor, Qt::Key_PageUp);
    QCOMPARE(editor->LineFromChar(editor->GetCaretPosition()), page);
    QCOMPARE(editor->GetFirstVisibleLine(), page);
    // The caret line is drawn in the view.
    QVERIFY(editor->viewport()->rect().contains(editor->GetCharRect(editor->GetCaretPosition())));
    QCoreApplication::processEvents();
    QCOMPARE(editor->verticalScrollBar()->value(), page);
}

void CncEditBoxCtrlTest::wheelScrollsLines()
{
    std::string text;
    for (int line = 1; line <= 60; ++line)
        text += "N" + std::to_string(line) + "\r";
    SetListing(text);
    const QPoint centre = editor->viewport()->rect().center();
    QWheelEvent down(centre, editor->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(editor->viewport(), &down);
    const int lines = QApplication::wheelScrollLines();
    QCOMPARE(editor->GetFirstVisibleLine(), lines);
    QCOMPARE(editor->verticalScrollBar()->value(), lines);
    // The line now at the top is drawn where the first one was.
    QCOMPARE(editor->GetCharRect(PositionOf(text, lines + 1, 0)).top(), 4);
    // The caret stays; the indicator with it.
    QCOMPARE(shownIndicator, QStringLiteral("1/61"));
}

void CncEditBoxCtrlTest::clickAfterWheelSelectsLineInSight()
{
    std::string text;
    for (int line = 1; line <= 60; ++line)
        text += "N" + std::to_string(line) + "\r";
    SetListing(text);
    QVERIFY(!editor->hasFocus());
    const QPoint centre = editor->viewport()->rect().center();
    QWheelEvent down(centre, editor->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -240), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(editor->viewport(), &down);
    const int top = editor->GetFirstVisibleLine();
    QVERIFY(top > 0);
    // The focus comes with the click; the view does not jump back to the
    // remembered first line before the click is placed.
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 4 + 2));
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->GetFirstVisibleLine(), top);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("N%1").arg(top + 1));
    QCOMPARE(shownIndicator, QStringLiteral("%1/61").arg(top + 1));
}

void CncEditBoxCtrlTest::copyPutsSelectionOnClipboard_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("copied");
    QTest::newRow("a word") << QByteArray("N10 G01 X5\r") << 4 << 7 << QStringLiteral("G01");
    QTest::newRow("two lines ended by CR LF and CR")
        << QByteArray("Demo\r\n%\rN10\r") << 0 << 8 << QStringLiteral("Demo\n%\n");
    QTest::newRow("code page 1252 text") << QByteArray("(L\xE4nge \x80)\r") << 0 << 9 << QStringLiteral("(L\u00E4nge \u20AC)");
    QTest::newRow("nothing selected leaves the clipboard alone") << QByteArray("N10\r") << 2 << 2
                                                                  << QStringLiteral("before");
}

void CncEditBoxCtrlTest::copyPutsSelectionOnClipboard()
{
    QFETCH(QByteArray, listing);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, copied);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    editor->SetListingText(listing.constData(), static_cast<std::size_t>(listing.size()));
    editor->setFocus();
    editor->Highlight(start, end);
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    // Copying moves nothing.
    QCOMPARE(editor->GetSelectionStart(), start);
    QCOMPARE(editor->GetSelectionEnd(), end);
}

void CncEditBoxCtrlTest::contextMenuCopies()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    SetListing(TwelveLines());
    editor->setFocus();
    editor->Highlight(4, 7);
    QStringList items;
    QTimer::singleShot(0, this, [&]() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        for (QAction* action : menu->actions())
            items.append(action->text());
        menu->actions().value(0)->trigger();
        menu->close();
    });
    const QPoint centre = editor->viewport()->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, centre, editor->viewport()->mapToGlobal(centre));
    QApplication::sendEvent(editor->viewport(), &request);
    QCOMPARE(items, (QStringList{QStringLiteral("&Copy"), QStringLiteral("Select All")}));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("G01"));
}

void CncEditBoxCtrlTest::typingChangesNothing()
{
    SetListing(TwelveLines());
    editor->setFocus();
    const QImage before = Shown();
    QTest::keyClicks(editor, QStringLiteral("G01 X5"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCOMPARE(Shown(), before);
    QCOMPARE(editor->GetSelectedText(), LineText(1));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(editor->GetSelectedText().toLatin1().replace('\n', '\r').toStdString(), TwelveLines());
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
    QCOMPARE(editor->GetSelectedText(), selected);
}

void CncEditBoxCtrlTest::selectionShowsOnlyWithFocus()
{
    SetListing(TwelveLines());
    editor->setFocus();
    editor->Highlight(0, 30);
    const QRgb highlight = editor->palette().color(QPalette::Active, QPalette::Highlight).rgb();
    QVERIFY(CountPixels(Shown(), highlight) > 0);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!editor->hasFocus());
    QCOMPARE(editor->GetSelectionEnd(), 30);
    QCOMPARE(CountPixels(Shown(), highlight), 0);
}

// A load behind the file dialog highlights while the panel is not active;
// when the panel is active again, the highlighted word is what shows.
void CncEditBoxCtrlTest::highlightWhileInactiveShowsOnActivation()
{
    SetListing(TwelveLines());
    editor->setFocus();
    QVERIFY(editor->hasFocus());
    QWidget dialog;
    dialog.resize(100, 50);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(!editor->hasFocus());
    SetListing(TwelveLines());
    editor->SetFocus();
    editor->Highlight(20, 22);
    dialog.close();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("X2"));
}

void CncEditBoxCtrlTest::functionKeysAreReported_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<CCncEditBoxCtrl::FunctionKey>>("reported");
    using Keys = QList<CCncEditBoxCtrl::FunctionKey>;
    QTest::newRow("F4") << int(Qt::Key_F4) << int(Qt::NoModifier) << Keys{CCncEditBoxCtrl::KEY_F4};
    QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier) << Keys{CCncEditBoxCtrl::KEY_F5};
    QTest::newRow("F8") << int(Qt::Key_F8) << int(Qt::NoModifier) << Keys{CCncEditBoxCtrl::KEY_F8};
    QTest::newRow("F9") << int(Qt::Key_F9) << int(Qt::NoModifier) << Keys{CCncEditBoxCtrl::KEY_F9};
    QTest::newRow("F10") << int(Qt::Key_F10) << int(Qt::NoModifier) << Keys{CCncEditBoxCtrl::KEY_F10};
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << Keys{CCncEditBoxCtrl::KEY_SHIFT_F10};
    QTest::newRow("Ctrl+F10 is F10") << int(Qt::Key_F10) << int(Qt::ControlModifier) << Keys{CCncEditBoxCtrl::KEY_F10};
    QTest::newRow("Alt+F10 is F10") << int(Qt::Key_F10) << int(Qt::AltModifier) << Keys{CCncEditBoxCtrl::KEY_F10};
    QTest::newRow("Alt+F4 is a system key, no command") << int(Qt::Key_F4) << int(Qt::AltModifier) << Keys{};
    QTest::newRow("Alt+Down is a system key, no move") << int(Qt::Key_Down) << int(Qt::AltModifier) << Keys{};
    QTest::newRow("F6 is no command key") << int(Qt::Key_F6) << int(Qt::NoModifier) << Keys{};
}

void CncEditBoxCtrlTest::functionKeysAreReported()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<CCncEditBoxCtrl::FunctionKey>, reported);
    const std::string text = TwelveLines();
    SetListing(text);
    editor->setFocus();
    editor->Highlight(PositionOf(text, 4, 0), PositionOf(text, 4, 0));
    QCOMPARE(shownIndicator, QStringLiteral("4/13"));
    QSignalSpy selectionChanges(editor, &CCncEditBoxCtrl::SelectionChanged);
    QTest::keyClick(editor, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(functionKeys, reported);
    // The keys leave the caret and the selection to the commands they stand for.
    QCOMPARE(selectionChanges.count(), 0);
    QCOMPARE(editor->GetCaretLine(), 3);
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
    QTest::newRow("the largest jump down") << QList<int>{5, INT_MAX} << -1;
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
    QVERIFY(bar->maximum() > 3);
    // The last line rests at the bottom of the view.
    QCOMPARE(bar->maximum(), 61 - bar->pageStep());
    const int expected = firstLine >= 0 ? firstLine : bar->maximum();
    QCOMPARE(editor->GetFirstVisibleLine(), expected);
    QCOMPARE(editor->GetCharRect(PositionOf(text, expected + 1, 0)).top(), 4);
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), expected);
}

void CncEditBoxCtrlTest::focusChangesAreReported()
{
    SetListing(TwelveLines());
    QSignalSpy gained(editor, &CCncEditBoxCtrl::FocusGained);
    QSignalSpy lost(editor, &CCncEditBoxCtrl::FocusLost);
    editor->SetFocus();
    QCOMPARE(gained.count(), 1);
    QCOMPARE(lost.count(), 0);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(lost.count(), 1);
    QTest::keyClick(button, Qt::Key_Tab);
    QCOMPARE(gained.count(), 2);
    // The remembered span is selected by the time the focus is told.
    QCOMPARE(editor->GetSelectedText(), LineText(1));
}

void CncEditBoxCtrlTest::clickReportsItsLine()
{
    const std::string text = TwelveLines();
    SetListing(text);
    QSignalSpy clicked(editor, &CCncEditBoxCtrl::LineClicked);
    const QRect third = editor->GetCharRect(PositionOf(text, 3, 2));
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 2);
    QCOMPARE(shownIndicator, QStringLiteral("3/13"));
    // A right click selects nothing and is no line click.
    QTest::mouseClick(editor->viewport(), Qt::RightButton, Qt::NoModifier, third.center() + QPoint(0, third.height()));
    QCOMPARE(clicked.count(), 1);
}

void CncEditBoxCtrlTest::selectAllFromTheMenuIsReported()
{
    SetListing(TwelveLines());
    editor->setFocus();
    editor->Highlight(4, 7);
    QCOMPARE(shownIndicator, QStringLiteral("1/13"));
    QTimer::singleShot(0, this, [&]() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QAction* all = menu->actions().value(1);
        QVERIFY(all != nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(all).center());
    });
    const QPoint centre = editor->viewport()->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, centre, editor->viewport()->mapToGlobal(centre));
    QApplication::sendEvent(editor->viewport(), &request);
    QCOMPARE(editor->GetSelectedText().toLatin1().replace('\n', '\r').toStdString(), TwelveLines());
    QCOMPARE(shownIndicator, QStringLiteral("13/13"));
}

void CncEditBoxCtrlTest::sameSelectionIsNotReportedAgain()
{
    SetListing(TwelveLines());
    editor->setFocus();
    editor->Highlight(4, 7);
    QSignalSpy changes(editor, &CCncEditBoxCtrl::SelectionChanged);
    editor->Highlight(4, 7);
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(changes.count(), 0);
    editor->Highlight(4, 8);
    QCOMPARE(changes.count(), 1);
}

void CncEditBoxCtrlTest::repaintOwnerAsksThePanel()
{
    QSignalSpy requests(editor, &CCncEditBoxCtrl::RepaintRequested);
    editor->RepaintOwner();
    QCOMPARE(requests.count(), 1);
}

void CncEditBoxCtrlTest::hugeListingShowsItsEnd()
{
    // Half a million lines: the editor keeps no text of its own, so this
    // loads as fast as a short one.
    std::string text;
    text.reserve(20000000);
    for (int line = 1; line <= 500000; ++line)
        text += "N" + std::to_string(line * 10) + " G01 X" + std::to_string(line % 977) + " Y-1.5\r";
    SetListing(text);
    QCOMPARE(shownIndicator, QStringLiteral("1/500001"));
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(shownIndicator, QStringLiteral("500001/500001"));
    QTest::keyClick(editor, Qt::Key_Up);
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClick(editor, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("N5000000 G01 X753 Y-1.5"));
    const QRect last = editor->GetCharRect(editor->GetCaretPosition());
    QVERIFY(editor->viewport()->rect().contains(last.center()));
    QVERIFY(CountInk(Shown(), QRect(0, last.top(), last.left(), last.height())) > 20);
    // Back to a short listing: the count goes with it.
    SetListing(TwelveLines());
    QCOMPARE(shownIndicator, QStringLiteral("1/13"));
}

QTEST_MAIN(CncEditBoxCtrlTest)
#include "cnc_edit_box_ctrl_test.moc"
