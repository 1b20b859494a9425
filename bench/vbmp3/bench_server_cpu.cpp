// What playing costs on a real sound server: the processor time and wakeups
// (context switches, voluntary and involuntary) of the player and of the
// server it feeds, while a five-minute file plays, beside Debian's mpg123
// playing the same file through the same server in the same run. A player's
// buffer decides how often the server must wake, so the server's share is
// counted with the player's. The figure is the two together, in per cent of
// one core; the target: no more than mpg123 and the server, within this
// machine's noise.
//
// Two servers, each private to the run (sound_servers.h): PulseAudio with a
// null sink, and PipeWire as Debian 12's desktop runs it (pipewire,
// wireplumber and pipewire-pulse, all three counted as the server), where the
// library plays through SDL's PulseAudio driver and through its PipeWire
// driver. On PulseAudio, the library paused and stopped, and Debian's other
// players (peer_players.h: mpg123 -R, audacious, qmmp) playing, paused and
// stopped, whole processes, for comparison; a peer that is not installed or
// does not start is skipped.
//
// Each playing figure is the least of two windows of some seconds, after the
// first fill, as the machine's other load only adds to it.
#include "bench_support.h"
#include "peer_players.h"
#include "sound_servers.h"

#include <SDL.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include <signal.h>
#include <sys/resource.h>

namespace {

const int window_ms = 12000;
const int idle_window_ms = 6000;
const int warm_ms = 1500;
const int windows = 2;

// This process's usage, threads that ended included.
Usage own_usage() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_nvcsw + usage.ru_nivcsw};
}

struct Window {
    double player_cpu, server_cpu, player_wakeups, server_wakeups; // per second
};

// Measures the player (read by player_usage) and the server over one window.
Window measure(const SoundServer& server, const std::function<Usage()>& player_usage,
               const std::function<void()>& wait) {
    Usage player_before = player_usage();
    Usage server_before = processes_usage(server.pids());
    auto start = std::chrono::steady_clock::now();
    wait();
    Usage player_after = player_usage();
    Usage server_after = processes_usage(server.pids());
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

// The server of the benchmark now running, made for it and ended after it;
// null (and the benchmark skipped) when it cannot be.
std::unique_ptr<SoundServer> server_for(benchmark::State& state, ServerKind kind,
                                        std::string* path) {
    *path = five_minute_file();
    if (path->empty()) {
        state.SkipWithError("no test file could be made");
        return nullptr;
    }
    std::string why;
    auto server = SoundServer::start(kind, &why);
    if (!server) {
        state.SkipWithError(why.c_str());
    }
    return server;
}

void sleep_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void mpg123_on(benchmark::State& state, ServerKind kind) {
    std::string path;
    auto server = server_for(state, kind, &path);
    if (!server) {
        return;
    }
    std::vector<Window> measured;
    for (auto _ : state) {
        for (int i = 0; i < windows; i++) {
            pid_t pid = spawn_program({"mpg123", "-q", "--no-control", "-o", "pulse", path}, {},
                                      server->dir() / "mpg123.log");
            if (pid < 0) {
                state.SkipWithError("mpg123 could not be started");
                return;
            }
            sleep_ms(warm_ms);
            measured.push_back(measure(
                *server, [pid] { return process_usage(pid); }, [] { sleep_ms(window_ms); }));
            end_program(pid);
        }
    }
    report(state, measured);
}

void BM_Mpg123OnServer(benchmark::State& state) {
    mpg123_on(state, ServerKind::pulseaudio);
}

void BM_Mpg123OnPipeWire(benchmark::State& state) {
    mpg123_on(state, ServerKind::pipewire);
}

void pump_for(int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        Pumper::pump_once();
    }
}

// SDL's drivers in this build, in the order SDL tries them, as the label.
std::string sdl_drivers() {
    std::string names;
    for (int i = 0; i < SDL_GetNumAudioDrivers(); i++) {
        names += (i > 0 ? " " : "") + std::string(SDL_GetAudioDriver(i));
    }
    return names;
}

// The library as the program drives it, its events pumped on the wakeup,
// through the named SDL driver (empty: SDL's own choice, as the program makes
// it). Playing: after its first fill; paused and
// stopped: a moment after the pause or the stop, once the device has closed.
enum class LibraryState { playing, paused, stopped };

void library_on(benchmark::State& state, ServerKind kind, const char* driver,
                LibraryState measured_state) {
    std::string path;
    auto server = server_for(state, kind, &path);
    if (!server) {
        return;
    }
    if (*driver != '\0') {
        setenv("SDL_AUDIODRIVER", driver, 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
    vbmp3_init();
    Pumper::install();
    vbmp3_setVolume(90, 90);
    char record[VBMP3_OPEN_RECORD_SIZE];
    std::vector<Window> measured;
    bool on_device = true;
    std::string chosen;
    for (auto _ : state) {
        int rounds = measured_state == LibraryState::playing ? windows : 1;
        for (int i = 0; i < rounds; i++) {
            vbmp3_open(path.c_str(), record);
            vbmp3_play();
            pump_for(warm_ms);
            on_device = on_device && strcmp(vbmp3_getOutput(), "device") == 0;
            const char* current = SDL_GetCurrentAudioDriver();
            chosen = current != nullptr ? current : "";
            int length = window_ms;
            if (measured_state != LibraryState::playing) {
                if (measured_state == LibraryState::paused) {
                    vbmp3_pause();
                } else {
                    vbmp3_close();
                }
                pump_for(warm_ms);
                length = idle_window_ms;
            }
            measured.push_back(measure(*server, own_usage, [&] {
                if (measured_state == LibraryState::playing) {
                    pump_for(length);
                } else {
                    // As the program's message loop: it sleeps until told.
                    sleep_ms(length);
                }
            }));
            vbmp3_close();
        }
    }
    state.SetLabel(chosen + " of: " + sdl_drivers());
    vbmp3_free();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!on_device) {
        state.SkipWithError("the sound server's device could not be opened");
        return;
    }
    report(state, measured);
}

void BM_PlayingOnServer(benchmark::State& state) {
    library_on(state, ServerKind::pulseaudio, "pulseaudio", LibraryState::playing);
}

void BM_PausedOnServer(benchmark::State& state) {
    library_on(state, ServerKind::pulseaudio, "pulseaudio", LibraryState::paused);
}

void BM_StoppedOnServer(benchmark::State& state) {
    library_on(state, ServerKind::pulseaudio, "pulseaudio", LibraryState::stopped);
}

void BM_PlayingOnPipeWire(benchmark::State& state) {
    library_on(state, ServerKind::pipewire, "", LibraryState::playing);
}

void BM_PlayingOnPipeWireDriver(benchmark::State& state) {
    library_on(state, ServerKind::pipewire, "pipewire", LibraryState::playing);
}

// A peer on PulseAudio: the given state is measured after playing warm_ms,
// then pausing or stopping and a moment more.
void peer_on_server(benchmark::State& state, const std::string& name, LibraryState measured_state) {
    if (!PeerPlayer::installed(name)) {
        state.SkipWithError((name + " is not installed").c_str());
        return;
    }
    std::string path;
    auto server = server_for(state, ServerKind::pulseaudio, &path);
    if (!server) {
        return;
    }
    signal(SIGPIPE, SIG_IGN);      // a peer that ended does not end the run
    PrivateBus bus(server->dir()); // where audacious and qmmp hear their remote controls
    std::vector<Window> measured;
    for (auto _ : state) {
        auto peer = PeerPlayer::start(name, path, server->dir());
        if (!peer) {
            state.SkipWithError((name + " could not be started").c_str());
            return;
        }
        sleep_ms(2 * warm_ms);
        int length = window_ms;
        if (measured_state == LibraryState::paused) {
            peer->pause();
        } else if (measured_state == LibraryState::stopped) {
            peer->stop();
        }
        if (measured_state != LibraryState::playing) {
            sleep_ms(warm_ms);
            length = idle_window_ms;
        }
        pid_t pid = peer->pid();
        measured.push_back(measure(
            *server, [pid] { return process_usage(pid); }, [&] { sleep_ms(length); }));
        if (waitpid(pid, nullptr, WNOHANG) != 0) {
            state.SkipWithError((name + " ended by itself").c_str());
            return;
        }
    }
    report(state, measured);
}

void register_peers() {
    const std::pair<const char*, LibraryState> states[] = {{"Playing", LibraryState::playing},
                                                           {"Paused", LibraryState::paused},
                                                           {"Stopped", LibraryState::stopped}};
    for (const std::string& name : PeerPlayer::names()) {
        for (const auto& [label, measured_state] : states) {
            std::string peer = name;
            LibraryState kept = measured_state;
            std::string title = "BM_Peer_" + name + "_" + label;
            benchmark::RegisterBenchmark(
                title.c_str(),
                [peer, kept](benchmark::State& state) { peer_on_server(state, peer, kept); })
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
}

} // namespace

BENCHMARK(BM_Mpg123OnServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayingOnServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PausedOnServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StoppedOnServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mpg123OnPipeWire)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayingOnPipeWire)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayingOnPipeWireDriver)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    register_peers();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
