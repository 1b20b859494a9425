// Closing every window from outside, innermost first.
#include "platform/qt/desktop/desktop.h"

#include "platform/qt/user/user.h"

#include <QTimer>

static bool owned_dialog_open() {
    for (HWND dialog : windows_alive_dialogs()) {
        if (dialog->owner != nullptr) {
            return true;
        }
    }
    return false;
}

// The main windows hear of the end of the session once the dialogs they own
// have gone, or after about two seconds if one of them stays open.
static void end_main_windows(int checks_left) {
    if (owned_dialog_open() && checks_left > 0) {
        QTimer::singleShot(10, [checks_left] { end_main_windows(checks_left - 1); });
        return;
    }
    for (HWND dialog : windows_alive_dialogs()) {
        if (dialog->owner == nullptr) {
            PostMessageA(dialog, WM_ENDSESSION, TRUE, 0);
        }
    }
}

void platform_close_request() {
    queue_end_foreign_loops();
    for (HWND dialog : windows_alive_dialogs()) {
        if (dialog->owner != nullptr) {
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
    }
    end_main_windows(200);
}
