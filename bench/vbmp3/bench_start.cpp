// How soon a play or a resume is heard when the sound device is closed
// beforehand (stopped, or paused long enough for it to close), so that it is
// opened on the way: from the call to the moment the track's first sound
// comes out of a real sound server. The server is a private PulseAudio with a
// null sink, whose monitor parec records into a file that is watched as it
// grows; parec's own delay (up to 5 ms) is counted too, so the figure is an
// upper bound. Ten of each; the figure is the slowest, the target 50 ms.
// Beside them, how soon a pause is heard: from the call to the last sound the
// server plays, a second into a track (no target: a longer device buffer
// costs the sound server less, and is heard here), and the same of Debian's
// mpg123 told to pause in its remote-control mode, for comparison. The same
// again on PipeWire (sound_servers.h), through SDL's PipeWire driver and
// through its PulseAudio driver served by pipewire-pulse.
#include "bench_support.h"
#include "peer_players.h"
#include "sound_servers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace {

const int rounds = 10;
// parec's step: what it adds to every figure, at most.
const int recording_step_ms = 5;

using Clock = std::chrono::steady_clock;

// Reads a growing recording of stereo floats as it is written.
class Recording {
  public:
    explicit Recording(const std::filesystem::path& file) : in_(file, std::ios::binary) {}

    // Skips what is recorded so far.
    void skip() {
        in_.clear();
        in_.seekg(0, std::ios::end);
    }

    // True once a sample louder than silence has come since the last call.
    bool sound_came() {
        float block[1024];
        for (;;) {
            in_.clear();
            in_.read(reinterpret_cast<char*>(block), sizeof block);
            std::streamsize floats = in_.gcount() / static_cast<std::streamsize>(sizeof(float));
            if (in_.gcount() % static_cast<std::streamsize>(sizeof(float)) != 0) {
                in_.clear();
                in_.seekg(-(in_.gcount() % static_cast<std::streamsize>(sizeof(float))),
                          std::ios::cur);
            }
            for (std::streamsize i = 0; i < floats; i++) {
                if (std::fabs(block[i]) > 1e-3f) {
                    return true;
                }
            }
            if (floats < 1024) {
                return false;
            }
        }
    }

  private:
    std::ifstream in_;
};

bool wait_until(const std::function<bool()>& done) {
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        vbmp3_pump();
    }
    return true;
}

bool device_closed() {
    return std::string(vbmp3_getOutput()).empty();
}

// Milliseconds from start until the recording holds sound; negative when none came.
double heard_after(Clock::time_point start, Recording& recording) {
    if (!wait_until([&] { return recording.sound_came(); })) {
        return -1.0;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(benchmark::State& state, const std::vector<double>& delays) {
    if (delays.empty() || *std::min_element(delays.begin(), delays.end()) < 0) {
        state.SkipWithError("a play was never heard, or a pause never silent");
        return;
    }
    state.counters["worst_ms"] = *std::max_element(delays.begin(), delays.end());
    double sum = 0;
    for (double delay : delays) {
        sum += delay;
    }
    state.counters["mean_ms"] = sum / static_cast<double>(delays.size());
}

using Delay = std::function<double(Clock::time_point, Recording&)>;

// The server and SDL's driver the rounds play on.
struct Where {
    ServerKind server;
    const char* driver;
};

const Where on_pulseaudio = {ServerKind::pulseaudio, "pulseaudio"};
const Where on_pipewire_by_pulse = {ServerKind::pipewire, "pulseaudio"};
const Where on_pipewire = {ServerKind::pipewire, "pipewire"};

// Plays rounds times on where: prepare() leaves the device closed with an
// open track, settle() does what comes before the timed act(), and delay()
// times what act() does.
void time_rounds(benchmark::State& state, Where where, const std::function<void()>& prepare,
                 const std::function<void()>& settle, const Delay& delay,
                 const std::function<void()>& act) {
    std::string why;
    auto server = SoundServer::start(where.server, &why);
    if (!server) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::filesystem::path file = server->dir() / "salon.raw";
    if (!server->record("salon", file, recording_step_ms)) {
        state.SkipWithError("the sink could not be recorded");
        return;
    }
    setenv("SDL_AUDIODRIVER", where.driver, 1);
    vbmp3_init();
    Pumper::install();
    vbmp3_setVolume(100, 100);
    Recording recording(file);
    std::vector<double> delays;
    for (auto _ : state) {
        for (int i = 0; i < rounds; i++) {
            prepare();
            wait_until(device_closed);
            settle();
            recording.skip();
            auto start = Clock::now();
            act();
            delays.push_back(delay(start, recording));
            vbmp3_close();
        }
    }
    vbmp3_free();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    report(state, delays);
}

char record[VBMP3_OPEN_RECORD_SIZE];

void open_tone() {
    vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record);
}

// From the pause to the last sound heard: sound has stopped once none came for
// half a second. Negative when it never stopped.
double silent_after(Clock::time_point start, Recording& recording) {
    auto last_sound = start;
    while (Clock::now() - last_sound < std::chrono::milliseconds(500)) {
        if (Clock::now() - start > std::chrono::seconds(10)) {
            return -1.0;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        vbmp3_pump();
        if (recording.sound_came()) {
            last_sound = Clock::now();
        }
    }
    return std::chrono::duration<double, std::milli>(last_sound - start).count();
}

void pause_heard(benchmark::State& state, Where where) {
    time_rounds(
        state, where, open_tone,
        [] {
            vbmp3_play();
            std::this_thread::sleep_for(std::chrono::seconds(1));
        },
        silent_after, [] { vbmp3_pause(); });
}

void play_from_stopped(benchmark::State& state, Where where) {
    time_rounds(
        state, where, open_tone, [] {}, heard_after, [] { vbmp3_play(); });
}

void resume_from_paused(benchmark::State& state, Where where) {
    time_rounds(
        state, where,
        [] {
            open_tone();
            vbmp3_play();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            vbmp3_pause();
        },
        [] {}, heard_after, [] { vbmp3_restart(); });
}

void BM_PlayFromStopped(benchmark::State& state) {
    play_from_stopped(state, on_pulseaudio);
}

void BM_ResumeFromPaused(benchmark::State& state) {
    resume_from_paused(state, on_pulseaudio);
}

void BM_PauseHeard(benchmark::State& state) {
    pause_heard(state, on_pulseaudio);
}

// mpg123 -R, a second into the track, told to pause: from the command written
// to the last sound, as the library's pause is timed.
void BM_Mpg123PauseHeard(benchmark::State& state) {
    if (!PeerPlayer::installed("mpg123")) {
        state.SkipWithError("mpg123 is not installed");
        return;
    }
    std::string why;
    auto server = SoundServer::start(ServerKind::pulseaudio, &why);
    if (!server) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::filesystem::path file = server->dir() / "salon.raw";
    if (!server->record("salon", file, recording_step_ms)) {
        state.SkipWithError("the sink could not be recorded");
        return;
    }
    Recording recording(file);
    std::vector<double> delays;
    for (auto _ : state) {
        for (int i = 0; i < rounds; i++) {
            auto peer =
                PeerPlayer::start("mpg123", fixture("cbr_44k_stereo_v23.mp3"), server->dir());
            if (!peer) {
                state.SkipWithError("mpg123 could not be started");
                return;
            }
            std::this_thread::sleep_for(std::chrono::seconds(1));
            recording.skip();
            auto start = Clock::now();
            peer->pause();
            delays.push_back(silent_after(start, recording));
        }
    }
    report(state, delays);
}

void BM_PlayFromStoppedOnPipeWire(benchmark::State& state) {
    play_from_stopped(state, on_pipewire);
}

void BM_PlayFromStoppedOnPipeWireByPulse(benchmark::State& state) {
    play_from_stopped(state, on_pipewire_by_pulse);
}

void BM_ResumeFromPausedOnPipeWire(benchmark::State& state) {
    resume_from_paused(state, on_pipewire);
}

void BM_PauseHeardOnPipeWire(benchmark::State& state) {
    pause_heard(state, on_pipewire);
}

void BM_PauseHeardOnPipeWireByPulse(benchmark::State& state) {
    pause_heard(state, on_pipewire_by_pulse);
}

} // namespace

BENCHMARK(BM_PlayFromStopped)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ResumeFromPaused)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PauseHeard)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mpg123PauseHeard)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayFromStoppedOnPipeWire)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlayFromStoppedOnPipeWireByPulse)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ResumeFromPausedOnPipeWire)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PauseHeardOnPipeWire)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PauseHeardOnPipeWireByPulse)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
