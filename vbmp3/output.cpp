#include "vbmp3/output.h"

#include "vbmp3/equalizer.h"
#include "vbmp3/samples.h"
#include "vbmp3/thread_name.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

// What the fast null output takes at a time: every hand-over between threads costs.
static const size_t fast_block = 65536;
// How often the watch looks whether the device still takes samples, when it
// has to look (see serve_device), and how long the device may take none
// before it counts as lost: a second once it runs, three while it starts (a
// sound server may take that long to start a stream).
static const auto watch_period = std::chrono::seconds(1);
static const auto lost_after = std::chrono::seconds(1);
static const auto lost_at_start_after = std::chrono::seconds(3);
static const uint64_t start_calls = 2;
// How long a device about to open waits for the first samples before it opens anyway.
static const auto start_wait = std::chrono::milliseconds(100);
// How long a device just started may take to call back before another is
// opened beside it, and how many are opened at most (see open_device).
static const auto first_call_wait = std::chrono::milliseconds(3);
static const int open_attempts = 6;

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
static uint64_t read_at;          // next frame the device takes
static uint64_t write_at;         // next frame written
static bool paused;               // nothing is taken from the queue
static bool playing;              // a track plays: the output must run
static bool running;              // the runner thread serves the output
static bool stopping;             // output_stop asks the runner to end
static bool device_asked;         // output_play wants the device back, if it was lost or missing
static size_t latency;            // frames the output holds after taking them from the queue
static uint64_t heard_from;       // the first frame the current device took
static int serving = OUTPUT_NONE; // what takes the samples now
// The device is lost: SDL reports it stopped, or a writer waited a second for
// room while it ran no callback.
static bool device_failed;
static VBMP3_CAPTURE capture;
static void* capture_user;

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
static int chosen_output = OUTPUT_DEVICE; // for the next output_start
static int output_kind = OUTPUT_DEVICE;
static std::string driver; // SDL_AUDIODRIVER as it was at output_start
// Program's thread only.
static std::thread runner;
// The open SDL device (0: none); guarded by device_lock, which the runner holds
// while it opens or closes it. Its callback reads it from live_device.
static std::mutex device_lock;
static SDL_AudioDeviceID device;
static std::atomic<SDL_AudioDeviceID> live_device{0};
// Callbacks the device has run; the watch sees from it whether the device lives.
static std::atomic<uint64_t> device_calls{0};
// Each device opened gets a tag of its own, handed to its callback. Of the
// devices opened together (see open_device), the first to call back makes its
// tag live; only that device takes samples. 0: none has yet.
static std::atomic<uintptr_t> live_tag{0};
static uintptr_t last_tag; // runner only
// Set by the watch once it plays in the device's place: the device, should it
// come back, plays silence and leaves the queue alone.
static std::atomic<bool> device_lost{false};
// Frame number being heard; written by the output's thread.
static std::atomic<uint64_t> heard{0};
// The output thread's own equalizer, redesigned when eq_changed.
static Equalizer live_eq;

// Frames a device asks for at a time: a power of two, up to a fraction of a
// second. Every block wakes the device's thread (and the sound server) once or
// more; a longer block costs delay: before a start is heard (a sound server
// holds about one block), a pause, a seek or a volume change.
static int block_of(int fraction) {
    int block = 256;
    while (block * 2 <= rate / fraction) {
        block *= 2;
    }
    return block;
}

// A real device: about 190 ms. SDL asks a sound server to hold one block,
// and the server then wakes four times a block: with 25 ms blocks it woke
// every 6 ms and cost several times the player itself, as much as the
// lightest players' server and player together with blocks this long. A
// start is still heard at once (the first block fills the server's buffer);
// a pause, a seek, a new track or a volume change is heard within one to two
// blocks.
static int device_block() {
    return block_of(5);
}

// SDL's dummy driver plays nothing that anyone hears: up to half a second,
// so that it wakes two or three times a second.
static int silent_block() {
    return block_of(2);
}

// Under queue_lock: time an output goes on playing what it took after the
// queue stops feeding it, and a margin.
static Clock::duration linger() {
    return std::chrono::microseconds(2000000LL * static_cast<int64_t>(latency) / rate) +
           std::chrono::milliseconds(100);
}

// Takes up to count frames into out and processes them; the rest of out is
// silence when pad is set. Returns the frames taken from the queue.
static size_t pull(float* out, size_t count, bool pad) {
    size_t taken = 0;
    bool room_for_writer = false;
    VBMP3_CAPTURE current_capture;
    void* current_user;
    if (eq_changed.exchange(false)) {
        int gains[EQ_BANDS];
        {
            std::lock_guard<std::mutex> hold(settings_lock);
            memcpy(gains, eq_gains, sizeof gains);
        }
        eq_design(&live_eq, gains, rate);
    }
    int left = level_left.load();
    int right = level_right.load();
    // Without the equalizer the volume is applied on the way out of the
    // queue; with it, after it, as the filters run in place.
    bool scale = left != 100 || right != 100;
    bool scale_on_copy = scale && live_eq.active_bands == 0;
    float gain_left = left / 100.0f;
    float gain_right = right / 100.0f;
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        if (!paused) {
            taken = static_cast<size_t>(std::min<uint64_t>(write_at - read_at, count));
            size_t start = static_cast<size_t>(read_at % capacity);
            size_t first = std::min(taken, capacity - start);
            const float* parts[2] = {ring.data() + 2 * start, ring.data()};
            size_t sizes[2] = {first, taken - first};
            float* to = out;
            for (int part = 0; part < 2; part++) {
                if (scale_on_copy) {
                    samples_scale(to, parts[part], sizes[part], gain_left, gain_right);
                } else {
                    memcpy(to, parts[part], sizes[part] * 2 * sizeof(float));
                }
                to += 2 * sizes[part];
            }
            read_at += taken;
        }
        heard.store(std::max(heard_from, read_at > latency ? read_at - latency : 0));
        current_capture = capture;
        current_user = capture_user;
        if (room_wanted > 0 && capacity - static_cast<size_t>(write_at - read_at) >= room_wanted) {
            room_wanted = 0;
            room_for_writer = true;
        }
    }
    // Woken after the lock is let go, the writer takes it at once instead of
    // waking a second time when this thread releases it.
    if (room_for_writer) {
        room_made.notify_all();
    }
    size_t frames = pad ? count : taken;
    memset(out + 2 * taken, 0, (frames - taken) * 2 * sizeof(float));
    if (live_eq.active_bands > 0) {
        eq_process(&live_eq, out, frames);
        if (scale) {
            samples_scale(out, out, frames, gain_left, gain_right);
        }
    }
    if (current_capture && frames > 0) {
        current_capture(out, static_cast<int>(frames), rate, current_user);
    }
    return taken;
}

static void SDLCALL device_callback(void* user, Uint8* stream, int length) {
    // A device another one called back before (see open_device) plays
    // silence until it is closed, and is not counted.
    uintptr_t mine = reinterpret_cast<uintptr_t>(user);
    uintptr_t live = 0;
    if (!live_tag.compare_exchange_strong(live, mine) && live != mine) {
        memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    if (device_calls.fetch_add(1) == 0) {
        std::lock_guard<std::mutex> hold(queue_lock);
        output_wake.notify_all();
    }
    // SDL goes on calling back a device whose server went away, so that
    // programs keep their pace; it only reports it stopped.
    SDL_AudioDeviceID id = live_device.load();
    if (id != 0 && SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_STOPPED) {
        std::lock_guard<std::mutex> hold(queue_lock);
        if (!device_failed) {
            device_failed = true;
            output_wake.notify_all();
        }
    }
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

// When the runner found nothing to hear, if it did.
struct Idle {
    bool idle = false;
    Clock::time_point since;
};

// Under queue_lock: what the runner does now. idle.since is when it found
// nothing to hear (paused, or drained with no track playing); deadline is
// brought forward to when it must look again. A runner without the device it
// should have reopens it when asked.
static Next next_step(Idle& idle, Clock::time_point now, Clock::time_point& deadline,
                      bool may_reopen) {
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
        idle.idle = false;
        return Next::serve;
    }
    if (!idle.idle) {
        idle = {true, now};
    }
    if (now - idle.since >= linger()) {
        // Everything taken has been heard by now.
        running = false;
        heard.store(read_at);
        return Next::close;
    }
    deadline = std::min(deadline, idle.since + linger());
    return Next::serve;
}

// Sets the counters for an output that starts taking samples now.
static void begin_serving(int kind, size_t frames_held) {
    std::lock_guard<std::mutex> hold(queue_lock);
    serving = kind;
    device_failed = false;
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
    Idle idle;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(queue_lock);
            for (;;) {
                auto now = Clock::now();
                auto deadline = fast ? now + std::chrono::hours(1) : next_block;
                Next next = next_step(idle, now, deadline, may_reopen);
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

// Serves the SDL device, started, and watches it. A device that runs no
// callback for a second has been removed or has stalled (SDL stops calling
// back, whether or not it reports the device stopped), and one SDL reports
// stopped has lost its server: the watch then becomes the paced null output,
// going on from the frame the device took last, so the track goes on silently
// in real time.
//
// While a track plays on a device that has started, the watch sleeps: the
// writer, which waits for room every few blocks, and the callback tell it of
// a failure (device_failed). It looks by itself once a second only while the
// device starts, and while the queue drains or the output lingers.
static Next serve_device(int block_frames) {
    uint64_t calls = device_calls.load();
    auto alive = Clock::now();
    Idle idle;
    std::unique_lock<std::mutex> hold(queue_lock);
    for (;;) {
        auto now = Clock::now();
        auto deadline = now + std::chrono::hours(1);
        Next next = next_step(idle, now, deadline, false);
        if (next != Next::serve) {
            return next;
        }
        uint64_t now_calls = device_calls.load();
        if (now_calls != calls) {
            calls = now_calls;
            alive = now;
        }
        bool starting = now_calls < start_calls;
        bool looking = starting || !playing;
        auto allowed = starting ? lost_at_start_after : lost_after;
        if (device_failed || (looking && now - alive >= allowed)) {
            serving = OUTPUT_SILENT;
            hold.unlock();
            // Holding the device's lock, no callback runs: once the flag is
            // set, pull and the equalizer are this thread's alone.
            SDL_LockAudioDevice(device);
            device_lost.store(true);
            SDL_UnlockAudioDevice(device);
            return serve_null(false, static_cast<size_t>(block_frames), true);
        }
        if (looking) {
            deadline = std::min(deadline, now + watch_period);
        }
        output_wake.wait_until(hold, deadline);
    }
}

// A device opened and started, and what SDL gave it.
struct Opened {
    SDL_AudioDeviceID id;
    uintptr_t tag;
    int block_frames;
};

// Opens the default device and starts it at once: SDL2 opens devices paused,
// and a device that finds itself paused plays a block of silence first.
static Opened open_started(const SDL_AudioSpec& want) {
    SDL_AudioSpec asked = want;
    SDL_AudioSpec have;
    Opened opened = {0, ++last_tag, want.samples};
    asked.userdata = reinterpret_cast<void*>(opened.tag);
    opened.id = SDL_OpenAudioDevice(nullptr, 0, &asked, &have, 0);
    if (opened.id != 0) {
        SDL_PauseAudioDevice(opened.id, 0);
        opened.block_frames = have.samples;
    }
    return opened;
}

// Whether a device has called back, waiting a moment for it.
static bool called_back_soon() {
    std::unique_lock<std::mutex> hold(queue_lock);
    return output_wake.wait_for(hold, first_call_wait, [] { return device_calls.load() > 0; });
}

// SDL's thread runs from inside the open, and when it looks before the
// device is started it hands the sound server a whole block of silence, a
// block being 190 ms, and calls back only once the server has taken it. So
// while no device opened has called back soon after its start, another is
// opened, a few at most; the first to call back plays, as SDL's PipeWire
// driver may call back a little later than the wait and still in time, and
// the others are closed (SDL lets each play out its blocks first).
static SDL_AudioDeviceID open_device(int* block_frames) {
    const char* current = SDL_GetCurrentAudioDriver();
    bool silent = strcmp(current, "dummy") == 0;
    // Nobody hears the dummy driver's silence or the disk driver's, and two
    // disk devices would write the same file.
    bool heard = !silent && strcmp(current, "disk") != 0;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(silent ? silent_block() : device_block());
    want.callback = device_callback;
    live_tag.store(0);
    device_calls.store(0);
    device_lost.store(false);
    begin_serving(OUTPUT_DEVICE, want.samples);
    Opened opened[open_attempts];
    int count = 0;
    do {
        opened[count] = open_started(want);
        if (opened[count].id == 0) {
            break;
        }
        count++;
    } while (heard && count < open_attempts && !called_back_soon());
    if (count == 0) {
        return 0;
    }
    // None called back yet: the last opened plays.
    uintptr_t none = 0;
    live_tag.compare_exchange_strong(none, opened[count - 1].tag);
    uintptr_t live = live_tag.load();
    SDL_AudioDeviceID id = 0;
    for (int i = 0; i < count; i++) {
        if (opened[i].tag == live) {
            id = opened[i].id;
            *block_frames = opened[i].block_frames;
        } else {
            SDL_CloseAudioDevice(opened[i].id);
        }
    }
    live_device.store(id);
    if (*block_frames != want.samples) {
        std::lock_guard<std::mutex> hold(queue_lock);
        latency = static_cast<size_t>(*block_frames);
    }
    return id;
}

// Starts SDL's audio with the given driver (empty: SDL's own choice) and opens
// the default device.
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

// The driver chosen when the output started. When it has no device, the
// runner is the silent output, which tries the device again at every play:
// SDL's dummy driver in its place would never give the device back.
static bool open_sdl(int* block_frames) {
    // The program handles its own signals; SDL must not take SIGINT and SIGTERM.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_AudioDeviceID id = start_driver(driver.c_str(), block_frames);
    if (id == 0) {
        return false;
    }
    std::lock_guard<std::mutex> hold(device_lock);
    device = id;
    return true;
}

static void close_sdl() {
    std::lock_guard<std::mutex> hold(device_lock);
    SDL_CloseAudioDevice(device);
    live_device.store(0);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device = 0;
}

// Before a device opens: waits until the queue holds what its first blocks
// take, the track ends, or a moment passed, so that what the device plays
// first is the track; on a loaded machine, a while more for its first block
// at least, which would otherwise begin with silence.
static void wait_for_samples(size_t block_frames) {
    std::unique_lock<std::mutex> hold(queue_lock);
    auto enough = [] {
        return stopping || !playing || paused || write_at - read_at >= data_wanted;
    };
    data_wanted = static_cast<size_t>(rate / 2);
    output_wake.wait_for(hold, start_wait, enough);
    data_wanted = block_frames;
    output_wake.wait_for(hold, start_wait * 10, enough);
    data_wanted = 0;
}

static void run_output() {
    name_this_thread("vbmp3 output");
    for (;;) {
        Next next;
        int block_frames = device_block();
        if (output_kind == OUTPUT_DEVICE) {
            wait_for_samples(static_cast<size_t>(block_frames));
        }
        if (output_kind == OUTPUT_DEVICE && open_sdl(&block_frames)) {
            next = serve_device(block_frames);
            close_sdl();
        } else {
            bool fast = output_kind == OUTPUT_FAST;
            begin_serving(fast ? OUTPUT_FAST : OUTPUT_SILENT,
                          fast ? 0 : static_cast<size_t>(block_frames));
            next = serve_null(fast, fast ? fast_block : static_cast<size_t>(block_frames),
                              output_kind == OUTPUT_DEVICE);
        }
        if (next == Next::close) {
            {
                std::lock_guard<std::mutex> hold(queue_lock);
                serving = OUTPUT_NONE;
            }
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
        // Two seconds, refilled a second at a time, so that the writer wakes
        // once a second. The fast output, which waits for nobody, takes long
        // runs.
        capacity = output_kind == OUTPUT_FAST ? 2 * fast_block : 2 * static_cast<size_t>(rate);
        ring.assign(2 * capacity, 0.0f);
        read_at = write_at = 0;
        paused = playing = running = stopping = device_asked = false;
        heard_from = 0;
        serving = OUTPUT_NONE;
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
    // A runner that decided to close may still be closing its device (SDL
    // lets it play out for two blocks): the new one waits for it, not the
    // program's thread.
    runner = std::thread([previous = std::move(runner)]() mutable {
        if (previous.joinable()) {
            previous.join();
        }
        run_output();
    });
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
        samples_limit(ring.data() + 2 * start, frames, 2 * first);
        samples_limit(ring.data(), frames + 2 * first, 2 * (taken - first));
        write_at += taken;
        if (data_wanted > 0 && write_at - read_at >= data_wanted) {
            output_wake.notify_all();
        }
    }
    return taken;
}

// Under hold: waits until wanted frames are free, the writer is released, or
// milliseconds passed. Nothing taken meanwhile by a playing device that had
// started means that it has stalled.
static void wait_for_free(std::unique_lock<std::mutex>& hold, size_t wanted, int milliseconds) {
    uint64_t releases = writer_releases;
    uint64_t calls = device_calls.load();
    room_wanted = wanted;
    bool made =
        room_made.wait_for(hold, std::chrono::milliseconds(milliseconds), [wanted, releases] {
            return writer_releases != releases ||
                   capacity - static_cast<size_t>(write_at - read_at) >= wanted;
        });
    room_wanted = 0;
    if (!made && playing && serving == OUTPUT_DEVICE && calls >= start_calls &&
        device_calls.load() == calls && !device_failed) {
        device_failed = true;
        output_wake.notify_all();
    }
}

bool output_wait_for_room(size_t count, int milliseconds) {
    std::unique_lock<std::mutex> hold(queue_lock);
    // At least half the queue: the writer then works in long runs instead of
    // waking for every block the device takes.
    wait_for_free(hold, std::max(std::min(count, capacity), capacity / 2), milliseconds);
    return capacity - static_cast<size_t>(write_at - read_at) >= std::min(count, capacity);
}

bool output_wait_for_tail(int milliseconds) {
    std::unique_lock<std::mutex> hold(queue_lock);
    // What the output took and plays still is left to hear too; but no less
    // than the output's next block, so that whatever follows is queued before
    // the output would run short. The fast output waits for whole runs: for
    // it, the whole queue is the tail.
    size_t half_second = static_cast<size_t>(rate / 2);
    size_t tail = std::max(half_second > latency ? half_second - latency : 0, latency);
    if (output_kind == OUTPUT_FAST) {
        tail = capacity;
    }
    if (write_at - read_at > tail) {
        wait_for_free(hold, capacity - tail, milliseconds);
    }
    return write_at - read_at <= tail;
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

void output_set_capture(VBMP3_CAPTURE new_capture, void* user) {
    std::lock_guard<std::mutex> hold(queue_lock);
    capture = new_capture;
    capture_user = user;
}

void output_choose(int kind) {
    chosen_output = kind;
}

int output_serving() {
    std::lock_guard<std::mutex> hold(queue_lock);
    // A runner that output_play started may not serve yet (it waits for the
    // one before to close, and a thread can take long to start): it counts
    // as the output it opens first, not as none, or a program would take the
    // output for finished while the whole track still waits in the queue.
    if (serving == OUTPUT_NONE && running) {
        return output_kind;
    }
    return serving;
}
