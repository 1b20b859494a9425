// Qt input events become window messages. Internal to the Qt platform layer.
//
// A key or mouse event on a window's widget is not handled by Qt at once: it
// is posted to the message queue as WM_KEYDOWN, WM_LBUTTONDOWN, ... with a
// copy of the Qt event. The program's loop fetches it (IsDialogMessageA sees
// the keys first) and dispatches it to the window's current procedure; when
// that procedure passes it on to the class procedure, the copy is handed to
// Qt, which then does what it normally does with it.
#pragma once

#include "platform/qt/window.h"

class QEvent;
class QString;
class QWheelEvent;

// Takes a Qt input event addressed to receiver, a widget of window, into the
// message queue; true when Qt must not handle it now. Mouse events are taken
// only when take_mouse is set (controls whose procedures act on the mouse).
// Drag and drop events go to drop_route (drop_files.h).
bool input_route(HWND window, QWidget* receiver, QEvent* event, bool take_mouse);

// Takes a wheel turn over receiver, a widget of window, into the message
// queue as WM_MOUSEWHEEL (for controls whose procedures act on the wheel).
bool input_route_wheel(HWND window, QWidget* receiver, QWheelEvent* event);

// Class procedures call this for input messages they leave to Qt: it delivers
// the Qt event the message was made from, when the message being handled is
// one the loop dispatched from real input.
void input_default(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The text the key typed, for a key-down message the loop dispatched from
// real input (the character a Windows TranslateMessage would have sent
// after it); empty otherwise.
QString input_typed_text(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// MK_SHIFT and MK_CONTROL as they were when the input message being handled
// was generated (what GetKeyState tells a Windows procedure).
unsigned input_modifier_keys();
