// Closing the program from outside (a shutdown signal) as Windows ends a
// session. Internal to the Qt platform layer.
#pragma once

// Closes the menus and Qt dialogs that are open, posts WM_CLOSE to every
// dialog owned by another window, then, once those have gone, WM_ENDSESSION
// (wParam TRUE) to the main windows: the program closes as at the end of a
// Windows session, with nobody at the window to answer a box.
void platform_close_request();
