// Everything the panel owns, wired as the panel wires it, with headless
// stand-ins for its windows: the CLI's trace and the tests run the same
// loader, machine state and commands as the panel.
#pragma once

#include <string>

#include "cli_panel.h"
#include "cnc_program.h"
#include "headless_view.h"
#include "machine_state.h"
#include "program_cursor.h"

struct CHeadlessPanel {
    // file is what the file chooser answers.
    explicit CHeadlessPanel(const std::string& file)
        : chooser(file), view(&panel), loader(&view, chooser, settings), machineState(&panel),
          cursor(loader, machineState, &view, panel)
    {
        cursor.SyncRunToCombo();
        machineState.UpdateDisplay();
    }

    CCliPanel panel;
    CFixedFileChooser chooser;
    CMemorySettings settings;
    CHeadlessView view;
    CCncProgram loader;
    CMachineState machineState;
    CProgramCursor cursor;
};
