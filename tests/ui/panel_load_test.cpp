// The panel under load: a reload in the middle of a block, the command keys
// after a failed load, and thousands of steps on a short program.
#include <memory>

#include <QtTest>

#include <QLabel>
#include <QPushButton>

#include "cli_panel.h"
#include "cnc_edit_box_ctrl.h"
#include "control_ids.h"
#include "controller_dlg.h"
#include "ui_test_support.h"

namespace {

const QString BLANK_COMMAND(59, QLatin1Char(' '));
const QString END_OF_PROGRAM = QStringLiteral("Ende der Anweisungen");

} // namespace

Q_DECLARE_METATYPE(std::string)

class PanelLoadTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void reloadInTheMiddleOfABlock();
    void commandKeysAfterAFailedLoad_data();
    void commandKeysAfterAFailedLoad();
    void tenThousandSteps();

private:
    std::unique_ptr<CTemporarySettings> store;
};

void PanelLoadTest::init() { store = std::make_unique<CTemporarySettings>(); }

void PanelLoadTest::cleanup() { store.reset(); }

void PanelLoadTest::reloadInTheMiddleOfABlock()
{
    const auto panel = OpenPanel();
    Load(*panel, "G91 X7 Y8\r\n");
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F10);
    // G91 and X7 are gathered; the reload deletes the words they came from.
    Load(*panel, "X1\r\n");
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), BLANK_COMMAND);
    QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F10);
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), END_OF_PROGRAM);
    QCOMPARE(Text(*panel, IDC_POSITION_X), QStringLiteral("1.0000"));
    QCOMPARE(Text(*panel, IDC_POSITION_Y), QStringLiteral("0.0000"));
    QCOMPARE(Text(*panel, IDC_DIMENSIONING), QStringLiteral("Koordinaten: ABS"));
}

void PanelLoadTest::commandKeysAfterAFailedLoad_data()
{
    QTest::addColumn<std::string>("failing");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("wordsLeft");
    QTest::newRow("file that cannot be opened") << std::string() << QStringLiteral("Can't open file.") << false;
    QTest::newRow("syntax error") << std::string("G0 X2\r\nY\r\n") << QStringLiteral("Syntax error in line: 2") << true;
}

void PanelLoadTest::commandKeysAfterAFailedLoad()
{
    QFETCH(std::string, failing);
    QFETCH(QString, message);
    QFETCH(bool, wordsLeft);
    const auto panel = OpenPanel();
    Load(*panel, "G1 X5 Y6\r\nZ7\r\n");
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTest::keyClick(editor, Qt::Key_F10);
    if (failing.empty()) {
        chooser.SetPath(programs.Write(QStringLiteral("missing/program.nc"), std::string()) + ".gone");
        QTest::mouseClick(Button(*panel, IDC_LOAD), Qt::LeftButton);
    } else {
        Load(*panel, failing);
    }
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), message);
    for (Qt::Key key : {Qt::Key_F10, Qt::Key_F9, Qt::Key_F8, Qt::Key_F4, Qt::Key_F10})
        QTest::keyClick(editor, key);
    // F10 after F4: with words left it steps again, without it only blanks.
    if (wordsLeft) {
        QCOMPARE(Text(*panel, IDC_POSITION_X), QStringLiteral("2.0000"));
        QCOMPARE(editor->GetSelectedText(), QStringLiteral("G0"));
    } else {
        QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), BLANK_COMMAND);
        QCOMPARE(Text(*panel, IDC_POSITION_X), QStringLiteral("0.0000"));
    }
}

void PanelLoadTest::tenThousandSteps()
{
    const auto panel = OpenPanel();
    Load(*panel, "N10 G1 X5\r\nN20 Z7 T2\r\n");
    CCncEditBoxCtrl* editor = panel->GetEditor();
    for (int press = 0; press < 10000; ++press)
        QTest::keyClick(editor, Qt::Key_F10);
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), BLANK_COMMAND);
    QCOMPARE(Text(*panel, IDC_POSITION_X), QStringLiteral("5.0000"));
    QCOMPARE(Text(*panel, IDC_POSITION_Z), QStringLiteral("7.0000"));
    // The actual word is gone once every word has been taken; F4 starts over.
    QTest::keyClick(editor, Qt::Key_F4);
    QCOMPARE(editor->GetSelectionStart(), 0);
    QCOMPARE(editor->GetSelectionEnd(), 3);
    QVERIFY(panel->isVisible());
}

QTEST_MAIN(PanelLoadTest)
#include "panel_load_test.moc"
