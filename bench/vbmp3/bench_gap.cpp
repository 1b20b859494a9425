// The silence inserted between two tracks at a natural end, measured on the
// samples sent to SDL's dummy driver in real time: one continuous tone cut in
// two files, the second opened and played from the end event's handler, as
// the player does; at the output's rate (44.1 kHz), and at 48 kHz, resampled.
// Target: under 10 ms.
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

static std::string second_file; // opened by the handler at the first file's end

static int gap_handler(int type, int) {
    if (type == VBMP3_EVENT_END) {
        if (++Pumper::ends == 1) {
            char record[VBMP3_OPEN_RECORD_SIZE];
            vbmp3_open(second_file.c_str(), record);
            vbmp3_play();
        }
    }
    return 0;
}

// The 48 kHz pair, cut like the fixtures' 44.1 kHz one, made the first time.
static std::string resampled_pair(const char* part) {
    std::filesystem::path dir = bench_dir();
    std::filesystem::path a = dir / "gap48_a.mp3";
    std::filesystem::path b = dir / "gap48_b.mp3";
    if (!std::filesystem::exists(b)) {
        std::string wav = (dir / "gap48.wav").string();
        std::string make = "sox -D -n -r 48000 -c 2 -b 16 '" + wav +
                           "' synth 2.5 sine 440 gain -6 && " + "sox -D '" + wav + "' '" +
                           (dir / "gap48_a.wav").string() + "' trim 0 1.3 && " + "sox -D '" + wav +
                           "' '" + (dir / "gap48_b.wav").string() + "' trim 1.3 && " +
                           "lame --quiet --resample 48 -b 128 '" + (dir / "gap48_a.wav").string() +
                           "' '" + a.string() + "' && lame --quiet --resample 48 -b 128 '" +
                           (dir / "gap48_b.wav").string() + "' '" + b.string() + "'";
        if (std::system(make.c_str()) != 0) {
            return {};
        }
    }
    return (std::string(part) == "a" ? a : b).string();
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

static void measure_gap(benchmark::State& state, const std::string& first,
                        const std::string& second) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    second_file = second;
    double worst_ms = 0.0;
    for (auto _ : state) {
        {
            std::lock_guard<std::mutex> hold(capture_lock);
            captured.clear();
        }
        vbmp3_setCapture(capture, nullptr);
        vbmp3_init();
        Pumper::install();
        vbmp3_callback(gap_handler);
        char record[VBMP3_OPEN_RECORD_SIZE];
        vbmp3_open(first.c_str(), record);
        vbmp3_play();
        Pumper::until_ends(2);
        std::this_thread::sleep_for(std::chrono::milliseconds(700)); // the tail
        vbmp3_free();
        vbmp3_setCapture(nullptr, nullptr);
        worst_ms = std::max(worst_ms, longest_silence() * 1000.0 / 44100.0);
    }
    state.counters["worst_gap_ms"] = worst_ms;
}

static void BM_GapAtNaturalEnd(benchmark::State& state) {
    measure_gap(state, fixture("gapless_a.mp3"), fixture("gapless_b.mp3"));
}

static void BM_GapAtNaturalEndResampled(benchmark::State& state) {
    measure_gap(state, resampled_pair("a"), resampled_pair("b"));
}

BENCHMARK(BM_GapAtNaturalEnd)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GapAtNaturalEndResampled)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
