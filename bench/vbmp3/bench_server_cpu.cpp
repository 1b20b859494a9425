// What playing costs on a real sound server: the processor time and wakeups
// (voluntary context switches) of the player and of the server it feeds,
// while a five-minute file plays, beside Debian's mpg123 playing the same file
// through the same server in the same run. The server is a private PulseAudio
// with a null sink (tests/vbmp3/pulse_server.h); a player's buffer decides how
// often the server must wake, so the server's share is counted with the
// player's. The figure is the two together, in per cent of one core; the
// target: no more than mpg123 and the server, within this machine's noise.
//
// Each player is measured twice over a window of some seconds, after its
// first fill; the least is kept, as the machine's other load only adds to it.
#include "bench_support.h"

#include "tests/vbmp3/pulse_server.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <cstring>
#include <functional>
#include <memory>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

const int window_ms = 12000;
const int warm_ms = 1500;
const int windows = 2;

struct Usage {
    double cpu = 0.0; // seconds, every thread
    long wakeups = 0; // voluntary context switches, every thread
};

// Another process's usage from /proc: run time and switches of its threads.
Usage process_usage(pid_t pid) {
    Usage usage;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream sched(task.path() / "schedstat");
        double run_ns = 0;
        sched >> run_ns;
        usage.cpu += run_ns * 1e-9;
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                usage.wakeups += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return usage;
}

// This process's usage, threads that ended included.
Usage own_usage() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_nvcsw};
}

struct Window {
    double player_cpu, server_cpu, player_wakeups, server_wakeups; // per second
};

// Measures the player (read by player_usage) and the server over one window.
Window measure(pid_t server, const std::function<Usage()>& player_usage,
               const std::function<void()>& wait) {
    Usage player_before = player_usage();
    Usage server_before = process_usage(server);
    auto start = std::chrono::steady_clock::now();
    wait();
    Usage player_after = player_usage();
    Usage server_after = process_usage(server);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {(player_after.cpu - player_before.cpu) / wall,
            (server_after.cpu - server_before.cpu) / wall,
            static_cast<double>(player_after.wakeups - player_before.wakeups) / wall,
            static_cast<double>(server_after.wakeups - server_before.wakeups) / wall};
}

void report(benchmark::State& state, const std::vector<Window>& measured) {
    auto least = *std::min_element(measured.begin(), measured.end(), [](auto& a, auto& b) {
        return a.player_cpu + a.server_cpu < b.player_cpu + b.server_cpu;
    });
    state.counters["together_percent"] = 100.0 * (least.player_cpu + least.server_cpu);
    state.counters["player_percent"] = 100.0 * least.player_cpu;
    state.counters["server_percent"] = 100.0 * least.server_cpu;
    state.counters["player_wakeups_per_s"] = least.player_wakeups;
    state.counters["server_wakeups_per_s"] = least.server_wakeups;
}

// One private server for the whole run; null when none can be started.
PulseServer* server() {
    static std::unique_ptr<PulseServer> started;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (PulseServer::installed()) {
            started = std::make_unique<PulseServer>();
            if (!started->start()) {
                started.reset();
            }
        }
    }
    return started.get();
}

void sleep_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void BM_Mpg123OnServer(benchmark::State& state) {
    std::string path = five_minute_file();
    if (server() == nullptr || path.empty()) {
        state.SkipWithError("no PulseAudio server could be started, or no test file made");
        return;
    }
    std::vector<Window> measured;
    for (auto _ : state) {
        for (int i = 0; i < windows; i++) {
            const char* argv[] = {"mpg123", "-q",         "--no-control", "-o",
                                  "pulse",  path.c_str(), nullptr};
            pid_t pid;
            if (posix_spawnp(&pid, "mpg123", nullptr, nullptr, const_cast<char**>(argv), environ) !=
                0) {
                state.SkipWithError("mpg123 could not be started");
                return;
            }
            sleep_ms(warm_ms);
            measured.push_back(measure(
                server()->pid(), [pid] { return process_usage(pid); },
                [] { sleep_ms(window_ms); }));
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    report(state, measured);
}

// The library as the program drives it: its events pumped on the wakeup.
void play_on_server(benchmark::State& state, const char* driver) {
    std::string path = five_minute_file();
    if (server() == nullptr || path.empty()) {
        state.SkipWithError("no PulseAudio server could be started, or no test file made");
        return;
    }
    setenv("SDL_AUDIODRIVER", driver, 1);
    vbmp3_init();
    Pumper::install();
    vbmp3_setVolume(90, 90);
    char record[VBMP3_OPEN_RECORD_SIZE];
    std::vector<Window> measured;
    bool on_device = true;
    for (auto _ : state) {
        for (int i = 0; i < windows; i++) {
            vbmp3_open(path.c_str(), record);
            vbmp3_play();
            auto pump_for = [](int ms) {
                auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
                while (std::chrono::steady_clock::now() < until) {
                    Pumper::pump_once();
                }
            };
            pump_for(warm_ms);
            on_device = on_device && strcmp(vbmp3_getOutput(), "device") == 0;
            measured.push_back(measure(server()->pid(), own_usage, [&] { pump_for(window_ms); }));
            vbmp3_close();
        }
    }
    vbmp3_free();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!on_device) {
        state.SkipWithError("the sound server's device could not be opened");
        return;
    }
    report(state, measured);
}

void BM_PlayingOnServer(benchmark::State& state) {
    play_on_server(state, "pulseaudio");
}

} // namespace

BENCHMARK(BM_Mpg123OnServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayingOnServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
