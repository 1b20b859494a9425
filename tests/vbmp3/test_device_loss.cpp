// A sound device that disappears while a track plays: the track goes on
// silently in real time, its positions rising, until its end; the next Play
// opens the device again.
#include "vbmp3/harness.h"

#include <algorithm>

using DeviceLoss = Session;

TEST_F(DeviceLoss, PlaybackGoesOnInRealTimeAndEnds) {
    const std::string name = "cbr_44k_stereo_v23.mp3";
    VBMP3_INFO info = {};
    ASSERT_NE(vbmp3_getFileInfo(fixture(name).c_str(), nullptr, &info), 0);
    ASSERT_GT(info.samples, 0);
    double length = static_cast<double>(info.samples) / info.frequency;
    ASSERT_GT(length, 2.0); // long enough to be lost in the middle

    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    ASSERT_NE(vbmp3_open(fixture(name).c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([this] { return seconds_taken(captured()) >= 0.5; }));
    vbmp3_testing_loseDevice();
    size_t heard_at_loss = captured().size();
    size_t events_at_loss = recorded.size();
    // Noticed: the library's own paced thread takes the samples instead.
    EXPECT_TRUE(pump_until([] { return vbmp3_testing_output() == VBMP3_OUTPUT_PACED; }));

    auto highest = [](size_t from, size_t to) {
        int seconds = -1;
        for (size_t i = from; i < to; i++) {
            if (recorded[i].type == VBMP3_EVENT_POSITION) {
                seconds = std::max(seconds, recorded[i].value);
            }
        }
        return seconds;
    };
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) > 0; }, 10000))
        << "the track never ended after its device was lost";
    double ended = elapsed();
    // The end is raised once the last frame is queued (half a second before it
    // is heard); the lost device cost about a second before it was noticed.
    EXPECT_GT(ended, length - 1.0);
    EXPECT_LT(ended, length + 2.0);
    // Positions went on rising after the loss, up to the last second.
    EXPECT_GT(highest(events_at_loss, recorded.size()), highest(0, events_at_loss));
    EXPECT_GE(highest(events_at_loss, recorded.size()), static_cast<int>(length) - 1);
    EXPECT_EQ(vbmp3_getState(nullptr), 0);

    // What followed the loss was taken by our own output, not the stopped
    // device, and took the rest of the track in real time.
    EXPECT_GT(captured().size(), heard_at_loss);

    // The next play opens a device again, and the track plays to its end.
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    EXPECT_TRUE(pump_until([] { return vbmp3_testing_output() == VBMP3_OUTPUT_DEVICE; }));
    EXPECT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 2; }));
}

TEST_F(DeviceLoss, PausedTrackStaysPausedAfterTheLoss) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([this] { return seconds_taken(captured()) >= 0.3; }));
    vbmp3_pause();
    vbmp3_testing_loseDevice();
    // Longer than the loss takes to be noticed.
    EXPECT_TRUE(stays(
        [] { return count_events(VBMP3_EVENT_END) == 0 && vbmp3_getState(nullptr) == 2; }, 1800));
    vbmp3_restart();
    EXPECT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) > 0; }, 10000));
}
