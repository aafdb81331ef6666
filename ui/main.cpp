#include <string>
#include <vector>

#include <QApplication>

#include "command_line.h"
#include "controller_app.h"
#include "display_scale.h"
#include "listing_font.h"
#include "platform.h"
#include "qt_translations.h"
#include "settings_store.h"

int main(int argc, char* argv[])
{
    // Before Qt starts: help and version need no display.
    CCommandLine commandLine;
    commandLine.Parse(GetUtf8Arguments(argc, argv));
    if (commandLine.GetAction() != CL_RUN_PANEL)
        return commandLine.Report(stdout, stderr);

    // Before Qt or a job starts a thread.
    ShareHeapAcrossThreads();

    // The factor must be in place before Qt looks at the screens.
    CSettingsStore settings;
    const int scalePercent = commandLine.GetScalePercent() != CCommandLine::NO_SCALE
                                 ? commandLine.GetScalePercent()
                                 : DisplayScale::ReadStored(settings);
    DisplayScale::Apply(scalePercent);

    // Qt sees the program name only: a file named like one of its own
    // options (-style, -reverse) is still a file.
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, argv);
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tornavel"));
    CQtTranslations qtTranslations;
    qtTranslations.Install();
    CListingFont::Register();
    CControllerApp controllerApp(commandLine.GetStartFile());
    controllerApp.InitInstance();
    return 0;
}
