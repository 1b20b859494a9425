// Closing the program from outside (a shutdown signal) the way its user
// would. Internal to the Qt platform layer.
#pragma once

// Closes the menus and Qt dialogs that are open, then posts WM_CLOSE to
// every dialog, those owned by another window first: a modal dialog closes
// before the main window hears of the request, which it then handles as its
// close button.
void platform_close_request();
