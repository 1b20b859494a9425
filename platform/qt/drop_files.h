// Files dropped from another program, as Windows delivers them. Internal to
// the Qt platform layer.
#pragma once

#include "platform/qt/window.h"

class QEvent;

// Takes a Qt drag or drop event addressed to a widget of window: accepted
// when the window, or the nearest window above it in its dialog, accepts
// files and is enabled; the drop then posts WM_DROPFILES to that window with
// the dropped files whose names are valid UTF-8. True when Qt must not handle
// the event itself.
bool drop_route(HWND window, QEvent* event);
