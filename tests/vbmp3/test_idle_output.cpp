// Nothing to play, nothing runs: paused or stopped, the library closes its
// sound device and its threads sleep until the next play, which goes on from
// where the track was.
#include "vbmp3/harness.h"

#include <fstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

int thread_count() {
    int count = 0;
    for ([[maybe_unused]] const fs::directory_entry& task :
         fs::directory_iterator("/proc/self/task")) {
        count++;
    }
    return count;
}

// Voluntary context switches of every thread of the process but the calling one.
long others_wakeups() {
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

// Wakeups of the library's threads while this one sleeps for a second.
long wakeups_in_a_second() {
    long before = others_wakeups();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return others_wakeups() - before;
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
    const int idle_threads = thread_count();
    EXPECT_LE(wakeups_in_a_second(), 1) << "threads wake before anything played";

    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return last_position() >= 1; }));
    EXPECT_GT(thread_count(), idle_threads); // the device and its watch
    vbmp3_pause();
    int paused_at = last_position();
    EXPECT_TRUE(pump_until([&] { return thread_count() == idle_threads; }))
        << "the device stays open while paused";
    EXPECT_LE(wakeups_in_a_second(), 1) << "threads wake while paused";

    // Resumed on a newly opened device, the track goes on from where it was.
    size_t events_before = recorded.size();
    vbmp3_restart();
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 10000));
    for (size_t i = events_before; i < recorded.size(); i++) {
        if (recorded[i].type == VBMP3_EVENT_POSITION) {
            EXPECT_GE(recorded[i].value, paused_at);
        }
    }
    EXPECT_FALSE(played_by_own_output());

    // Played to its end: stopped, once the tail is heard.
    EXPECT_TRUE(pump_until([&] { return thread_count() == idle_threads; }))
        << "the device stays open after the end";
    EXPECT_LE(wakeups_in_a_second(), 1) << "threads wake while stopped";
}

TEST_F(IdleOutput, StopClosesTheDeviceAndPlayOpensItAgain) {
    const int idle_threads = thread_count();
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return last_position() >= 0; }));
    vbmp3_close();
    EXPECT_TRUE(pump_until([&] { return thread_count() == idle_threads; }))
        << "the device stays open after a stop";
    clear_capture();
    EXPECT_TRUE(play_to_end("no_tag.mp3"));
    EXPECT_FALSE(captured().empty());
}
