// The workpiece as a classroom meets it: each program keeps its own box and
// tools, a path outside the box and a box that cannot be used are said on
// the picture, the tool table lists the program's T numbers, and the
// dialogs take numbers as a German learner types them.
#include <climits>
#include <memory>

#include <QtTest>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include "control_ids.h"
#include "controller_dlg.h"
#include "settings_store.h"
#include "tool_table_dialog.h"
#include "tool_table_model.h"
#include "toolpath_canvas.h"
#include "toolpath_window.h"
#include "ui_test_support.h"
#include "workpiece_layer.h"
#include "workpiece_settings.h"

namespace {

// A slot along X at 2 deep; the automatic box holds it.
const char* const SLOT = "%\r\n"
                         "N10 G0 X0 Y0 Z5\r\n"
                         "N20 G1 Z-2 F100\r\n"
                         "N30 X20\r\n"
                         "N40 G0 Z5\r\n"
                         "N50 M30\r\n";
// Two tools by their T words, one of them twice.
const char* const TWO_TOOLS = "%\r\n"
                              "N10 T3 M6\r\n"
                              "N20 G0 X0 Y0 Z5\r\n"
                              "N30 G1 Z-1 F100\r\n"
                              "N40 T1 M6\r\n"
                              "N50 G1 X10\r\n"
                              "N60 T3 M6\r\n"
                              "N70 M30\r\n";
// An exercise file with its own box and tool.
const char* const OWN_STOCK = "(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)\r\n"
                              "%\r\n"
                              "(werkzeug t1 kugelfraeser d6)\r\n"
                              "N10 T1 M6\r\n"
                              "N20 G0 X10 Y10 Z5\r\n"
                              "N30 G1 Z-2 F100\r\n"
                              "N40 X50\r\n"
                              "N50 M30\r\n";
const char* const OUTSIDE_TEXT = "Bahn au\xC3\x9F" "erhalb des Rohteils";
constexpr int WAIT_MS = 10000;

CWorkpieceSettings OwnBox(double x0, double y0, double z0, double x1, double y1, double z1)
{
    CWorkpieceSettings settings;
    settings.automaticBox = false;
    const double box[STOCK_BOX_VALUES] = {x0, y0, z0, x1, y1, z1};
    std::copy(box, box + STOCK_BOX_VALUES, settings.box);
    return settings;
}

} // namespace

Q_DECLARE_METATYPE(CWorkpieceSettings)

class ClassroomWorkpieceTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void eachProgramKeepsItsOwnBox();
    void windowTitleNamesTheProgram();
    void programsOwnBoxComesFirst_data();
    void programsOwnBoxComesFirst();
    void pictureSaysWhatIsWrongWithTheBox_data();
    void pictureSaysWhatIsWrongWithTheBox();
    void toolTableListsTheProgramsTools();
    void newToolNumberNeverOverflows_data();
    void newToolNumberNeverOverflows();
    void numberFieldsTakeWhatLearnersType_data();
    void numberFieldsTakeWhatLearnersType();
    void toolNumberFieldsTakeTWords_data();
    void toolNumberFieldsTakeTWords();
    void emptyFieldIsNamed();

private:
    // Loads the file of this path through "&Laden..." and waits for the
    // workpiece.
    void LoadFile(const std::string& path);

    std::unique_ptr<CTemporarySettings> store;
    std::unique_ptr<CControllerDlg> panel;
};

void ClassroomWorkpieceTest::init()
{
    store = std::make_unique<CTemporarySettings>();
    panel = OpenPanel();
}

void ClassroomWorkpieceTest::cleanup()
{
    panel.reset();
    store.reset();
}

void ClassroomWorkpieceTest::LoadFile(const std::string& path)
{
    chooser.SetPath(path);
    QTest::mouseClick(Button(*panel, IDC_LOAD), Qt::LeftButton);
    CToolpathWindow& window = *panel->GetToolpathWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window.IsPictureReady() && window.GetWorkpiece()->IsUpToDate(), WAIT_MS);
}

void ClassroomWorkpieceTest::eachProgramKeepsItsOwnBox()
{
    const std::string first = programs.Write(QStringLiteral("first.nc"), SLOT);
    const std::string second = programs.Write(QStringLiteral("second.nc"), SLOT);
    CWorkpieceLayer& workpiece = *panel->GetToolpathWindow()->GetWorkpiece();
    LoadFile(first);
    QVERIFY(workpiece.GetSettings().automaticBox);
    const CWorkpieceSettings own = OwnBox(-5, -5, -4, 25, 5, 0);
    QVERIFY(workpiece.ApplySettings(own));
    // The next program starts with the automatic box, not the first one's.
    LoadFile(second);
    QVERIFY(workpiece.GetSettings().automaticBox);
    // The first program's box comes back with it, in the next run too.
    LoadFile(first);
    QVERIFY(workpiece.GetSettings() == own);
    CWorkpieceSettings restarted;
    QCOMPARE(restarted.Load(*std::make_unique<CSettingsStore>(), first), QString());
    QVERIFY(restarted == own);
}

void ClassroomWorkpieceTest::windowTitleNamesTheProgram()
{
    CToolpathWindow& window = *panel->GetToolpathWindow();
    QCOMPARE(window.windowTitle(), QStringLiteral("Bahn"));
    LoadFile(programs.Write(QStringLiteral("Tasche.nc"), SLOT));
    QCOMPARE(window.windowTitle(), QStringLiteral("Bahn \u2013 Tasche.nc"));
}

void ClassroomWorkpieceTest::programsOwnBoxComesFirst_data()
{
    QTest::addColumn<CWorkpieceSettings>("stored");
    QTest::newRow("over the automatic box") << CWorkpieceSettings();
    QTest::newRow("over a stored box") << OwnBox(-5, -5, -4, 25, 5, 0);
}

void ClassroomWorkpieceTest::programsOwnBoxComesFirst()
{
    QFETCH(CWorkpieceSettings, stored);
    LoadFile(programs.Write(QStringLiteral("exercise.nc"), OWN_STOCK));
    CToolpathWindow& window = *panel->GetToolpathWindow();
    QVERIFY(window.GetWorkpiece()->ApplySettings(stored));
    QTRY_VERIFY_WITH_TIMEOUT(window.GetWorkpiece()->IsUpToDate(), WAIT_MS);
    // The box drawn is the one the program states.
    constexpr double FAR = 1e30;
    CMovePoint low{FAR, FAR, FAR};
    CMovePoint high{-FAR, -FAR, -FAR};
    window.GetWorkpiece()->ExtendBounds(low, high);
    QCOMPARE(QList<double>({low.x, low.y, low.z, high.x, high.y, high.z}),
             QList<double>({0.0, 0.0, -20.0, 100.0, 80.0, 0.0}));
}

void ClassroomWorkpieceTest::pictureSaysWhatIsWrongWithTheBox_data()
{
    QTest::addColumn<CWorkpieceSettings>("settings");
    QTest::addColumn<QString>("message");
    QTest::newRow("automatic box: nothing to say") << CWorkpieceSettings() << QString();
    QTest::newRow("box holds the path") << OwnBox(-5, -5, -4, 25, 5, 0) << QString();
    QTest::newRow("slot runs past the box's end") << OwnBox(-5, -5, -4, 10, 5, 0)
                                                  << QString::fromUtf8(OUTSIDE_TEXT);
    QTest::newRow("slot below the box's bottom") << OwnBox(-5, -5, -1, 25, 5, 0) << QString::fromUtf8(OUTSIDE_TEXT);
    QTest::newRow("box whose span overflows") << OwnBox(-1.5e308, -1.5e308, -4, 1.5e308, 1.5e308, 0)
                                                << QStringLiteral("Rohteil unbrauchbar");
}

void ClassroomWorkpieceTest::pictureSaysWhatIsWrongWithTheBox()
{
    QFETCH(CWorkpieceSettings, settings);
    QFETCH(QString, message);
    LoadFile(programs.Write(QStringLiteral("slot.nc"), SLOT));
    CToolpathWindow& window = *panel->GetToolpathWindow();
    QVERIFY(window.GetWorkpiece()->ApplySettings(settings));
    QTRY_VERIFY_WITH_TIMEOUT(window.GetWorkpiece()->IsUpToDate() || !message.isEmpty(), WAIT_MS);
    if (message.isEmpty()) {
        QVERIFY2(!window.GetCanvas()->GetMessage().contains(QStringLiteral("Rohteil")),
                 qPrintable(window.GetCanvas()->GetMessage()));
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(window.GetCanvas()->GetMessage().contains(message), WAIT_MS);
    // Said once: stepping on neither repeats nor drops it.
    QTest::keyClick(panel->GetEditor(), Qt::Key_F10);
    QTest::qWait(50);
    QCOMPARE(window.GetCanvas()->GetMessage().count(message), 1);
}

void ClassroomWorkpieceTest::toolTableListsTheProgramsTools()
{
    LoadFile(programs.Write(QStringLiteral("tools.nc"), TWO_TOOLS));
    CToolpathWindow& window = *panel->GetToolpathWindow();
    window.GetWorkpiece()->OpenToolTable();
    auto* dialog = window.findChild<CToolTableDialog*>();
    QVERIFY(dialog != nullptr);
    CToolTableModel& table = *dialog->GetModel();
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.index(0, CToolTableModel::COLUMN_NUMBER).data().toString(), QStringLiteral("3"));
    QCOMPARE(table.index(1, CToolTableModel::COLUMN_NUMBER).data().toString(), QStringLiteral("1"));
    // Given a diameter each, they are kept for this program.
    table.setData(table.index(0, CToolTableModel::COLUMN_DIAMETER), QStringLiteral("10"));
    table.setData(table.index(1, CToolTableModel::COLUMN_DIAMETER), QStringLiteral("2,5"));
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(window.findChild<CToolTableDialog*>() == nullptr);
    const std::vector<CWorkpieceToolEntry>& tools = window.GetWorkpiece()->GetSettings().tools;
    QCOMPARE(tools.size(), std::size_t{2});
    QCOMPARE(tools[0].diameter, 10.0);
    QCOMPARE(tools[1].diameter, 2.5);
}

void ClassroomWorkpieceTest::newToolNumberNeverOverflows_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("added");
    QTest::newRow("after the highest") << QStringList{"5", "2"} << "6";
    QTest::newRow("first row is T1") << QStringList{} << "1";
    QTest::newRow("the largest T number: the lowest free one") << QStringList{"2147483647"} << "1";
    QTest::newRow("the largest and T1: T2") << QStringList{"2147483647", "1"} << "2";
    QTest::newRow("a T word counts as its number") << QStringList{"T7"} << "8";
}

void ClassroomWorkpieceTest::newToolNumberNeverOverflows()
{
    QFETCH(QStringList, numbers);
    QFETCH(QString, added);
    CToolTableDialog dialog(CWorkpieceSettings(), nullptr);
    CToolTableModel& table = *dialog.GetModel();
    for (const QString& number : numbers) {
        dialog.AddTool();
        table.setData(table.index(table.rowCount() - 1, CToolTableModel::COLUMN_NUMBER), number);
    }
    dialog.AddTool();
    QCOMPARE(table.index(table.rowCount() - 1, CToolTableModel::COLUMN_NUMBER).data().toString(), added);
}

void ClassroomWorkpieceTest::numberFieldsTakeWhatLearnersType_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<double>("value");
    QTest::newRow("decimal comma") << "6,5" << true << 6.5;
    QTest::newRow("decimal point") << "6.5" << true << 6.5;
    QTest::newRow("blanks around a comma") << "  -0,25 " << true << -0.25;
    QTest::newRow("whole number") << "12" << true << 12.0;
    QTest::newRow("two commas") << "6,5,1" << false << 0.0;
    QTest::newRow("comma and point") << "1.000,5" << false << 0.0;
    QTest::newRow("a word") << "sechs" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
}

void ClassroomWorkpieceTest::numberFieldsTakeWhatLearnersType()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    QFETCH(double, value);
    double parsed = 0.0;
    QCOMPARE(CWorkpieceSettings::ParseNumber(text, parsed), read);
    if (read)
        QCOMPARE(parsed, value);
}

void ClassroomWorkpieceTest::toolNumberFieldsTakeTWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("number");
    QTest::newRow("T word") << "T2" << true << 2;
    QTest::newRow("small t with blanks") << " t12 " << true << 12;
    QTest::newRow("number alone") << "7" << true << 7;
    QTest::newRow("largest") << "T2147483647" << true << INT_MAX;
    QTest::newRow("beyond 32 bits") << "T2147483648" << false << 0;
    QTest::newRow("T alone") << "T" << false << 0;
    QTest::newRow("negative") << "T-1" << false << 0;
    QTest::newRow("fraction") << "T2.5" << false << 0;
    QTest::newRow("two letters") << "TT2" << false << 0;
}

void ClassroomWorkpieceTest::toolNumberFieldsTakeTWords()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    QFETCH(int, number);
    int parsed = -1;
    QCOMPARE(CWorkpieceSettings::ParseToolNumber(text, parsed), read);
    if (read)
        QCOMPARE(parsed, number);
}

void ClassroomWorkpieceTest::emptyFieldIsNamed()
{
    CWorkpieceSettings settings;
    CToolTableDialog dialog(settings, nullptr);
    dialog.AddTool();
    CToolTableModel& table = *dialog.GetModel();
    table.setData(table.index(0, CToolTableModel::COLUMN_NUMBER), QStringLiteral(" "));
    dialog.accept();
    QVERIFY2(dialog.GetMessage().startsWith(QStringLiteral("Feld ist leer")), qPrintable(dialog.GetMessage()));
    table.setData(table.index(0, CToolTableModel::COLUMN_NUMBER), QStringLiteral("T2"));
    dialog.GetDefaultDiameter()->clear();
    dialog.accept();
    QVERIFY2(dialog.GetMessage().startsWith(QStringLiteral("Feld ist leer")), qPrintable(dialog.GetMessage()));
    QVERIFY(dialog.GetMessage().contains(QStringLiteral("Standardwerkzeug")));
}

QTEST_MAIN(ClassroomWorkpieceTest)
#include "classroom_workpiece_test.moc"
