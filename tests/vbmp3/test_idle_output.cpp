// Nothing to play, nothing runs: paused or stopped, the library closes its
// sound device and its threads sleep until the next play, which goes on from
// where the track was.
#include "vbmp3/harness.h"

#ifdef __linux__
#include <fstream>

#include <unistd.h>
#endif

namespace {

bool output_closed() {
    return output_is("");
}

#ifdef __linux__
// Voluntary context switches of every thread of the process but the calling one.
long others_wakeups() {
    namespace fs = std::filesystem;
    std::string self = std::to_string(gettid());
    long total = 0;
    for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self) {
            continue;
        }
        std::ifstream status(task.path() / "status");
        std::string line;
        const std::string key = "voluntary_ctxt_switches:";
        while (std::getline(status, line)) {
            if (line.compare(0, key.size(), key) == 0) {
                total += std::stol(line.substr(key.size()));
            }
        }
    }
    return total;
}
#endif

// No thread but this one wakes for a second (counted where the system says:
// Linux's /proc).
void expect_asleep(const char* when) {
#ifdef __linux__
    long before = others_wakeups();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LE(others_wakeups() - before, 1) << "threads wake " << when;
#else
    (void)when;
#endif
}

int last_position() {
    for (auto it = recorded.rbegin(); it != recorded.rend(); ++it) {
        if (it->type == VBMP3_EVENT_POSITION) {
            return it->value;
        }
    }
    return -1;
}

} // namespace

using IdleOutput = Session;

TEST_F(IdleOutput, PausedAndStoppedTheDeviceClosesAndNothingWakes) {
    EXPECT_TRUE(output_closed());
    expect_asleep("before anything played");

    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return last_position() >= 1; }));
    EXPECT_STREQ(vbmp3_getOutput(), "device");
    vbmp3_pause();
    int paused_at = last_position();
    EXPECT_TRUE(pump_until(output_closed)) << "the device stays open while paused";
    expect_asleep("while paused");

    // Resumed on a newly opened device, the track goes on from where it was.
    size_t events_before = recorded.size();
    vbmp3_restart();
    EXPECT_TRUE(pump_until([] { return output_is("device"); }));
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 10000));
    for (size_t i = events_before; i < recorded.size(); i++) {
        if (recorded[i].type == VBMP3_EVENT_POSITION) {
            EXPECT_GE(recorded[i].value, paused_at);
        }
    }

    // Played to its end: stopped, once the tail is heard.
    EXPECT_TRUE(pump_until(output_closed)) << "the device stays open after the end";
    expect_asleep("while stopped");
}

TEST_F(IdleOutput, StopClosesTheDeviceAndPlayOpensItAgain) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return last_position() >= 0; }));
    vbmp3_close();
    EXPECT_TRUE(pump_until(output_closed)) << "the device stays open after a stop";
    clear_capture();
    EXPECT_TRUE(play_to_end("no_tag.mp3"));
    EXPECT_FALSE(captured().empty());
}
