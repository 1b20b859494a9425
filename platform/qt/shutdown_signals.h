// Ending the program on SIGTERM, SIGINT or SIGHUP (a logout, a closed
// terminal). Internal to the Qt platform layer.
#pragma once

#include <functional>

// Installs the handlers; call once, on the user-interface thread, once the
// QApplication exists. The handler itself only writes a byte to a pipe; the
// event loop that runs at the time (the message loop or any modal loop) wakes
// on it and calls on_signal on the user-interface thread. Only the first
// signal is handled: a second one ends the process at once, as the signal
// does by default. False when the pipe or the handlers cannot be set up.
bool shutdown_signals_watch(std::function<void()> on_signal);
