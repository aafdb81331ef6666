#include "state_display.h"

void CStateDisplay::Update(const CMachineModes& modes)
{
    if (owner == nullptr)
        return;
    const StateSnapshot now = TakeStateSnapshot(modes);
    std::uint32_t changed = 0;
    for (std::size_t field = 0; field < DISPLAY_FIELD_COUNT; ++field) {
        if (!displayed || now[field] != shown[field])
            changed |= 1u << field;
    }
    if (changed == 0)
        return;
    shown = now;
    displayed = true;
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line) {
        if ((StateLineFields(line) & changed) != 0)
            owner->SetControlText(StateLineControlId(line), StateLineText(line, modes));
    }
}
