// The main window built from the resource script, with a dialog procedure
// that records what reaches it, for the platform layer's tests.
#pragma once

#include "common/resource.h"
#include "platform/testing.h"
#include "platform/win32.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

struct Received {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// What the recording procedure saw, oldest first.
inline std::vector<Received> received;
// Whether the recording procedure handles WM_CLOSE (returns TRUE).
inline bool handle_close = true;

inline bool is_recorded(UINT message) {
    return message == WM_COMMAND || message == WM_HSCROLL || message == WM_VSCROLL ||
           message == WM_TIMER || message == WM_CLOSE || message == WM_ENDSESSION ||
           message >= WM_APP;
}

inline INT_PTR CALLBACK recording_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        ShowWindow(window, SW_SHOW);
        return TRUE;
    }
    if (is_recorded(message)) {
        received.push_back({window, message, wparam, lparam});
        return message != WM_CLOSE || handle_close;
    }
    return FALSE;
}

// Messages of one kind the procedure received.
inline std::vector<Received> received_of(UINT message) {
    std::vector<Received> found;
    for (const Received& r : received) {
        if (r.message == message) {
            found.push_back(r);
        }
    }
    return found;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform_test_init();
        received.clear();
        handle_close = true;
        dialog =
            CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr, recording_proc, 0);
        ASSERT_NE(dialog, nullptr);
        platform_test_pump_until([this] { return platform_test_widget(dialog)->isActiveWindow(); },
                                 2000);
    }
    void TearDown() override {
        DestroyWindow(dialog);
        platform_test_settle();
    }
    HWND item(int id) const {
        return GetDlgItem(dialog, id);
    }
    QWidget* widget(int id) const {
        return platform_test_widget(item(id));
    }
    // Runs the loop until the procedure received count messages of a kind.
    bool wait_for(UINT message, std::size_t count, int timeout_ms = 2000) {
        return platform_test_pump_until([&] { return received_of(message).size() >= count; },
                                        timeout_ms);
    }
    // Runs the loop for ms while the condition holds; false once it fails.
    static bool stays(const std::function<bool()>& condition, int ms) {
        return !platform_test_pump_until([&] { return !condition(); }, ms);
    }

    HWND dialog = nullptr;
};
