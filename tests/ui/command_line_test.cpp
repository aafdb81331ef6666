// Starting the panel from the desktop: the command line, a program file
// loaded at start as "&Laden..." loads it, and Qt's own texts in the user's
// language while the panel's stay as they are.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QtTest>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>

#include "cli_panel.h"
#include "cnc_edit_box_ctrl.h"
#include "command_line.h"
#include "control_ids.h"
#include "controller_app.h"
#include "controller_dlg.h"
#include "display_scale.h"
#include "qt_translations.h"
#include "settings_store.h"
#include "start_file_chooser.h"
#include "ui_test_support.h"

namespace {

const QString BLANK_COMMAND(59, QLatin1Char(' '));
const std::string PROGRAM = "N10 G1 X5 Y6\r\nN20 Z7\r\n";

std::vector<std::string> ToArguments(const QStringList& list)
{
    std::vector<std::string> arguments;
    for (const QString& argument : list)
        arguments.push_back(argument.toStdString());
    return arguments;
}

// What Report wrote to a stream.
QString ReadBack(std::FILE* stream)
{
    std::rewind(stream);
    QByteArray text;
    char buffer[256];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        text.append(buffer, static_cast<qsizetype>(count));
    return QString::fromUtf8(text);
}

class CCountingObserver : public IStepObserver {
public:
    void OnStepped(StepCommand command, const CProgramCursor&, const CMachineState&) override
    {
        commands.push_back(command);
    }
    std::vector<StepCommand> commands;
};

} // namespace

Q_DECLARE_METATYPE(CommandLineAction)

class CommandLineTest : public QObject, public CPanelDriver {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void parse_data();
    void parse();
    void parseErrors_data();
    void parseErrors();
    void helpAndVersion();
    void storedScale_data();
    void storedScale();
    void binaryWithoutDisplay_data();
    void binaryWithoutDisplay();
    void startFileChooser_data();
    void startFileChooser();
    void startFileLoads();
    void failedStartFile_data();
    void failedStartFile();
    void qtTexts_data();
    void qtTexts();

private:
    std::unique_ptr<CTemporarySettings> store;
};

void CommandLineTest::init() { store = std::make_unique<CTemporarySettings>(); }

void CommandLineTest::cleanup() { store.reset(); }

void CommandLineTest::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLineAction>("action");
    QTest::addColumn<QString>("startFile");
    QTest::addColumn<int>("scale");
    const int none = CCommandLine::NO_SCALE;
    QTest::newRow("nothing: the panel without a program") << QStringList() << CL_RUN_PANEL << QString() << none;
    QTest::newRow("one file") << QStringList{"part.nc"} << CL_RUN_PANEL << QStringLiteral("part.nc") << none;
    QTest::newRow("--help") << QStringList{"--help"} << CL_SHOW_HELP << QString() << none;
    QTest::newRow("-h") << QStringList{"-h"} << CL_SHOW_HELP << QString() << none;
    QTest::newRow("--version") << QStringList{"--version"} << CL_SHOW_VERSION << QString() << none;
    QTest::newRow("help after a file wins") << QStringList{"part.nc", "--help"} << CL_SHOW_HELP << QString()
                                            << none;
    QTest::newRow("version before a mistake wins") << QStringList{"--version", "--bogus"} << CL_SHOW_VERSION
                                                   << QString() << none;
    QTest::newRow("a file after -- may start with -") << QStringList{"--", "-part.nc"} << CL_RUN_PANEL
                                                       << QStringLiteral("-part.nc") << none;
    QTest::newRow("a lone - is a file") << QStringList{"-"} << CL_RUN_PANEL << QStringLiteral("-") << none;
    QTest::newRow("scale and file") << QStringList{"--scale", "200", "part.nc"} << CL_RUN_PANEL
                                    << QStringLiteral("part.nc") << 200;
    QTest::newRow("scale with =, after the file") << QStringList{"part.nc", "--scale=150"} << CL_RUN_PANEL
                                                   << QStringLiteral("part.nc") << 150;
    QTest::newRow("smallest and largest: the last wins") << QStringList{"--scale", "300", "--scale", "100"}
                                                         << CL_RUN_PANEL << QString() << 100;
}

void CommandLineTest::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLineAction, action);
    QFETCH(QString, startFile);
    QFETCH(int, scale);
    CCommandLine commandLine;
    commandLine.Parse(ToArguments(arguments));
    QCOMPARE(commandLine.GetAction(), action);
    QCOMPARE(QString::fromStdString(commandLine.GetStartFile()), startFile);
    QCOMPARE(commandLine.GetScalePercent(), scale);
    QCOMPARE(QString::fromStdString(commandLine.GetError()), QString());
}

void CommandLineTest::parseErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown long option") << QStringList{"--bogus"}
                                         << QStringLiteral("tornavel: unknown option '--bogus'\n");
    QTest::newRow("unknown short option") << QStringList{"-x"} << QStringLiteral("tornavel: unknown option '-x'\n");
    QTest::newRow("Qt's own option is not taken") << QStringList{"-platform", "offscreen"}
                                                  << QStringLiteral("tornavel: unknown option '-platform'\n");
    QTest::newRow("a mistake after a file") << QStringList{"part.nc", "--load"}
                                            << QStringLiteral("tornavel: unknown option '--load'\n");
    QTest::newRow("two files") << QStringList{"a.nc", "b.nc"}
                               << QStringLiteral("tornavel: only one FILE can be loaded at start, not 'a.nc' and "
                                                 "'b.nc'\n");
    QTest::newRow("an empty name") << QStringList{""} << QStringLiteral("tornavel: the FILE name is empty\n");
    const struct {
        const char* name;
        QStringList arguments;
        const char* percent;
    } badScales[] = {
        {"scale below 100", {"--scale", "99"}, "99"},
        {"scale above 300", {"--scale=301"}, "301"},
        {"scale with a sign", {"--scale", "+200"}, "+200"},
        {"scale with leading zeros", {"--scale", "0200"}, "0200"},
        {"scale takes the next word, not a file", {"--scale", "part.nc"}, "part.nc"},
    };
    for (const auto& row : badScales)
        QTest::newRow(row.name) << row.arguments
                                << QStringLiteral("tornavel: the scale must be a whole PERCENT from 100 to 300, "
                                                  "not '%1'\n")
                                       .arg(QString::fromLatin1(row.percent));
    QTest::newRow("scale without its value") << QStringList{"part.nc", "--scale"}
                                             << QStringLiteral("tornavel: option '--scale' needs a PERCENT\n");
}

void CommandLineTest::parseErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    CCommandLine commandLine;
    commandLine.Parse(ToArguments(arguments));
    QCOMPARE(commandLine.GetAction(), CL_BAD_USAGE);
    QCOMPARE(QString::fromStdString(commandLine.GetStartFile()), QString());

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    QVERIFY(out != nullptr && err != nullptr);
    QCOMPARE(commandLine.Report(out, err), 2);
    const QString printed = ReadBack(out);
    const QString complaint = ReadBack(err);
    std::fclose(out);
    std::fclose(err);
    QCOMPARE(printed, QString());
    QCOMPARE(complaint, message + QStringLiteral("Try 'tornavel --help' for more information.\n"));
}

void CommandLineTest::helpAndVersion()
{
    const struct {
        const char* argument;
        QString expected;
    } rows[] = {
        {"--version", QStringLiteral("tornavel " TORNAVEL_EXPECTED_VERSION "\n")},
        {"--help", QString::fromStdString(CCommandLine::HelpText())},
    };
    for (const auto& row : rows) {
        CCommandLine commandLine;
        commandLine.Parse({row.argument});
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        QVERIFY(out != nullptr && err != nullptr);
        const int status = commandLine.Report(out, err);
        const QString printed = ReadBack(out);
        const QString complaint = ReadBack(err);
        std::fclose(out);
        std::fclose(err);
        QVERIFY2(status == 0, row.argument);
        QCOMPARE(printed, row.expected);
        QCOMPARE(complaint, QString());
    }
    QVERIFY(CCommandLine::HelpText().rfind("Usage: tornavel [--scale PERCENT] [FILE]\n", 0) == 0);
}

void CommandLineTest::storedScale_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("percent");
    QTest::newRow("missing") << false << QString() << 100;
    QTest::newRow("150") << true << QStringLiteral("150") << 150;
    // A value the panel would not fit on the screen with, or none at all.
    QTest::newRow("too large") << true << QStringLiteral("1000") << 100;
    QTest::newRow("not a number") << true << QStringLiteral("big") << 100;
    QTest::newRow("a number and more") << true << QStringLiteral("200abc") << 100;
    QTest::newRow("empty") << true << QString() << 100;
}

void CommandLineTest::storedScale()
{
    QFETCH(bool, stored);
    QFETCH(QString, text);
    QFETCH(int, percent);
    CSettingsStore settings;
    if (stored)
        QVERIFY(settings.WriteSettingString(SETTINGS_KEY, "scale", text.toStdString()));
    QCOMPARE(DisplayScale::ReadStored(settings), percent);
}

void CommandLineTest::binaryWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errorOutput");
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << QStringLiteral("tornavel " TORNAVEL_EXPECTED_VERSION "\n") << QString();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << QString::fromStdString(CCommandLine::HelpText())
                            << QString();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QString()
                                    << QStringLiteral("tornavel: unknown option '--bogus'\n"
                                                      "Try 'tornavel --help' for more information.\n");
    QTest::newRow("two files") << QStringList{"a.nc", "b.nc"} << 2 << QString()
                               << QStringLiteral("tornavel: only one FILE can be loaded at start, not 'a.nc' and "
                                                 "'b.nc'\nTry 'tornavel --help' for more information.\n");
    QTest::newRow("bad scale") << QStringList{"--scale", "50"} << 2 << QString()
                               << QStringLiteral("tornavel: the scale must be a whole PERCENT from 100 to 300, not "
                                                 "'50'\nTry 'tornavel --help' for more information.\n");
}

// The real binary, with no display and no Qt platform chosen: anything that
// started Qt would fail or hang instead of answering.
void CommandLineTest::binaryWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errorOutput);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess binary;
    binary.setProcessEnvironment(environment);
    binary.start(QStringLiteral(TORNAVEL_BINARY), arguments);
    QVERIFY2(binary.waitForFinished(30000), "the binary did not finish");
    QCOMPARE(binary.exitStatus(), QProcess::NormalExit);
    QCOMPARE(binary.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(binary.readAllStandardOutput()), output);
    QCOMPARE(QString::fromUtf8(binary.readAllStandardError()), errorOutput);
}

void CommandLineTest::startFileChooser_data()
{
    QTest::addColumn<QString>("startFile");
    QTest::addColumn<QString>("firstAnswer");
    QTest::addColumn<bool>("dialogAskedFirst");
    const QString here = QDir::currentPath();
    QTest::newRow("full path") << QStringLiteral("/srv/class/part.nc") << QStringLiteral("/srv/class/part.nc")
                               << false;
    QTest::newRow("relative path is taken from the current folder")
        << QStringLiteral("class/part.nc") << here + QStringLiteral("/class/part.nc") << false;
    QTest::newRow("no start file: the dialog at once") << QString() << QStringLiteral("/dialog/pick.nc") << true;
}

void CommandLineTest::startFileChooser()
{
    QFETCH(QString, startFile);
    QFETCH(QString, firstAnswer);
    QFETCH(bool, dialogAskedFirst);
    CFixedFileChooser dialog("/dialog/pick.nc");
    CStartFileChooser chooser(startFile.toStdString(), &dialog);
    QCOMPARE(chooser.HasStartFile(), !startFile.isEmpty());

    std::string chosen;
    QVERIFY(chooser.ChooseFile("/last/loaded.nc", chosen));
    QCOMPARE(QString::fromStdString(chosen), firstAnswer);
    QCOMPARE(dialog.GetLastInitialName() == "/last/loaded.nc", dialogAskedFirst);
    QVERIFY(!chooser.HasStartFile());

    // Every later request is the dialog's, pre-filled as the loader asks.
    dialog.SetCancels(true);
    chosen = "unchanged";
    QVERIFY(!chooser.ChooseFile("/second/initial.nc", chosen));
    QCOMPARE(QString::fromStdString(chosen), QStringLiteral("unchanged"));
    QCOMPARE(QString::fromStdString(dialog.GetLastInitialName()), QStringLiteral("/second/initial.nc"));
}

void CommandLineTest::startFileLoads()
{
    const std::string path = programs.Write(QStringLiteral("start.nc"), PROGRAM);
    const std::string second = programs.Write(QStringLiteral("second.nc"), "G0 X1\r\n");
    chooser.SetPath(second);
    CControllerApp app(path, &chooser);
    const std::unique_ptr<CControllerDlg> panel = app.CreatePanel();
    CCountingObserver observer;
    panel->AddStepObserver(&observer);
    // Nothing is loaded until the panel runs.
    QCOMPARE(panel->GetEditor()->GetSelectedText(), QString());
    panel->show();
    CCncEditBoxCtrl* editor = panel->GetEditor();
    QTRY_COMPARE(editor->GetSelectedText(), QStringLiteral("N10"));
    QCOMPARE(editor->GetSelectionStart(), 0);
    QCOMPARE(Text(*panel, IDC_MESSAGE_LINE), BLANK_COMMAND);
    QCOMPARE(observer.commands, std::vector<StepCommand>{STEP_LOAD});
    std::string lastLoaded;
    CSettingsStore settings;
    QVERIFY(settings.ReadSettingString(SETTINGS_KEY, "lastLoaded", lastLoaded));
    QCOMPARE(QString::fromStdString(lastLoaded), QString::fromStdString(path));
    // The program runs as any loaded one.
    QTest::keyClick(editor, Qt::Key_F10);
    QTest::keyClick(editor, Qt::Key_F10);
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("X5"));

    // The next "&Laden..." is the dialog's, pre-filled with the start file.
    QTest::mouseClick(Button(*panel, IDC_LOAD), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(chooser.GetLastInitialName()), QString::fromStdString(path));
    QCOMPARE(editor->GetSelectedText(), QStringLiteral("G0"));
    QCOMPARE(observer.commands.size(), std::size_t(4));
    panel->RemoveStepObserver(&observer);
}

void CommandLineTest::failedStartFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << QStringLiteral("missing.nc") << QString() << QStringLiteral("Can't open file.");
    QTest::newRow("syntax error") << QStringLiteral("broken.nc") << QStringLiteral("G0 X2\r\nY\r\n")
                                  << QStringLiteral("Syntax error in line: 2");
}

void CommandLineTest::failedStartFile()
{
    QFETCH(QString, name);
    QFETCH(QString, content);
    QFETCH(QString, message);
    std::string path = programs.Write(name, content.toStdString());
    if (content.isEmpty()) {
        QVERIFY(QFile::remove(QString::fromStdString(path)));
    }
    CControllerApp app(path, &chooser);
    const std::unique_ptr<CControllerDlg> panel = app.CreatePanel();
    panel->show();
    QTRY_COMPARE(Text(*panel, IDC_MESSAGE_LINE), message);
    std::string lastLoaded;
    CSettingsStore settings;
    QVERIFY(settings.ReadSettingString(SETTINGS_KEY, "lastLoaded", lastLoaded));
    QCOMPARE(QString::fromStdString(lastLoaded), QString::fromStdString(path));
}

void CommandLineTest::qtTexts_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("translated");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("cancel");
    // The program view's context menu.
    QTest::addColumn<QStringList>("menu");
    // CTest runs this test under LANG=de_DE.UTF-8.
    const QStringList german{QStringLiteral("&Kopieren"), QStringLiteral("Alles auswählen")};
    QTest::newRow("system locale") << QLocale::system() << true << QStringLiteral("&Öffnen")
                                   << QStringLiteral("Abbrechen") << german;
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << true << QStringLiteral("&Öffnen")
                            << QStringLiteral("Abbrechen") << german;
    QTest::newRow("French") << QLocale(QLocale::French, QLocale::France) << true << QStringLiteral("&Ouvrir")
                            << QStringLiteral("Annuler")
                            << QStringList{QStringLiteral("Cop&ier"), QStringLiteral("Tout sélectionner")};
    QTest::newRow("English needs no translation")
        << QLocale(QLocale::English, QLocale::UnitedStates) << false << QStringLiteral("&Open")
        << QStringLiteral("Cancel") << QStringList{QStringLiteral("&Copy"), QStringLiteral("Select All")};
}

void CommandLineTest::qtTexts()
{
    QFETCH(QLocale, locale);
    QFETCH(bool, translated);
    QFETCH(QString, open);
    QFETCH(QString, cancel);
    QFETCH(QStringList, menu);
    if (QString::fromLatin1(QTest::currentDataTag()) == QLatin1String("system locale"))
        QVERIFY2(locale.language() == QLocale::German, "run this test under LANG=de_DE.UTF-8, as CTest does");
    CQtTranslations translations;
    QCOMPARE(translations.Install(locale), translated);

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons != nullptr);
    QVERIFY(buttons->button(QDialogButtonBox::Open) != nullptr);
    QVERIFY(buttons->button(QDialogButtonBox::Cancel) != nullptr);
    QCOMPARE(buttons->button(QDialogButtonBox::Open)->text(), open);
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), cancel);

    // The panel's own texts stay as they are in every language.
    const auto panel = OpenPanel();
    QCOMPARE(Text(*panel, IDC_LOAD), QStringLiteral("&Laden..."));
    QCOMPARE(Text(*panel, IDC_NEXT_WORD), QStringLiteral("&Schritt"));
    QCOMPARE(Button(*panel, IDC_LOAD)->toolTip(), QStringLiteral("Load a new CNC file into controller"));

    CCncEditBoxCtrl* editor = panel->GetEditor();
    QStringList items;
    QTimer::singleShot(0, this, [&items]() {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup != nullptr);
        for (QAction* action : popup->actions())
            items.append(action->text());
        popup->close();
    });
    const QPoint centre = editor->viewport()->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, centre, editor->viewport()->mapToGlobal(centre));
    QApplication::sendEvent(editor->viewport(), &request);
    QCOMPARE(items, menu);
}

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
