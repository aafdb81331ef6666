// The learner's aids on the real panel: Shift+F10 takes a command back with
// everything the panel showed, and the read-outs a command changed are marked.
#include <memory>
#include <vector>

#include <QtTest>

#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>
#include <QPushButton>

#include "cnc_edit_box_ctrl.h"
#include "control_ids.h"
#include "controller_dlg.h"
#include "state_texts.h"
#include "ui_test_support.h"

namespace {

std::string LessonProgram()
{
    return CrLfLines({"%", "N10 G90 G0 X5 Y6", "N20 T2 M6", "N30 G1 Z-1 F100", "N40 G91 X10 ; cut", "N50 G71 Z2",
                      "N60 M30"});
}

// What the user sees of the panel.
struct CPanelView {
    std::vector<QString> texts;
    QString selected;
    int firstVisibleLine = 0;

    bool operator==(const CPanelView& other) const
    {
        return texts == other.texts && selected == other.selected && firstVisibleLine == other.firstVisibleLine;
    }
};

} // namespace

class LearnerAidsTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stepBackRestoresWhatWasShown_data();
    void stepBackRestoresWhatWasShown();
    void changedReadOutsAreMarked_data();
    void changedReadOutsAreMarked();
    void wordToolTipExplainsTheWordUnderTheMouse_data();
    void wordToolTipExplainsTheWordUnderTheMouse();

private:
    CPanelView See(CControllerDlg& panel);
    void Act(CControllerDlg& panel, const QString& action);

    std::unique_ptr<CTemporarySettings> store;
};

void LearnerAidsTest::init() { store = std::make_unique<CTemporarySettings>(); }

void LearnerAidsTest::cleanup() { store.reset(); }

CPanelView LearnerAidsTest::See(CControllerDlg& panel)
{
    CPanelView view;
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line)
        view.texts.push_back(Text(panel, StateLineControlId(line)));
    view.texts.push_back(Text(panel, IDC_MESSAGE_LINE));
    view.texts.push_back(Text(panel, IDC_LINE_INDICATOR));
    view.selected = panel.GetEditor()->GetSelectedText();
    view.firstVisibleLine = panel.GetEditor()->GetFirstVisibleLine();
    return view;
}

void LearnerAidsTest::Act(CControllerDlg& panel, const QString& action)
{
    CCncEditBoxCtrl* editor = panel.GetEditor();
    if (action == QLatin1String("F10")) {
        QTest::keyClick(editor, Qt::Key_F10);
    } else if (action == QLatin1String("F9")) {
        QTest::keyClick(editor, Qt::Key_F9);
    } else if (action == QLatin1String("F4")) {
        QTest::keyClick(editor, Qt::Key_F4);
    } else if (action == QLatin1String("F8")) {
        QTest::keyClick(editor, Qt::Key_F8);
    } else if (action == QLatin1String("back")) {
        QTest::keyClick(editor, Qt::Key_F10, Qt::ShiftModifier);
    } else if (action == QLatin1String("click")) {
        // The sixth line of the listing.
        const QRect first = editor->GetCharRect(0);
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(first.left() + 10, first.center().y() + 5 * first.height()));
    } else {
        QVERIFY2(action.startsWith(QLatin1String("mode")), qPrintable(action));
        panel.SetRunToSelection(action.mid(4).toInt());
        panel.OnRunToModeChanged();
    }
}

void LearnerAidsTest::stepBackRestoresWhatWasShown_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("command");
    QTest::newRow("F10 in the middle of a block") << QStringList{"F10", "F10"} << QStringLiteral("F10");
    QTest::newRow("F10 that applies a block") << QStringList{"F10", "F10", "F10", "F10"} << QStringLiteral("F10");
    QTest::newRow("F9 to the block end") << QStringList{"F10"} << QStringLiteral("F9");
    QTest::newRow("F9 to the end") << QStringList{"F10", "mode3"} << QStringLiteral("F9");
    QTest::newRow("F9 to the tool change") << QStringList{"mode1"} << QStringLiteral("F9");
    QTest::newRow("line click") << QStringList{"F10", "F10", "F10"} << QStringLiteral("click");
    QTest::newRow("F4") << QStringList{"mode3", "F9"} << QStringLiteral("F4");
    QTest::newRow("F8 after a click") << QStringList{"F10", "click"} << QStringLiteral("F8");
}

void LearnerAidsTest::stepBackRestoresWhatWasShown()
{
    QFETCH(QStringList, before);
    QFETCH(QString, command);
    const auto panel = OpenPanel();
    Load(*panel, LessonProgram());
    for (const QString& action : before)
        Act(*panel, action);
    const CPanelView was = See(*panel);
    Act(*panel, command);
    const CPanelView after = See(*panel);
    QVERIFY2(!(after == was), "the command changed nothing the test could see");
    Act(*panel, QStringLiteral("back"));
    QCOMPARE(See(*panel).texts, was.texts);
    QCOMPARE(See(*panel).selected, was.selected);
    QCOMPARE(See(*panel).firstVisibleLine, was.firstVisibleLine);
    // Doing it again gives what it gave.
    Act(*panel, command);
    QCOMPARE(See(*panel).texts, after.texts);
    QCOMPARE(See(*panel).selected, after.selected);
}

void LearnerAidsTest::changedReadOutsAreMarked_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QList<int>>("marked");
    QTest::newRow("a word inside a block changes nothing") << QStringList{"F10"} << QList<int>{};
    QTest::newRow("the mark line's block changes nothing") << QStringList{"mode0", "F9"} << QList<int>{};
    QTest::newRow("the first block: rapid, X and Y")
        << QStringList{"mode0", "F9", "F9"} << QList<int>{IDC_POSITION_X, IDC_POSITION_Y, IDC_MOTION};
    QTest::newRow("a tool change block changes no read-out") << QStringList{"mode0", "F9", "F9", "F9"} << QList<int>{};
    QTest::newRow("feed block: linear and Z")
        << QStringList{"mode0", "F9", "F9", "F9", "F9"} << QList<int>{IDC_POSITION_Z, IDC_MOTION};
    QTest::newRow("relative block: X and the dimensioning")
        << QStringList{"mode0", "F9", "F9", "F9", "F9", "F9"} << QList<int>{IDC_POSITION_X, IDC_DIMENSIONING};
    QTest::newRow("inch block: Z, the unit and the feed unit")
        << QStringList{"mode0", "F9", "F9", "F9", "F9", "F9", "F9"}
        << QList<int>{IDC_POSITION_Z, IDC_LENGTH_UNIT, IDC_FEED_UNIT};
    QTest::newRow("stepping back marks what it changed back")
        << QStringList{"mode0", "F9", "F9", "back"} << QList<int>{IDC_POSITION_X, IDC_POSITION_Y, IDC_MOTION};
    QTest::newRow("a click on a line clears the marks") << QStringList{"mode0", "F9", "F9", "click"} << QList<int>{};
}

void LearnerAidsTest::changedReadOutsAreMarked()
{
    QFETCH(QStringList, actions);
    QFETCH(QList<int>, marked);
    const auto panel = OpenPanel();
    Load(*panel, LessonProgram());
    for (const QString& action : actions)
        Act(*panel, action);
    QList<int> seen;
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line) {
        const int id = StateLineControlId(line);
        if (panel->IsReadOutMarked(id))
            seen.append(id);
    }
    std::sort(seen.begin(), seen.end());
    std::sort(marked.begin(), marked.end());
    QCOMPARE(seen, marked);
}

void LearnerAidsTest::wordToolTipExplainsTheWordUnderTheMouse_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("tip");
    QTest::newRow("first character of G90") << QStringLiteral("G90") << 0 << QStringLiteral("G90: Absolutma\u00df");
    QTest::newRow("last character of X5") << QStringLiteral("X5") << 1 << QStringLiteral("X5: Ziel X = 5");
    QTest::newRow("X10 under G91") << QStringLiteral("X10") << 0
                                   << QStringLiteral("X10: 10 in X weiter (Kettenma\u00df)");
    QTest::newRow("a tool") << QStringLiteral("T2") << 0 << QStringLiteral("T2: Werkzeug 2");
    QTest::newRow("the program end") << QStringLiteral("M30") << 2 << QStringLiteral("M30: Programmende");
    QTest::newRow("the blank before a word") << QStringLiteral(" G0") << 0 << QString();
}

void LearnerAidsTest::wordToolTipExplainsTheWordUnderTheMouse()
{
    QFETCH(QString, word);
    QFETCH(int, offset);
    QFETCH(QString, tip);
    const auto panel = OpenPanel();
    Load(*panel, LessonProgram());
    CCncEditBoxCtrl* editor = panel->GetEditor();
    // The listing puts one blank before every word but N words; find the word
    // in the view's own text, one character a byte.
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    const QString shown = editor->GetSelectedText();
    const int at = static_cast<int>(shown.indexOf(word)) + offset;
    QVERIFY(at >= offset);
    QCOMPARE(panel->GetWordExplanation(at), tip);
    // The tooltip the mouse gets over that character.
    QToolTip::hideText();
    const QRect cell = editor->GetCharRect(at);
    QHelpEvent help(QEvent::ToolTip, cell.center(), editor->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(editor->viewport(), &help);
    QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), tip);
}

QTEST_MAIN(LearnerAidsTest)
#include "learner_aids_test.moc"
