// The program's place on the desktop: the claim of its start folder and the
// raising of its window, the desktop's player controls, and the close that a
// shutdown signal starts. Internal to the Qt platform layer.
#pragma once

#include "platform/win_types.h"

#include <functional>

// ---- Raising the window (bring_forward.cpp), for a second start in the
// folder and the desktop's Raise

// Restores the window if minimised, raises and activates it, then the dialog
// it has open, which stays in front of it as on Windows. As far as the window
// manager allows: X11 ones do; Wayland compositors may only mark the window
// as asking for attention.
void bring_window_forward(HWND window);

// ---- Closing from outside, as Windows ends a session (close_request.cpp)

// Closes the menus and Qt dialogs that are open, posts WM_CLOSE to every
// dialog owned by another window, then, once those have gone, WM_ENDSESSION
// (wParam TRUE) to the main windows: the program closes as at the end of a
// Windows session, with nobody at the window to answer a box.
void platform_close_request();

// ---- Ending on SIGTERM, SIGINT or SIGHUP: a logout, a closed terminal
// (shutdown_signals.cpp)

// Installs the handlers; call once, on the user-interface thread, once the
// QApplication exists. The handler itself only writes a byte to a pipe; the
// event loop that runs at the time (the message loop or any modal loop) wakes
// on it and calls on_signal on the user-interface thread. Only the first
// signal is handled: a second one ends the process at once, as the signal
// does by default. False when the pipe or the handlers cannot be set up.
bool shutdown_signals_watch(std::function<void()> on_signal);
