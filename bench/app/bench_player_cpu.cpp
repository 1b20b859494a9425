// Processor use and wakeups of the whole program with its window open while
// playing, paused and stopped, and beside it the mpg123 command-line player
// decoding the same file.
//
// Processor use is processor time over wall time, in per cent of one core;
// wakeups are the voluntary context switches of every thread of the process
// (getrusage counts those of threads that ended too) per second of wall time.
// Paused and stopped, nothing may poll: at most one wakeup a second in all,
// over 30 s of each state. mpg123 runs with its dummy output, which does not
// pace itself, so its figure is its processor time over the file's length:
// the cost of one second of sound.
//
// Playing (three windows of 5 s) and mpg123 (ten runs of a few tens of
// milliseconds, which a moment's load on the machine upsets) are each
// measured several times and the least processor time is kept: the machine's
// other load only ever adds to it.
#include "bench_playlist.h"

#include "playback/player.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

const int playing_ms = 5000;
const int tries = 3;
const int mpg123_runs = 10;
const int idle_ms = 30000;
// Time for a paused or stopped program to close its sound device first.
const int settle_ms = 2000;
const int long_copies = 20; // about a minute of sound

fs::path fixtures_dir() {
    const char* env = std::getenv("MELODIANE_FIXTURES");
    return env != nullptr ? fs::path(env)
                          : fs::path(__FILE__).parent_path().parent_path().parent_path() / "tests" /
                                "fixtures";
}

// A minute-long constant-rate MP3 in the program's directory, in the playlist.
const fs::path& long_track() {
    static fs::path path;
    if (path.empty()) {
        const fs::path& dir = bench_program_dir();
        std::ifstream in(fixtures_dir() / "cbr_no_info.mp3", std::ios::binary);
        std::string stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        path = dir / "long.mp3";
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < long_copies; i++) {
            out << stream;
        }
        out.close();
        char names[] = "long.mp3\0";
        add_files(0, (dir.string() + "/").c_str(), names);
    }
    return path;
}

double seconds(const timeval& t) {
    return t.tv_sec + t.tv_usec / 1e6;
}

struct Usage {
    double cpu;   // processor seconds, every thread
    long wakeups; // voluntary context switches, every thread
    double wall;  // seconds
};

Usage own_usage() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return {
        seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_nvcsw,
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count()};
}

bool loop_time_is_up = false;

void CALLBACK end_of_measure(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    loop_time_is_up = true;
}

// The program's own message loop, which waits for messages without polling,
// run for ms milliseconds.
void run_program_loop(int ms) {
    loop_time_is_up = false;
    SetTimer(nullptr, 0, ms, end_of_measure);
    MSG message;
    while (!loop_time_is_up && GetMessageA(&message, nullptr, 0, 0) != 0) {
        if (!IsDialogMessageA(main_dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Runs the program's message loop for ms milliseconds, times times, and
// reports the least processor use (per cent of one core) and the wakeups a
// second over the whole.
void measure_program(benchmark::State& state, int ms, int times) {
    double least = -1.0;
    long wakeups = 0;
    double wall = 0.0;
    for (int i = 0; i < times; i++) {
        Usage before = own_usage();
        run_program_loop(ms);
        Usage after = own_usage();
        double percent = 100.0 * (after.cpu - before.cpu) / (after.wall - before.wall);
        least = least < 0.0 ? percent : std::min(least, percent);
        wakeups += after.wakeups - before.wakeups;
        wall += after.wall - before.wall;
    }
    state.counters["cpu_percent"] = least;
    state.counters["wakeups_per_s"] = static_cast<double>(wakeups) / wall;
}

void BM_ProgramPlaying(benchmark::State& state) {
    long_track();
    if (decoder_state() != VBMP3_STATE_PLAYING) {
        play_command();
    }
    run_program_loop(500);
    for (auto _ : state) {
        measure_program(state, playing_ms, tries);
    }
}

void BM_ProgramPaused(benchmark::State& state) {
    long_track();
    if (decoder_state() != VBMP3_STATE_PLAYING) {
        play_command();
    }
    run_program_loop(500);
    pause_command();
    run_program_loop(settle_ms);
    for (auto _ : state) {
        measure_program(state, idle_ms, 1);
    }
    pause_command();
}

void BM_ProgramStopped(benchmark::State& state) {
    long_track();
    stop_playback();
    run_program_loop(settle_ms);
    for (auto _ : state) {
        measure_program(state, idle_ms, 1);
    }
}

void BM_Mpg123SameFile(benchmark::State& state) {
    std::string file = long_track().string();
    double length = 0;
    for (PlaylistEntry* e = playlist_head; e != nullptr; e = e->next) {
        length = e->duration;
    }
    for (auto _ : state) {
        double least = -1.0;
        for (int i = 0; i < mpg123_runs; i++) {
            const char* argv[] = {"mpg123", "-q", "-o", "dummy", file.c_str(), nullptr};
            pid_t pid;
            if (posix_spawnp(&pid, "mpg123", nullptr, nullptr, const_cast<char**>(argv), environ) !=
                0) {
                state.SkipWithError("mpg123 is not installed");
                return;
            }
            int status = 0;
            rusage usage{};
            wait4(pid, &status, 0, &usage);
            double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
            least = least < 0.0 ? cpu : std::min(least, cpu);
        }
        state.counters["cpu_percent"] = length > 0 ? 100.0 * least / length : 0;
    }
}

} // namespace

BENCHMARK(BM_ProgramPlaying)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramPaused)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramStopped)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpg123SameFile)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
