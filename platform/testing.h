// Test hooks of the platform layer (Linux builds, tests only).
//
// Tests drive the real windows: they give input to the real widgets with Qt's
// test functions (QTest::mouseClick, QTest::keyClick on platform_test_widget)
// and run the message loop as the program does, so that the input reaches
// the window procedures exactly as it would for a user.
#pragma once

#include "platform/win_user.h"

#include <functional>

class QAccessibleInterface;
class QWidget;

// Creates the QApplication on Qt's off-screen platform when there is none
// yet. When the program's resources are not built in, they are read from the
// build's checked copy of them (MELODIANE_RESOURCE_DIR).
void platform_test_init();

// Reads the preprocessed resource script "melodiane.rc" and its files from
// dir instead.
void platform_test_set_resource_dir(const char* dir);

// Runs the message loop as the program's loop does (a message for a dialog
// goes through IsDialogMessageA of that dialog) until done() is true or
// timeout_ms have passed; returns done(). Posted messages, timers and Qt
// events are all processed meanwhile.
bool platform_test_pump_until(const std::function<bool()>& done, int timeout_ms);

// Runs the message loop until it is idle: Qt's pending events processed and
// no message waiting. Messages another thread posts later are not awaited.
void platform_test_settle();

// Runs the message loop for ms milliseconds; with 0, dispatches what is
// pending and returns.
void platform_test_pump(int ms);
void platform_test_process_events(int ms);

// Destroys every window, kills every timer and forgets every waiting
// message, so that the next test starts as a fresh process would.
void platform_test_reset();

// An instance handle for WinMain-style code under test.
HINSTANCE platform_test_instance();

// A left click in the middle of a window, as a user's mouse gives it.
void platform_test_click(HWND window);

// The exit code of the last WM_QUIT the pump fetched, or -1.
int platform_test_quit_code();

// The widget of a window, for QTest input (for a list box: the list area).
QWidget* platform_test_widget(HWND window);

// What assistive technology is given for a window (for a dialog, the root of
// its controls' tree), as Qt's accessibility bridge asks for it.
QAccessibleInterface* platform_test_accessible(HWND window);

// Dialog base units of a dialog, in pixels: one dialog unit across is
// base_x / 4 pixels, down base_y / 8.
void platform_test_dialog_base_units(HWND dialog, int* base_x, int* base_y);
