// A sound device that disappears while a track plays: the track goes on
// silently in real time, its positions rising, until its end; the next Play
// opens the device again. The device is SDL's disk driver, writing to a file
// whose size this process limits: once the limit is reached, its writes fail
// and SDL reports the device gone, as when a device is unplugged. The limit
// is the system's (Linux's RLIMIT_FSIZE): the Windows build has no such test.
#ifdef __linux__
#include "vbmp3/harness.h"

#include <algorithm>
#include <csignal>

#include <sys/resource.h>

namespace {

class DeviceLoss : public Session {
  protected:
    DeviceLoss() : Session("device", "disk") {}

    void SetUp() override {
        file_ = std::filesystem::temp_directory_path() /
                ("vbmp3-device-" + std::to_string(getpid()) + ".raw");
        setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
        // A write past the limit fails instead of ending the process.
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &unlimited_);
        Session::SetUp();
    }

    void TearDown() override {
        Session::TearDown();
        setrlimit(RLIMIT_FSIZE, &unlimited_);
        unsetenv("SDL_DISKAUDIOFILE");
        std::filesystem::remove(file_);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    // The device fails from its next write on; it took what it has written.
    void lose_device() {
        rlimit limit = unlimited_;
        limit.rlim_cur = std::filesystem::file_size(file_);
        setrlimit(RLIMIT_FSIZE, &limit);
    }

    // The device works again, as when it is plugged back.
    void find_device() {
        setrlimit(RLIMIT_FSIZE, &unlimited_);
    }

    std::filesystem::path file_;
    rlimit unlimited_{};
};

} // namespace

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
    lose_device();
    size_t heard_at_loss = captured().size();
    size_t events_at_loss = recorded.size();
    // Noticed: the library's own paced thread takes the samples instead.
    EXPECT_TRUE(pump_until([] { return output_is("silent"); }));

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
    find_device();
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    EXPECT_TRUE(pump_until([] { return output_is("device"); }));
    EXPECT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 2; }));
}

TEST_F(DeviceLoss, PausedTrackStaysPausedAfterTheLoss) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([this] { return seconds_taken(captured()) >= 0.3; }));
    vbmp3_pause();
    lose_device();
    // Longer than the loss takes to be noticed.
    EXPECT_TRUE(stays(
        [] { return count_events(VBMP3_EVENT_END) == 0 && vbmp3_getState(nullptr) == 2; }, 1800));
    vbmp3_restart();
    EXPECT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) > 0; }, 10000));
}

#endif
