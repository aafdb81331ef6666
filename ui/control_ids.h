// The panel's control ids beyond those the controller addresses
// (panel_interfaces.h), and the widget property that carries an id.
#pragma once

// Every control of the panel form carries its id under this dynamic property;
// -1 marks controls that no code addresses.
constexpr const char* CONTROL_ID_PROPERTY = "controlId";

enum PanelControlId {
    IDC_DONE = 1,
    IDC_LOAD = 1005,
    IDC_HIDDEN_LOAD = 1007,
    IDC_EDITOR = 1008,
    IDC_JUMP_TO_ACTUAL = 1012,
    IDC_NEXT_WORD = 1014,
    IDC_RUN_TO = 1015,
    IDC_RESET = 1017,
    IDC_QUESTION = 1018,
    IDC_FEED_LABEL = 1022,
    IDC_SPINDLE_LABEL = 1023,
    IDC_POSITION_A = 1028,
    IDC_POSITION_B = 1029,
    IDC_POSITION_C = 1030,
    IDC_TOOL_NUMBER = 1033,
    // Beside the template's controls: opens and closes the toolpath window.
    IDC_PATH_WINDOW = 1041,
};
