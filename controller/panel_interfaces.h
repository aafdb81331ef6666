// What the controller needs from the panel and its program view, so that the
// stepping logic runs the same under the Qt panel, the CLI and the tests.
#pragma once

#include <string>

#include "listing_selection.h"
#include "program_host.h"

// Control ids of the panel that the controller writes or reads.
enum ControlId {
    IDC_MESSAGE_LINE = 1011,
    IDC_POSITION_X = 1019,
    IDC_POSITION_Y = 1020,
    IDC_POSITION_Z = 1021,
    IDC_COORD_SYSTEM = 1024,
    IDC_MOTION = 1025,
    IDC_LENGTH_UNIT = 1026,
    IDC_DIMENSIONING = 1027,
    IDC_PLANE = 1031,
    IDC_COMPENSATION = 1032,
    IDC_CYCLE = 1035,
    IDC_FEED_UNIT = 1036,
    IDC_SPINDLE_UNIT = 1037,
    IDC_RUN_TO_COMBO = 1039,
    IDC_LINE_INDICATOR = 1040,
};

class IPanelControls {
public:
    virtual ~IPanelControls() = default;
    // Texts are bytes in code page 1252. False when the panel has no such
    // control; the caller then skips it.
    virtual bool SetControlText(int controlId, const std::string& text) = 0;
    // The run-to selector's selected item index, -1 when none is selected.
    virtual int GetRunToSelection() = 0;
    virtual void SetRunToSelection(int index) = 0;
};

// The program view as the stepping commands use it. Positions are byte
// offsets into the listing text; lines count from 0.
class IProgramView : public IListingView {
public:
    virtual int GetLineCount() = 0;
    // Negative is up; the view clamps at the top and the bottom.
    virtual void LineScroll(int lines) = 0;
    virtual int LineFromChar(int position) = 0;
    // Selects [start, end) and updates the line indicator.
    virtual void Highlight(int start, int end) = 0;
    // For stepping back: the state a command found, and putting it back
    // exactly, line indicator included.
    virtual CProgramViewState SaveViewState() = 0;
    virtual void RestoreViewState(const CProgramViewState& state) = 0;
};
