// The tests' message loop on Windows: the program's own loop (a message for
// a dialog goes through IsDialogMessageA of that dialog), run in the test.
#include "message_loop.h"

#include <chrono>

// Dispatches what is waiting; returns whether anything was.
static bool dispatch_waiting() {
    bool any = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        HWND dialog = GetAncestor(message.hwnd, GA_ROOT);
        if (dialog != nullptr && IsDialogMessageA(dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return any;
}

void loop_init() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
}

HINSTANCE loop_instance() {
    return GetModuleHandleA(nullptr);
}

bool loop_until(const std::function<bool()>& done, int deadline_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
    while (!done()) {
        dispatch_waiting();
        if (done()) {
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return done();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left.count() < 10 ? (DWORD)left.count() : 10,
                                  QS_ALLINPUT);
    }
    return true;
}

void loop_settle() {
    // Empty once, then a short pass: what a dispatch posts (a timer due now,
    // a message sent back) arrives within it.
    do {
        while (dispatch_waiting()) {
        }
    } while (MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT) == WAIT_OBJECT_0);
}
