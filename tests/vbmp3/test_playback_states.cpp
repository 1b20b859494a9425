// States, events and seeking of real tracks played on SDL's dummy driver, in real time.
#include "vbmp3/harness.h"

#include <atomic>

using Playback = Session;

TEST_F(Playback, StatesFollowOpenPlayPauseRestartClose) {
    EXPECT_EQ(vbmp3_getState(nullptr), 0);
    vbmp3_play(); // nothing open: nothing happens
    EXPECT_EQ(vbmp3_getState(nullptr), 0);

    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    EXPECT_EQ(vbmp3_getState(nullptr), 2); // open, waiting at its start
    vbmp3_play();
    EXPECT_EQ(vbmp3_getState(nullptr), 1);
    vbmp3_pause();
    EXPECT_EQ(vbmp3_getState(nullptr), 2);
    vbmp3_restart();
    EXPECT_EQ(vbmp3_getState(nullptr), 1);

    int ends_during_close = -1;
    vbmp3_close();
    ends_during_close = count_events(VBMP3_EVENT_END);
    EXPECT_EQ(ends_during_close, 1); // delivered before vbmp3_close returned
    EXPECT_EQ(vbmp3_getState(nullptr), 0);

    vbmp3_close(); // harmless, and no second end
    EXPECT_TRUE(stays([] { return count_events(VBMP3_EVENT_END) == 1; }, 100));
}

TEST_F(Playback, PositionsRiseAndOneEndArrivesAtTheNaturalEnd) {
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    // Nobody pumps: the track stays open and playing after its end is raised.
    std::this_thread::sleep_for(std::chrono::milliseconds(1400));
    EXPECT_EQ(vbmp3_getState(nullptr), 1);
    EXPECT_TRUE(recorded.empty());

    vbmp3_pump();
    EXPECT_EQ(count_events(VBMP3_EVENT_END), 1);
    EXPECT_EQ(vbmp3_getState(nullptr), 0);
    EXPECT_TRUE(stays([] { return count_events(VBMP3_EVENT_END) == 1; }, 200));
}

TEST_F(Playback, PositionsAreReportedEverySecondAndRise) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    auto start = std::chrono::steady_clock::now();
    std::vector<double> arrival; // seconds since play, per event
    on_event = [&](int) {
        arrival.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    };
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 6000));
    std::vector<int> positions;
    for (size_t i = 0; i < recorded.size(); i++) {
        if (recorded[i].type == VBMP3_EVENT_POSITION) {
            positions.push_back(recorded[i].value);
            // What is heard, not what is decoded: the decoder runs half a second ahead.
            EXPECT_LE(recorded[i].value, arrival[i] + 0.1);
        }
    }
    ASSERT_GE(positions.size(), 3u); // a three-second track
    EXPECT_EQ(positions.front(), 0);
    EXPECT_GE(positions.back(), 2);
    for (size_t i = 1; i < positions.size(); i++) {
        EXPECT_GE(positions[i], positions[i - 1]);
    }
    EXPECT_EQ(recorded.back().type, VBMP3_EVENT_END);
}

TEST_F(Playback, OpenReplacingATrackRaisesNoEndEvenNearItsEnd) {
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    // Let the first track raise its end, then replace it before it is delivered:
    // the stale end must not reach the new track.
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    pump_for(700);
    EXPECT_EQ(count_events(VBMP3_EVENT_END), 0);
    EXPECT_EQ(vbmp3_getState(nullptr), 1);
    vbmp3_close();
    EXPECT_EQ(count_events(VBMP3_EVENT_END), 1);
}

TEST_F(Playback, FreeDeliversNothingEvenWithEventsPending) {
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    std::this_thread::sleep_for(std::chrono::milliseconds(1300)); // positions and the end wait
    vbmp3_free();
    EXPECT_TRUE(recorded.empty());
    vbmp3_pump();
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(vbmp3_getState(nullptr), 0);
}

TEST_F(Playback, SeekMovesThePositionWhilePlayingAndWhilePaused) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    vbmp3_seek(2);
    EXPECT_EQ(vbmp3_getState(nullptr), 1);
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_POSITION) > 0; }));
    EXPECT_EQ(recorded.front().value, 2);

    vbmp3_seek(0);
    vbmp3_pause();
    vbmp3_seek(1);
    EXPECT_EQ(vbmp3_getState(nullptr), 2);
    recorded.clear();
    EXPECT_TRUE(stays([] { return recorded.empty(); }, 100)); // nothing while paused
    vbmp3_restart();
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_POSITION) > 0; }));
    EXPECT_EQ(recorded.front().value, 1);
    // From second 1 of three, the end comes within about two seconds.
    EXPECT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 3000));
}

TEST_F(Playback, HandlerMayOpenAndPlayTheNextTrackAtTheEnd) {
    std::vector<std::string> queue = {"title_only.mp3", "artist_only.mp3"};
    on_event = [&](int type) {
        if (type == VBMP3_EVENT_END && !queue.empty()) {
            vbmp3_open(fixture(queue.front()).c_str(), record_);
            queue.erase(queue.begin());
            vbmp3_play();
        }
    };
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 3; }, 6000));
    EXPECT_EQ(vbmp3_getState(nullptr), 0);
    EXPECT_TRUE(stays([] { return count_events(VBMP3_EVENT_END) == 3; }, 200));
}

// Counts the wakeup calls: the library asks the program's thread to pump.
static std::atomic<int> wakeups{0};
static void count_wakeup() {
    wakeups++;
}

TEST_F(Playback, PositionsWakeOnlyAProgramThatDoesNotPumpOnItsOwn) {
    vbmp3_setWakeup(count_wakeup);
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    // Pumping on its own every 100 ms, as the player's timer does every
    // second: positions arrive and never wake it.
    wakeups = 0;
    vbmp3_pump();
    vbmp3_play();
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1800);
    while (std::chrono::steady_clock::now() < until) {
        vbmp3_pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_GE(count_events(VBMP3_EVENT_POSITION), 2);
    EXPECT_EQ(wakeups.load(), 0);

    // Pumping only when woken: a position still wakes it, before the end does.
    vbmp3_seek(0);
    recorded.clear();
    wakeups = 0;
    bool position_before_end = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (count_events(VBMP3_EVENT_END) == 0 && std::chrono::steady_clock::now() < deadline) {
        if (wakeups.exchange(0) > 0) {
            vbmp3_pump();
            position_before_end = position_before_end || (count_events(VBMP3_EVENT_END) == 0 &&
                                                          count_events(VBMP3_EVENT_POSITION) > 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(position_before_end);
    EXPECT_EQ(count_events(VBMP3_EVENT_END), 1);
    vbmp3_setWakeup(nullptr);
}
