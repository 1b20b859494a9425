#include "vbmp3/output.h"

#include "vbmp3/equalizer.h"
#include "vbmp3/thread_name.h"
#include "vbmp3/vbmp3_testing.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

// What the fast null output takes at a time: every hand-over between threads costs.
static const size_t fast_block = 16384;
// How often the watch looks whether the device still takes samples, and how
// long it may take none before it counts as lost: a second once it runs, three
// while it starts (a sound server may take that long to start a stream).
static const auto watch_period = std::chrono::milliseconds(500);
static const auto lost_after = std::chrono::seconds(1);
static const auto lost_at_start_after = std::chrono::seconds(3);
static const uint64_t start_calls = 3;
// How long a new device waits for the first samples before it starts anyway.
static const auto start_wait = std::chrono::milliseconds(100);

// ---- The queue and what runs it ---------------------------------------------
// Written by the decoding thread, emptied by the device's thread, flushed by
// the program's thread; everything here is guarded by queue_lock.
static std::mutex queue_lock;
static std::condition_variable room_made;   // the writer may go on
static std::condition_variable output_wake; // the runner: samples, or a change of state
// What a waiting writer and a waiting runner want (frames; 0: not waiting).
// Each side wakes the other only when that is reached: waking for less costs a
// thread switch for nothing.
static size_t room_wanted;
static size_t data_wanted;
static uint64_t writer_releases; // a change that sends a waiting writer back
static std::vector<float> ring;  // capacity frames, two floats each
static size_t capacity;
static uint64_t read_at;    // next frame the device takes
static uint64_t write_at;   // next frame written
static bool paused;         // nothing is taken from the queue
static bool playing;        // a track plays: the output must run
static bool running;        // the runner thread serves the output
static bool stopping;       // output_stop asks the runner to end
static bool device_asked;   // output_play wants the device back, if it was lost or missing
static size_t latency;      // frames the output holds after taking them from the queue
static uint64_t heard_from; // the first frame the current device took
static VBMP3_OUTPUT_TAP tap;
static void* tap_user;

// ---- Settings ---------------------------------------------------------------
// Set by the program's thread, read by the output's thread.
static std::atomic<int> level_left{100};
static std::atomic<int> level_right{100};
static std::mutex settings_lock;
static int eq_gains[EQ_BANDS];              // guarded by settings_lock
static std::atomic<bool> eq_changed{false}; // eq_gains differ from what the output uses

// ---- The device -------------------------------------------------------------
// Set by output_start while no runner exists.
static int rate = 44100;
static int chosen_output = VBMP3_OUTPUT_DEVICE; // for the next output_start
static int output_kind = VBMP3_OUTPUT_DEVICE;
static std::string driver; // SDL_AUDIODRIVER as it was at output_start
// Program's thread only.
static std::thread runner;
// The open SDL device (0: none); guarded by device_lock, which the runner holds
// while it opens or closes it.
static std::mutex device_lock;
static SDL_AudioDeviceID device;
// Callbacks the device has run; the watch sees from it whether the device lives.
static std::atomic<uint64_t> device_calls{0};
// Set by the watch once it plays in the device's place: the device, should it
// come back, plays silence and leaves the queue alone.
static std::atomic<bool> device_lost{false};
// Frame number being heard; written by the output's thread.
static std::atomic<uint64_t> heard{0};
// The output thread's own equalizer, redesigned when eq_changed.
static Equalizer live_eq;

// Frames the device asks for at a time: about 50 ms, a power of two. Longer
// costs more delay before a pause or a volume change is heard; shorter, more
// wakeups of the device's thread and the sound server.
static int device_block() {
    int block = 256;
    while (block * 2 <= rate / 20) {
        block *= 2;
    }
    return block;
}

// Time a device goes on playing what it took after the queue stops feeding it.
static Clock::duration linger() {
    return std::chrono::microseconds(3000000LL * device_block() / rate) +
           std::chrono::milliseconds(100);
}

// Takes up to count frames into out and processes them; the rest of out is
// silence when pad is set. Returns the frames taken from the queue.
static size_t pull(float* out, size_t count, bool pad) {
    size_t taken = 0;
    VBMP3_OUTPUT_TAP current_tap;
    void* current_user;
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        if (!paused) {
            taken = static_cast<size_t>(std::min<uint64_t>(write_at - read_at, count));
            size_t start = static_cast<size_t>(read_at % capacity);
            size_t first = std::min(taken, capacity - start);
            memcpy(out, ring.data() + 2 * start, first * 2 * sizeof(float));
            memcpy(out + 2 * first, ring.data(), (taken - first) * 2 * sizeof(float));
            read_at += taken;
        }
        heard.store(std::max(heard_from, read_at > latency ? read_at - latency : 0));
        current_tap = tap;
        current_user = tap_user;
        if (room_wanted > 0 && capacity - static_cast<size_t>(write_at - read_at) >= room_wanted) {
            room_wanted = 0;
            room_made.notify_all();
        }
    }
    size_t frames = pad ? count : taken;
    memset(out + 2 * taken, 0, (frames - taken) * 2 * sizeof(float));

    if (eq_changed.exchange(false)) {
        int gains[EQ_BANDS];
        {
            std::lock_guard<std::mutex> hold(settings_lock);
            memcpy(gains, eq_gains, sizeof gains);
        }
        eq_design(&live_eq, gains, rate);
    }
    if (live_eq.active_bands > 0) {
        eq_process(&live_eq, out, frames);
    }
    int left = level_left.load();
    int right = level_right.load();
    if (left != 100 || right != 100) {
        float gain_left = left / 100.0f;
        float gain_right = right / 100.0f;
        for (size_t i = 0; i < frames; i++) {
            out[2 * i] *= gain_left;
            out[2 * i + 1] *= gain_right;
        }
    }
    if (current_tap && frames > 0) {
        current_tap(out, static_cast<int>(frames), rate, current_user);
    }
    return taken;
}

static void SDLCALL device_callback(void*, Uint8* stream, int length) {
    device_calls.fetch_add(1);
    if (device_lost.load()) {
        memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    pull(reinterpret_cast<float*>(stream), static_cast<size_t>(length) / (2 * sizeof(float)), true);
}

// ---- The runner ---------------------------------------------------------------
// One thread serves the output while something is to be heard: it opens the
// device and watches it, or is itself a null output. It ends once the output
// has had nothing to play for the linger time.

enum class Next { serve, close, reopen };

// Under queue_lock: what the runner does now. idle_since is when it found
// nothing to hear (paused, or drained with no track playing); deadline is
// brought forward to when it must look again. A runner without the device it
// should have reopens it when asked.
static Next next_step(std::optional<Clock::time_point>& idle_since, Clock::time_point now,
                      Clock::time_point& deadline, bool may_reopen) {
    if (stopping) {
        running = false;
        return Next::close;
    }
    if (may_reopen && device_asked) {
        device_asked = false;
        return Next::reopen;
    }
    device_asked = false;
    if (playing || (!paused && write_at != read_at)) {
        idle_since.reset();
        return Next::serve;
    }
    if (!idle_since) {
        idle_since = now;
    }
    if (now - *idle_since >= linger()) {
        // Everything taken has been heard by now.
        running = false;
        heard.store(read_at);
        return Next::close;
    }
    deadline = std::min(deadline, *idle_since + linger());
    return Next::serve;
}

// Sets the counters for an output that starts taking samples now.
static void begin_serving(size_t frames_held) {
    std::lock_guard<std::mutex> hold(queue_lock);
    latency = frames_held;
    heard_from = read_at;
}

// The null outputs: fast takes samples as soon as a block is queued (or what
// is left when nothing more is coming); paced takes a block per block's
// duration, like a device.
static Next serve_null(bool fast, size_t block_frames, bool may_reopen) {
    std::vector<float> block(2 * block_frames);
    auto period =
        std::chrono::nanoseconds(1000000000LL * static_cast<int64_t>(block_frames) / rate);
    auto next_block = Clock::now();
    std::optional<Clock::time_point> idle_since;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(queue_lock);
            for (;;) {
                auto now = Clock::now();
                auto deadline = fast ? now + std::chrono::hours(1) : next_block;
                Next next = next_step(idle_since, now, deadline, may_reopen);
                if (next != Next::serve) {
                    return next;
                }
                size_t queued = static_cast<size_t>(write_at - read_at);
                bool due = fast ? !paused && (queued >= block_frames || (!playing && queued > 0))
                                : now >= next_block;
                if (due) {
                    break;
                }
                data_wanted = fast ? block_frames : 0;
                output_wake.wait_until(hold, deadline);
                data_wanted = 0;
            }
        }
        pull(block.data(), block_frames, !fast);
        next_block += period;
    }
}

// Serves the SDL device: starts it once samples are queued, so that it does
// not begin with a block of silence, then watches it. A device that runs no
// callback for a second has been removed or has stalled (SDL stops calling
// back, whether or not it reports the device stopped), and one SDL reports
// stopped has lost its server: the watch then becomes the paced null output,
// going on from the frame the device took last, so the track goes on silently
// in real time.
static Next serve_device(int block_frames) {
    {
        std::unique_lock<std::mutex> hold(queue_lock);
        data_wanted = static_cast<size_t>(block_frames);
        output_wake.wait_for(hold, start_wait, [block_frames] {
            return stopping || !playing || paused ||
                   write_at - read_at >= static_cast<uint64_t>(block_frames);
        });
        data_wanted = 0;
    }
    SDL_PauseAudioDevice(device, 0);
    uint64_t calls = device_calls.load();
    auto alive = Clock::now();
    std::optional<Clock::time_point> idle_since;
    std::unique_lock<std::mutex> hold(queue_lock);
    for (;;) {
        auto now = Clock::now();
        auto deadline = now + watch_period;
        Next next = next_step(idle_since, now, deadline, false);
        if (next != Next::serve) {
            return next;
        }
        uint64_t now_calls = device_calls.load();
        if (now_calls != calls) {
            calls = now_calls;
            alive = now;
        }
        auto allowed = now_calls < start_calls ? lost_at_start_after : lost_after;
        if (now - alive >= allowed || SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED) {
            hold.unlock();
            // Holding the device's lock, no callback runs: once the flag is
            // set, pull and the equalizer are this thread's alone.
            SDL_LockAudioDevice(device);
            device_lost.store(true);
            SDL_UnlockAudioDevice(device);
            return serve_null(false, static_cast<size_t>(block_frames), true);
        }
        output_wake.wait_until(hold, deadline);
    }
}

static SDL_AudioDeviceID open_device(int* block_frames) {
    SDL_AudioSpec want;
    SDL_AudioSpec have;
    SDL_zero(want);
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(device_block());
    want.callback = device_callback;
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id != 0) {
        *block_frames = have.samples;
    }
    return id;
}

// Starts SDL's audio with the given driver (empty: SDL's own choice) and opens
// the default device, paused.
static SDL_AudioDeviceID start_driver(const char* name, int* block_frames) {
    if (*name != '\0') {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, name, SDL_HINT_OVERRIDE);
    }
    bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!started) {
        return 0;
    }
    SDL_AudioDeviceID id = open_device(block_frames);
    if (id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return id;
}

// The driver chosen when the output started, then SDL's dummy driver.
static bool open_sdl(int* block_frames) {
    // The program handles its own signals; SDL must not take SIGINT and SIGTERM.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_AudioDeviceID id = start_driver(driver.c_str(), block_frames);
    if (id == 0) {
        id = start_driver("dummy", block_frames);
    }
    if (id == 0) {
        return false;
    }
    device_calls.store(0);
    device_lost.store(false);
    std::lock_guard<std::mutex> hold(device_lock);
    device = id;
    return true;
}

static void close_sdl() {
    std::lock_guard<std::mutex> hold(device_lock);
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device = 0;
}

static void run_output() {
    name_this_thread("vbmp3 output");
    for (;;) {
        Next next;
        int block_frames = device_block();
        if (output_kind == VBMP3_OUTPUT_DEVICE && open_sdl(&block_frames)) {
            begin_serving(static_cast<size_t>(block_frames));
            next = serve_device(block_frames);
            close_sdl();
        } else {
            bool fast = output_kind == VBMP3_OUTPUT_FAST;
            begin_serving(fast ? 0 : static_cast<size_t>(block_frames));
            next = serve_null(fast, fast ? fast_block : static_cast<size_t>(block_frames),
                              output_kind == VBMP3_OUTPUT_DEVICE);
        }
        if (next == Next::close) {
            // SDL keeps per-thread data (its error text) that only its own threads free.
            SDL_TLSCleanup();
            return;
        }
    }
}

// ---- Interface ----------------------------------------------------------------

void output_start(int output_rate) {
    rate = output_rate;
    output_kind = chosen_output;
    const char* named = std::getenv("SDL_AUDIODRIVER");
    driver = named != nullptr ? named : "";
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        capacity = static_cast<size_t>(rate / 2); // half a second: see the end of a track
        ring.assign(2 * capacity, 0.0f);
        read_at = write_at = 0;
        paused = playing = running = stopping = device_asked = false;
        heard_from = 0;
    }
    heard.store(0);
    memset(&live_eq, 0, sizeof live_eq);
    eq_changed.store(true);
}

void output_stop() {
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        stopping = true;
        output_wake.notify_all();
    }
    if (runner.joinable()) {
        runner.join();
    }
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        stopping = playing = paused = false;
    }
    output_flush();
}

int output_rate() {
    return rate;
}

void output_play() {
    std::unique_lock<std::mutex> hold(queue_lock);
    paused = false;
    playing = true;
    if (running) {
        device_asked = true;
        output_wake.notify_all();
        return;
    }
    running = true;
    hold.unlock();
    // A runner that decided to close is closing its device; the new one opens after.
    if (runner.joinable()) {
        runner.join();
    }
    runner = std::thread(run_output);
}

void output_pause() {
    std::lock_guard<std::mutex> hold(queue_lock);
    paused = true;
    playing = false;
    writer_releases++;
    room_made.notify_all();
    output_wake.notify_all();
}

void output_drain() {
    std::lock_guard<std::mutex> hold(queue_lock);
    paused = false;
    playing = false;
    writer_releases++;
    room_made.notify_all();
    output_wake.notify_all();
}

size_t output_write(const float* frames, size_t count) {
    if (count == 0) {
        return 0;
    }
    size_t taken;
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        taken = std::min<size_t>(count, capacity - static_cast<size_t>(write_at - read_at));
        size_t start = static_cast<size_t>(write_at % capacity);
        size_t first = std::min(taken, capacity - start);
        memcpy(ring.data() + 2 * start, frames, first * 2 * sizeof(float));
        memcpy(ring.data(), frames + 2 * first, (taken - first) * 2 * sizeof(float));
        write_at += taken;
        if (data_wanted > 0 && write_at - read_at >= data_wanted) {
            output_wake.notify_all();
        }
    }
    return taken;
}

bool output_wait_for_room(size_t count, int milliseconds) {
    std::unique_lock<std::mutex> hold(queue_lock);
    // At least half the queue: the writer then works in long runs instead of
    // waking for every block the device takes.
    size_t wanted = std::max(std::min(count, capacity), capacity / 2);
    uint64_t releases = writer_releases;
    room_wanted = wanted;
    room_made.wait_for(hold, std::chrono::milliseconds(milliseconds), [wanted, releases] {
        return writer_releases != releases ||
               capacity - static_cast<size_t>(write_at - read_at) >= wanted;
    });
    room_wanted = 0;
    return capacity - static_cast<size_t>(write_at - read_at) >= std::min(count, capacity);
}

uint64_t output_written() {
    std::lock_guard<std::mutex> hold(queue_lock);
    return write_at;
}

void output_flush() {
    std::lock_guard<std::mutex> hold(queue_lock);
    read_at = write_at;
    writer_releases++;
    room_made.notify_all();
}

uint64_t output_heard() {
    return heard.load();
}

void output_set_volume(int left, int right) {
    level_left.store(std::clamp(left, 0, 100));
    level_right.store(std::clamp(right, 0, 100));
}

void output_set_equalizer(const int gains[10]) {
    {
        std::lock_guard<std::mutex> hold(settings_lock);
        memcpy(eq_gains, gains, sizeof eq_gains);
    }
    eq_changed.store(true);
}

void vbmp3_testing_setTap(VBMP3_OUTPUT_TAP new_tap, void* user) {
    std::lock_guard<std::mutex> hold(queue_lock);
    tap = new_tap;
    tap_user = user;
}

void vbmp3_testing_useOutput(int output) {
    chosen_output = output;
}

void vbmp3_testing_loseDevice(void) {
    // A paused SDL device runs no callback, as a removed one.
    std::lock_guard<std::mutex> hold(device_lock);
    if (device != 0) {
        SDL_PauseAudioDevice(device, 1);
    }
}
