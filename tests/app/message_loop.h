// The tests' side of the program's message loop, one implementation per
// platform: the windows' toolkit made ready, and the loop run as the
// program's own loop runs it, until a condition holds or nothing is left.
#pragma once

#include "platform/win32.h"

#include <functional>

// Makes the window system ready for the program's windows.
void loop_init();

// The instance handle the program's dialogs are made from.
HINSTANCE loop_instance();

// Runs the loop until done() holds or deadline_ms have passed; returns done().
bool loop_until(const std::function<bool()>& done, int deadline_ms);

// Runs the loop until no message is waiting and the window system is idle.
// Messages another thread posts later are not awaited.
void loop_settle();
