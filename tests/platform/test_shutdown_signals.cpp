// SIGTERM, SIGINT and SIGHUP reach the user-interface thread once, through
// its event loop, and never end the process by themselves.
#include "platform/qt/shutdown_signals.h"

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

TEST(ShutdownSignals, FirstSignalReachesTheLoopLaterOnesAreIgnored) {
    test_application();
    int calls = 0;
    ASSERT_TRUE(shutdown_signals_watch([&] { calls++; }));
    EXPECT_FALSE(shutdown_signals_watch([] {})); // once only

    raise(SIGTERM);
    EXPECT_EQ(calls, 0); // nothing runs inside the handler
    turn_loop(5000, [&] { return calls > 0; });
    EXPECT_EQ(calls, 1);

    // A second signal during the shutdown neither calls again nor kills.
    raise(SIGINT);
    raise(SIGHUP);
    raise(SIGTERM);
    turn_loop(200, [] { return false; });
    EXPECT_EQ(calls, 1);
}
