#include "vbmp3/output.h"

#include "vbmp3/equalizer.h"
#include "vbmp3/vbmp3_testing.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

// Frames the device asks for at a time, and what the null outputs take.
static const int device_block = 1024;

// ---- The queue --------------------------------------------------------------
// Written by the decoding thread, emptied by the device's thread, flushed by
// the program's thread; everything in it is guarded by queue_lock.
static std::mutex queue_lock;
static std::condition_variable room_made;    // the writer may go on
static std::condition_variable data_written; // the fast null output may go on
// What a waiting writer and a waiting fast output want (frames; 0: not waiting).
// Each side wakes the other only when that is reached: waking for less costs a
// thread switch for nothing.
static size_t room_wanted;
static size_t data_wanted;
static std::vector<float> ring; // capacity frames, two floats each
static size_t capacity;
static uint64_t read_at;  // next frame the device takes
static uint64_t write_at; // next frame written
static VBMP3_OUTPUT_TAP tap;
static void* tap_user;

// ---- Settings ---------------------------------------------------------------
// Set by the program's thread, read by the device's thread.
static std::atomic<bool> paused{false};
static std::atomic<int> level_left{100};
static std::atomic<int> level_right{100};
static std::mutex settings_lock;
static int eq_gains[EQ_BANDS];              // guarded by settings_lock
static std::atomic<bool> eq_changed{false}; // eq_gains differ from what the device uses

// ---- The device -------------------------------------------------------------
// Set by output_start and output_stop (program's thread) while no device runs.
static int rate = 44100;
static SDL_AudioDeviceID device;
static bool sdl_started;
static int latency; // frames the device holds after taking them from the queue
static int chosen_output = VBMP3_OUTPUT_DEVICE;
// The null output when there is no SDL device; beside one, the watch that
// takes over from it when it stops taking samples.
static std::thread null_thread;
static std::atomic<bool> null_stop{false};
// Callbacks the device has run; the watch sees from it whether the device lives.
static std::atomic<uint64_t> device_calls{0};
// Set by the watch once it plays in the device's place: the device, should it
// come back, plays silence and leaves the queue alone.
static std::atomic<bool> device_lost{false};
// Frame number being heard; written by the device's thread.
static std::atomic<uint64_t> heard{0};
// The device thread's own equalizer, redesigned when eq_changed.
static Equalizer live_eq;

// Takes up to count frames into out and processes them; the rest of out is
// silence when pad is set. Returns the frames taken from the queue.
static size_t pull(float* out, size_t count, bool pad) {
    size_t taken = 0;
    VBMP3_OUTPUT_TAP current_tap;
    void* current_user;
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        if (!paused.load()) {
            taken = static_cast<size_t>(std::min<uint64_t>(write_at - read_at, count));
            size_t start = static_cast<size_t>(read_at % capacity);
            size_t first = std::min(taken, capacity - start);
            memcpy(out, ring.data() + 2 * start, first * 2 * sizeof(float));
            memcpy(out + 2 * first, ring.data(), (taken - first) * 2 * sizeof(float));
            read_at += taken;
        }
        heard.store(read_at > static_cast<uint64_t>(latency) ? read_at - latency : 0);
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

// The null outputs: fast takes frames as soon as they are written; paced takes
// a block per block duration, like a device.
static void null_output(bool fast) {
    // The fast output takes big blocks: every hand-over between threads costs.
    size_t block_frames = fast ? 16 * device_block : device_block;
    std::vector<float> block(2 * block_frames);
    auto period = std::chrono::microseconds(1000000LL * device_block / rate);
    auto next = std::chrono::steady_clock::now();
    while (!null_stop.load()) {
        if (fast) {
            {
                std::unique_lock<std::mutex> hold(queue_lock);
                // A whole block, or whatever is there after a moment (a track's end).
                data_wanted = block_frames;
                data_written.wait_for(hold, std::chrono::milliseconds(2), [block_frames] {
                    return null_stop.load() ||
                           (write_at - read_at >= block_frames && !paused.load());
                });
                data_wanted = 0;
            }
            pull(block.data(), block_frames, false);
        } else {
            pull(block.data(), device_block, true);
            next += period;
            std::this_thread::sleep_until(next);
        }
    }
}

// Watches the SDL device: one that runs no callback for a second has been
// removed or has stalled (SDL stops calling back, whether or not it reports
// the device stopped). The watch then becomes the paced null output, going on
// from the frame the device took last, so the track goes on silently in real time.
static void watch_device() {
    uint64_t calls = device_calls.load();
    auto alive = std::chrono::steady_clock::now();
    while (!null_stop.load()) {
        {
            std::unique_lock<std::mutex> hold(queue_lock);
            data_written.wait_for(hold, std::chrono::milliseconds(100),
                                  [] { return null_stop.load(); });
        }
        auto now = std::chrono::steady_clock::now();
        uint64_t now_calls = device_calls.load();
        if (now_calls != calls) {
            calls = now_calls;
            alive = now;
        } else if (now - alive >= std::chrono::seconds(1)) {
            // Holding the device's lock, no callback runs: once the flag is
            // set, pull and the equalizer are this thread's alone.
            SDL_LockAudioDevice(device);
            device_lost.store(true);
            SDL_UnlockAudioDevice(device);
            null_output(false);
            return;
        }
    }
}

static SDL_AudioDeviceID open_device() {
    SDL_AudioSpec want;
    SDL_AudioSpec have;
    SDL_zero(want);
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = device_block;
    want.callback = device_callback;
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id != 0) {
        latency = have.samples;
    }
    return id;
}

// SDL's chosen driver first, then its dummy driver.
static bool start_sdl() {
    // The program handles its own signals; SDL must not take SIGINT and SIGTERM.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        device = open_device();
        if (device != 0) {
            sdl_started = true;
            return true;
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (started) {
        device = open_device();
        if (device != 0) {
            sdl_started = true;
            return true;
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return false;
}

bool output_start(int output_rate) {
    rate = output_rate;
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        capacity = static_cast<size_t>(rate / 2); // half a second: see the end of a track
        ring.assign(2 * capacity, 0.0f);
        read_at = write_at = 0;
    }
    heard.store(0);
    paused.store(false);
    memset(&live_eq, 0, sizeof live_eq);
    eq_changed.store(true);
    null_stop.store(false);
    device_calls.store(0);
    device_lost.store(false);
    if (chosen_output == VBMP3_OUTPUT_DEVICE && start_sdl()) {
        SDL_PauseAudioDevice(device, 0);
        null_thread = std::thread(watch_device);
        return true;
    }
    bool fast = chosen_output == VBMP3_OUTPUT_FAST;
    latency = fast ? 0 : device_block;
    null_thread = std::thread(null_output, fast);
    return true;
}

void output_stop() {
    // The watch uses the device: it ends first.
    if (null_thread.joinable()) {
        null_stop.store(true);
        data_written.notify_all();
        null_thread.join();
    }
    if (sdl_started) {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device = 0;
        sdl_started = false;
    }
    output_flush();
}

int output_rate() {
    return rate;
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
            data_written.notify_all();
        }
    }
    return taken;
}

bool output_wait_for_room(size_t count, int milliseconds) {
    std::unique_lock<std::mutex> hold(queue_lock);
    // At least a quarter of the queue: the writer then works in long runs
    // instead of waking for every block the device takes.
    size_t wanted = std::max(std::min(count, capacity), capacity / 4);
    room_wanted = wanted;
    bool fits = room_made.wait_for(hold, std::chrono::milliseconds(milliseconds), [wanted] {
        return capacity - static_cast<size_t>(write_at - read_at) >= wanted;
    });
    room_wanted = 0;
    return fits;
}

uint64_t output_written() {
    std::lock_guard<std::mutex> hold(queue_lock);
    return write_at;
}

size_t output_queued() {
    std::lock_guard<std::mutex> hold(queue_lock);
    return static_cast<size_t>(write_at - read_at);
}

void output_flush() {
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        read_at = write_at;
    }
    room_made.notify_all();
}

uint64_t output_heard() {
    return heard.load();
}

void output_set_paused(bool pause) {
    paused.store(pause);
    data_written.notify_all();
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
    if (sdl_started) {
        SDL_PauseAudioDevice(device, 1);
    }
}
