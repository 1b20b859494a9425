// SIGTERM, SIGINT and SIGHUP reach the user-interface thread once, through
// its event loop; the first never ends the process by itself, a second one does.
#include "platform/qt/desktop/desktop.h"

#include "platform/qt_app.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <csignal>

// Turns the event loop for up to timeout_ms, or until done says so.
static void turn_loop(int timeout_ms, const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < timeout_ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
}

TEST(ShutdownSignals, FirstSignalReachesTheLoopASecondEndsTheProcess) {
    test_application();
    int calls = 0;
    ASSERT_TRUE(shutdown_signals_watch([&] { calls++; }));
    EXPECT_FALSE(shutdown_signals_watch([] {})); // once only

    raise(SIGTERM);
    EXPECT_EQ(calls, 0); // nothing runs inside the handler
    turn_loop(5000, [&] { return calls > 0; });
    EXPECT_EQ(calls, 1);

    // A second signal, of any of the three, ends a close that hangs: in a
    // child, since it ends the process.
    // (Twice: a death test run afresh has seen no signal yet.)
    for (int signal : {SIGINT, SIGHUP, SIGTERM})
        EXPECT_EXIT((raise(signal), raise(signal)), testing::KilledBySignal(signal), "") << signal;
    EXPECT_EQ(calls, 1);
}
