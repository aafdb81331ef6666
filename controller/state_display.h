// Writes the twelve state lines to the panel, each only when a field it shows
// has changed since it was last written: a run through millions of words does
// not format twelve texts for each of them, and the texts are the same as
// writing all twelve every time.
#pragma once

#include "machine_modes.h"
#include "panel_interfaces.h"
#include "state_texts.h"

class CStateDisplay {
public:
    // owner may be null: then nothing is displayed.
    explicit CStateDisplay(IPanelControls* owner) : owner(owner) {}

    void Update(const CMachineModes& modes);

private:
    IPanelControls* owner;
    // What the lines showed when they were last written.
    StateSnapshot shown{};
    bool displayed = false;
};
