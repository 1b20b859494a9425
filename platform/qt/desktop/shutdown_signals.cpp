// Shutdown signals through a self-pipe watched by the Qt event loop.
#include "platform/qt/desktop/desktop.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

static const int watched_signals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the user-interface thread.
static int wake_pipe[2] = {-1, -1};
// Set by the handler at the first signal; a later one finds it set.
static volatile sig_atomic_t signalled = 0;

// Async-signal-safe: one write to a non-blocking pipe. A second signal ends
// the process as if it were not handled: whoever sends it will not wait for
// a close that has not ended at the first.
static void on_shutdown_signal(int signal) {
    if (signalled) {
        struct sigaction fatal = {};
        fatal.sa_handler = SIG_DFL;
        sigemptyset(&fatal.sa_mask);
        sigaction(signal, &fatal, nullptr);
        raise(signal);
        return;
    }
    signalled = 1;
    int saved_errno = errno;
    char byte = 1;
    ssize_t ignored = write(wake_pipe[1], &byte, 1);
    (void)ignored;
    errno = saved_errno;
}

bool shutdown_signals_watch(std::function<void()> on_signal) {
    if (wake_pipe[0] >= 0 || pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto* notifier =
        new QSocketNotifier(wake_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, on_signal] {
        char byte;
        while (read(wake_pipe[0], &byte, 1) > 0) {
        }
        notifier->setEnabled(false);
        on_signal();
    });

    struct sigaction action = {};
    action.sa_handler = on_shutdown_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : watched_signals) {
        if (sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}
