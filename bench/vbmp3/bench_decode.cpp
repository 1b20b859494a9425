// Decode throughput on a five-minute stereo file: libmpg123 alone, then the
// library's whole sample path into the fast null output, with the equalizer
// off (volume below 100) and with all ten bands non-zero. Figures are times
// real time on one core (processor time of the whole process) for the
// fastest pass over the file, since the machine's other load only ever slows
// a pass down, and the ratio to libmpg123 alone measured in the same run.
#include "bench_support.h"
#include "mpg123_pass.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <algorithm>

static const double file_seconds = 300.0;
static double mpg123_speed; // times real time of libmpg123 alone, from the first benchmark

// The least processor time of the passes it measured.
struct FastestPass {
    double seconds = -1.0;
    double started = 0.0;
    void start() {
        started = process_seconds();
    }
    void stop() {
        double used = process_seconds() - started;
        seconds = seconds < 0.0 ? used : std::min(seconds, used);
    }
};

// Sets the counters from the fastest pass; the result is times real time.
static double report_speed(benchmark::State& state, const FastestPass& fastest, bool compare) {
    double speed = file_seconds / fastest.seconds;
    state.counters["x_real_time"] = speed;
    if (compare && mpg123_speed > 0.0) {
        state.counters["ratio_to_mpg123"] = speed / mpg123_speed;
    }
    return speed;
}

static void BM_Mpg123Alone(benchmark::State& state) {
    std::string path = five_minute_file();
    if (path.empty()) {
        state.SkipWithError("cannot make the five-minute file");
        return;
    }
    mpg123_init();
    FastestPass fastest;
    for (auto _ : state) {
        fastest.start();
        benchmark::DoNotOptimize(mpg123_decode_all(path));
        fastest.stop();
    }
    mpg123_speed = report_speed(state, fastest, false);
    mpg123_exit();
}

static void play_through_library(benchmark::State& state, const int* bands) {
    LibraryPasses passes(five_minute_file(), bands);
    FastestPass fastest;
    for (auto _ : state) {
        fastest.start();
        passes.pass();
        fastest.stop();
    }
    report_speed(state, fastest, true);
}

static void BM_LibraryEqualizerOff(benchmark::State& state) {
    const int flat[10] = {};
    play_through_library(state, flat);
}

static void BM_LibraryEqualizerAllBands(benchmark::State& state) {
    const int bands[10] = {60, -40, 30, -20, 10, -10, 20, 40, -30, 50};
    play_through_library(state, bands);
}

BENCHMARK(BM_Mpg123Alone)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_LibraryEqualizerOff)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_LibraryEqualizerAllBands)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

BENCHMARK_MAIN();
