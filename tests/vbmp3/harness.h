// Shared helpers of the decoder tests: fixture paths, an event recorder, and a
// library session that is set up and released around each test.
#pragma once

#include "vbmp3/vbmp3.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The fixtures directory: from the environment, else beside this file's folder.
inline std::string fixture(const std::string& name) {
    const char* dir = std::getenv("MELODIANE_FIXTURES");
    std::filesystem::path base =
        dir ? std::filesystem::path(dir)
            : std::filesystem::path(__FILE__).parent_path().parent_path() / "fixtures";
    return (base / name).string();
}

struct RecordedEvent {
    int type;
    int value;
};

// Every event the handler received, in order. Events arrive on the test's
// own thread (through vbmp3_pump or vbmp3_close), so no lock is needed.
inline std::vector<RecordedEvent> recorded;
// Runs inside the handler after recording, when set: lets a test re-enter the library.
inline std::function<void(int type)> on_event;

inline int record_event(int type, int value) {
    recorded.push_back({type, value});
    if (on_event) {
        on_event(type);
    }
    return 0;
}

inline int count_events(int type) {
    int n = 0;
    for (const RecordedEvent& e : recorded) {
        n += e.type == type;
    }
    return n;
}

// Pumps until done() holds or the time runs out; the result is done().
inline bool pump_until(const std::function<bool()>& done, int milliseconds = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        vbmp3_pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// What takes the samples now is the named output ("" once nothing plays).
inline bool output_is(const char* name) {
    return strcmp(vbmp3_getOutput(), name) == 0;
}

inline void pump_for(int milliseconds) {
    pump_until([] { return false; }, milliseconds);
}

// Pumps for a while as long as the condition holds; false as soon as it
// fails. For what must not happen.
inline bool stays(const std::function<bool()>& condition, int milliseconds) {
    return !pump_until([&] { return !condition(); }, milliseconds);
}

// Seconds of sound the output has taken, silence included.
inline double seconds_taken(const std::vector<float>& captured) {
    return captured.size() / 2 / 44100.0;
}

// Samples captured from the output: interleaved stereo at rate.
struct Capture {
    std::mutex lock;
    std::vector<float> samples;
    int rate = 0;
};

inline void capture_tap(const float* frames, int count, int rate, void* user) {
    Capture* capture = static_cast<Capture*>(user);
    std::lock_guard<std::mutex> hold(capture->lock);
    capture->samples.insert(capture->samples.end(), frames, frames + 2 * count);
    capture->rate = rate;
}

// A library session on the given output, with the recorder as handler, over
// SDL's driver of that name.
class Session : public ::testing::Test {
  protected:
    // Never a real sound card by default: the tests must not depend on one.
    explicit Session(const char* output = "device", const char* driver = "dummy")
        : output_(output), driver_(driver) {}
    void SetUp() override {
        recorded.clear();
        on_event = nullptr;
#ifdef _WIN32
        _putenv_s("SDL_AUDIODRIVER", driver_);
#else
        setenv("SDL_AUDIODRIVER", driver_, 1);
#endif
        vbmp3_setOutput(output_);
        vbmp3_setCapture(capture_tap, &capture_);
        ASSERT_NE(vbmp3_init(), 0);
        vbmp3_callback(record_event);
        const int flat[10] = {};
        vbmp3_setEqualizer(flat);
        vbmp3_setVolume(100, 100);
    }
    void TearDown() override {
        vbmp3_free();
        vbmp3_setCapture(nullptr, nullptr);
        on_event = nullptr;
    }
    // Opens and plays a fixture, then pumps until its end event arrives.
    bool play_to_end(const std::string& name, int milliseconds = 10000) {
        int ends = count_events(VBMP3_EVENT_END);
        vbmp3_open(fixture(name).c_str(), record_);
        vbmp3_play();
        bool ended = pump_until([&] { return count_events(VBMP3_EVENT_END) > ends; }, milliseconds);
        if (strcmp(output_, "fast") == 0) {
            settle();
        }
        return ended;
    }
    // The end is raised while the tail is still queued, maybe the whole track
    // before the output's thread has even started: waits until the output has
    // closed, which it does only once it has handed everything to the tap.
    void settle() {
        EXPECT_TRUE(pump_until([] { return output_is(""); }, 10000))
            << "the output never finished the track";
    }
    std::vector<float> captured() {
        std::lock_guard<std::mutex> hold(capture_.lock);
        return capture_.samples;
    }
    void clear_capture() {
        std::lock_guard<std::mutex> hold(capture_.lock);
        capture_.samples.clear();
    }

    const char* output_;
    const char* driver_;
    Capture capture_;
    char record_[VBMP3_OPEN_RECORD_SIZE] = {};
};

// The same session with the fast null output: a file plays in a moment.
class FastSession : public Session {
  protected:
    FastSession() : Session("fast") {}
};
