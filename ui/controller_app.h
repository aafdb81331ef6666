// Application start-up: the whole application is the controller panel, run
// modally; when it closes, the application ends. A program file given at
// start is loaded through the panel's own load command, as if it had been
// chosen with "&Laden...".
#pragma once

#include <memory>
#include <string>

#include "settings_store.h"
#include "start_file_chooser.h"

class CControllerDlg;

class CControllerApp {
public:
    // An empty startFile starts the panel without a program. A null dialog
    // means the Qt file dialog for every load after the start file's; a
    // given one must outlive the application object.
    explicit CControllerApp(const std::string& startFile = std::string(), IFileChooser* dialog = nullptr);

    // Runs the panel and returns once it has closed and been destroyed.
    void InitInstance();
    // The panel as start-up makes it, not yet shown. With a start file, its
    // load is queued: it runs once the panel is shown and events are handled,
    // so the message line, the highlight and the observers see it as they
    // see a click on "&Laden...". The panel must not outlive this object.
    std::unique_ptr<CControllerDlg> CreatePanel();

private:
    CStartFileChooser fileChooser;
    // The panel's and its windows' store; a value it cannot store anywhere
    // is said in a message box.
    CSettingsStore settings;
};
