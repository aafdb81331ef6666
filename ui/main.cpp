#include <string>
#include <vector>

#include <QApplication>

#include "command_line.h"
#include "controller_app.h"
#include "platform.h"
#include "qt_translations.h"

int main(int argc, char* argv[])
{
    // Before Qt starts: help and version need no display.
    CCommandLine commandLine;
    commandLine.Parse(GetUtf8Arguments(argc, argv));
    if (commandLine.GetAction() != CL_RUN_PANEL)
        return commandLine.Report(stdout, stderr);

    // Qt sees the program name only: a file named like one of its own
    // options (-style, -reverse) is still a file.
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, argv);
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tornavel"));
    CQtTranslations qtTranslations;
    qtTranslations.Install();
    CControllerApp controllerApp(commandLine.GetStartFile());
    controllerApp.InitInstance();
    return 0;
}
