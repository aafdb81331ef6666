#include "tooltip_texts.h"

#include "control_ids.h"

namespace {

struct ToolTip {
    int controlId;
    const char* text;
};

// The spaces line up the bracketed keys at the 25th character.
constexpr ToolTip toolTips[] = {
    {IDC_NEXT_WORD, "Execute next CNC word   [F10]"},
    {IDC_RESET, "Reset program execution [F4]"},
    {IDC_JUMP_TO_ACTUAL, "Jump to actual CNC word [F8]"},
    {IDC_RUN_TO, "Execute program to      [F9]"},
    {IDC_LOAD, "Load a new CNC file into controller"},
    {IDC_TOOL_NUMBER, "Active set tool number"},
    {IDC_PATH_WINDOW, "Open or close toolpath  [F5]"},
};

} // namespace

const char* ToolTipText(int controlId)
{
    for (const ToolTip& toolTip : toolTips) {
        if (toolTip.controlId == controlId)
            return toolTip.text;
    }
    return nullptr;
}
