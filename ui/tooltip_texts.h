// The panel's tooltip texts, by control id.
#pragma once

// Null when the control has no tooltip.
const char* ToolTipText(int controlId);
