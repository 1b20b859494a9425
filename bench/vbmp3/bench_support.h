// Shared helpers of the decoder benchmarks: test files made on demand, a way
// to play a file through the library and wait for its end, and the timed pass
// of the whole sample path the Linux and Windows decode benchmarks share.
#pragma once

#include "vbmp3/vbmp3.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

// Processor time of the whole process, every thread included: unlike the wall
// clock, the machine's other load barely changes it.
inline double process_seconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A folder for generated files, kept between runs so they are made once.
inline std::filesystem::path bench_dir() {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "melodiane_bench";
    std::filesystem::create_directories(dir);
    return dir;
}

// The test MP3s: where scripts/bench.sh says (MELODIANE_FIXTURES), else beside
// this source, which a compiler cache may have named by a relative path.
inline std::string fixture(const std::string& name) {
    const char* fixtures = std::getenv("MELODIANE_FIXTURES");
    if (fixtures != nullptr) {
        return (std::filesystem::path(fixtures) / name).string();
    }
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "tests" /
            "fixtures" / name)
        .string();
}

// A five-minute stereo MP3 of music-like noise and tones, 44.1 kHz, 192 kbit/s,
// encoded with sox and lame the first time it is asked for.
inline std::string five_minute_file() {
    std::filesystem::path mp3 = bench_dir() / "five_minutes.mp3";
    if (!std::filesystem::exists(mp3)) {
        std::string wav = (bench_dir() / "five_minutes.wav").string();
        std::string make = "sox -n -r 44100 -c 2 -b 16 '" + wav +
                           "' synth 300 pinknoise synth 300 sine mix 220-880 gain -12 && "
                           "lame --quiet -b 192 '" +
                           wav + "' '" + mp3.string() + "' && rm '" + wav + "'";
        if (std::system(make.c_str()) != 0) {
            return {};
        }
    }
    return mp3.string();
}

// Events of the library reach the benchmark's thread as they would reach the
// program: the wakeup signals, the thread pumps.
struct Pumper {
    static inline std::mutex lock;
    static inline std::condition_variable signalled;
    static inline bool woken = false;
    static inline int ends = 0;

    static void wakeup() {
        std::lock_guard<std::mutex> hold(lock);
        woken = true;
        signalled.notify_all();
    }
    static int handler(int type, int) {
        ends += type == VBMP3_EVENT_END;
        return 0;
    }
    static void install() {
        ends = 0;
        vbmp3_callback(handler);
        vbmp3_setWakeup(wakeup);
    }
    // Waits for a wakeup, or 50 ms, and pumps.
    static void pump_once() {
        {
            std::unique_lock<std::mutex> hold(lock);
            signalled.wait_for(hold, std::chrono::milliseconds(50), [] { return woken; });
            woken = false;
        }
        vbmp3_pump();
    }
    // Pumps until the count of end events reaches target.
    static void until_ends(int target) {
        while (ends < target) {
            pump_once();
        }
    }
};

// A file played through the library into the fast null output, the volume at
// 90 and these equalizer bands, pass after pass.
class LibraryPasses {
  public:
    LibraryPasses(const std::string& path, const int* bands) : path_(path) {
        VBMP3_TAG_INFO tag;
        vbmp3_getFileInfo(path.c_str(), &tag, &info_);
        vbmp3_setOutput("fast");
        vbmp3_setCapture(count_frames, nullptr);
        vbmp3_init();
        Pumper::install();
        vbmp3_setVolume(90, 90);
        vbmp3_setEqualizer(bands);
    }
    ~LibraryPasses() {
        vbmp3_free();
        vbmp3_setCapture(nullptr, nullptr);
        vbmp3_setOutput("device");
    }
    LibraryPasses(const LibraryPasses&) = delete;
    LibraryPasses& operator=(const LibraryPasses&) = delete;

    // One play from the start until the output has taken every sample.
    void pass() {
        frames_heard = 0;
        vbmp3_open(path_.c_str(), record_);
        vbmp3_play();
        Pumper::until_ends(++ends_);
        // The end comes while the tail is queued: wait until all of it is taken.
        while (frames_heard < static_cast<uint64_t>(info_.samples)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

  private:
    static inline std::atomic<uint64_t> frames_heard{0};
    static void count_frames(const float*, int count, int, void*) {
        frames_heard += static_cast<uint64_t>(count);
    }

    std::string path_;
    VBMP3_INFO info_;
    char record_[VBMP3_OPEN_RECORD_SIZE];
    int ends_ = 0;
};
