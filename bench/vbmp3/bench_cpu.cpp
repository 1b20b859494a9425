// Processor use while a track plays in real time on SDL's dummy driver with
// all ten equalizer bands on, as a fraction of one core; beside the processor
// time Debian's mpg123 player needs per second of the same file (decoding to
// its dummy output as fast as it can). Target: under 2 %.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <thread>

static const int play_seconds = 10;

static double children_seconds() {
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

static double mpg123_percent; // of one core per second of audio, from the first benchmark

static void BM_Mpg123PlayerDecoding(benchmark::State& state) {
    std::string path = five_minute_file();
    double before = children_seconds();
    for (auto _ : state) {
        std::string command = "mpg123 -q --no-control -o dummy '" + path + "'";
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("mpg123 failed");
            return;
        }
    }
    double used = children_seconds() - before;
    mpg123_percent = 100.0 * used / (300.0 * static_cast<double>(state.iterations()));
    state.counters["cpu_percent_per_audio_second"] = mpg123_percent;
}

static void BM_PlayingWithEqualizer(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string path = five_minute_file();
    vbmp3_init();
    Pumper::install();
    const int bands[10] = {60, -40, 30, -20, 10, -10, 20, 40, -30, 50};
    vbmp3_setEqualizer(bands);
    vbmp3_setVolume(80, 80);
    char record[VBMP3_OPEN_RECORD_SIZE];
    double percent = 0.0;
    for (auto _ : state) {
        vbmp3_open(path.c_str(), record);
        vbmp3_play();
        std::this_thread::sleep_for(std::chrono::seconds(1)); // past the first fill of the queue
        double start = process_seconds();
        auto wall = std::chrono::steady_clock::now();
        auto until = wall + std::chrono::seconds(play_seconds);
        while (std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            vbmp3_pump(); // what the program's message loop does
        }
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
        percent = 100.0 * (process_seconds() - start) / elapsed;
        vbmp3_close();
    }
    vbmp3_free();
    state.counters["cpu_percent"] = percent;
    if (mpg123_percent > 0.0) {
        state.counters["ratio_to_mpg123"] = percent / mpg123_percent;
    }
}

BENCHMARK(BM_Mpg123PlayerDecoding)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayingWithEqualizer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
