// The silence inserted between two tracks at a natural end, measured on the
// samples sent to SDL's dummy driver in real time: one continuous tone cut in
// two files, the second opened and played from the end event's handler, as
// the player does. Target: under 10 ms.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

static std::mutex capture_lock;
static std::vector<float> captured; // left channel of everything sent to the output

static void capture(const float* frames, int count, int, void*) {
    std::lock_guard<std::mutex> hold(capture_lock);
    for (int i = 0; i < count; i++) {
        captured.push_back(frames[2 * i]);
    }
}

static int gap_handler(int type, int) {
    static bool second = false;
    if (type == VBMP3_EVENT_END) {
        Pumper::ends++;
        if (!second) {
            second = true;
            char record[VBMP3_OPEN_RECORD_SIZE];
            vbmp3_open(fixture("gapless_b.mp3").c_str(), record);
            vbmp3_play();
        } else {
            second = false;
        }
    }
    return 0;
}

// Longest run of near-silent samples between the tone's first and last sample.
static size_t longest_silence() {
    std::lock_guard<std::mutex> hold(capture_lock);
    size_t first = captured.size();
    size_t last = 0;
    for (size_t i = 0; i < captured.size(); i++) {
        if (std::fabs(captured[i]) > 0.01f) {
            first = std::min(first, i);
            last = i;
        }
    }
    size_t longest = 0;
    size_t run = 0;
    for (size_t i = first; i < last; i++) {
        run = std::fabs(captured[i]) < 1e-3f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

static void BM_GapAtNaturalEnd(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    double worst_ms = 0.0;
    for (auto _ : state) {
        {
            std::lock_guard<std::mutex> hold(capture_lock);
            captured.clear();
        }
        vbmp3_testing_setTap(capture, nullptr);
        vbmp3_init();
        Pumper::install();
        vbmp3_callback(gap_handler);
        char record[VBMP3_OPEN_RECORD_SIZE];
        vbmp3_open(fixture("gapless_a.mp3").c_str(), record);
        vbmp3_play();
        Pumper::until_ends(2);
        std::this_thread::sleep_for(std::chrono::milliseconds(700)); // the tail
        vbmp3_free();
        vbmp3_testing_setTap(nullptr, nullptr);
        worst_ms = std::max(worst_ms, longest_silence() * 1000.0 / 44100.0);
    }
    state.counters["worst_gap_ms"] = worst_ms;
}

BENCHMARK(BM_GapAtNaturalEnd)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
