// Bringing a top-level window to the front, shared by a second start in the
// folder and the desktop's Raise. Internal to the Qt platform layer.
#pragma once

#include "platform/win_types.h"

// Restores the window if minimised, raises and activates it, then the dialog
// it has open, which stays in front of it as on Windows. As far as the window
// manager allows: X11 ones do; Wayland compositors may only mark the window
// as asking for attention.
void bring_window_forward(HWND window);
