// The library's interface: the open track, its decoding thread, and the
// delivery of events on the program's thread.
//
// Threads: the program's thread calls every vbmp3_ function; one decoding
// thread fills the output's queue; the output's own thread (SDL's) empties it.
// library_lock guards the open track. It is never held while the handler or
// the wakeup function runs.

#include "vbmp3/vbmp3.h"

#include "vbmp3/events.h"
#include "vbmp3/fileinfo.h"
#include "vbmp3/output.h"
#include "vbmp3/thread_name.h"
#include "vbmp3/track.h"

#include <mpg123.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

enum TrackState { TRACK_OPENED, TRACK_PLAYING, TRACK_PAUSED };

struct Track {
    uint64_t id;           // unique for the library's lifetime
    uint64_t epoch;        // changes with every play, resume from the start and seek
    TrackDecoder* decoder; // used by the decoding thread while decoder_busy
    TrackState state;
    bool input_done;     // the decoder has given its last frame
    bool ended;          // ... and every frame is queued: the end event is raised
    int base_seconds;    // track position of the first frame queued since the epoch began
    uint64_t base_frame; // that frame's number in the output
};

static std::mutex library_lock;
static std::condition_variable decoder_wake; // work for the decoding thread, or it went idle
// The open track, null when none; replaced by the program's thread under library_lock.
static Track* open_track;
// Set by the decoding thread while it decodes open_track outside the lock;
// whoever closes or seeks the track waits for it to clear.
static bool decoder_busy;
static bool decoder_quit; // under library_lock: vbmp3_free asks the thread to end
static std::thread decoder_thread;

// Program's thread only.
static bool initialised;
static uint64_t last_track_id;
static VBMP3_HANDLER handler;
static int option_rate = 44100;

// ---- The decoding thread ----------------------------------------------------

static int heard_seconds(const Track* track) {
    uint64_t heard = output_heard();
    uint64_t played = heard > track->base_frame ? heard - track->base_frame : 0;
    return track->base_seconds + static_cast<int>(played / static_cast<uint64_t>(output_rate()));
}

// Raises a position event when the heard second changed, and at least once a second.
struct PositionReport {
    uint64_t track = 0;
    uint64_t epoch = 0;
    int seconds = -1;
    std::chrono::steady_clock::time_point when;
};

// The last position raised, by the decoding thread or by a pump; guarded by
// library_lock.
static PositionReport last_report;

static bool report_position(PositionReport& last, const Track* track) {
    int seconds = heard_seconds(track);
    auto now = std::chrono::steady_clock::now();
    bool same = last.track == track->id && last.epoch == track->epoch;
    if (same && seconds == last.seconds && now - last.when < std::chrono::seconds(1)) {
        return false;
    }
    last = {track->id, track->epoch, seconds, now};
    events_post({VBMP3_EVENT_POSITION, seconds, track->id, track->epoch});
    return true;
}

static void decode_loop() {
    name_this_thread("vbmp3 decode");
    // Decoded frames not queued yet: the decoder's own, valid while their
    // track and epoch are the open track's, and until its next decode.
    const float* pending = nullptr;
    size_t pending_frames = 0;
    uint64_t pending_track = 0;
    uint64_t pending_epoch = 0;
    bool position_unasked = false; // a position is posted, no pump asked for it
    bool tail_left = false;        // all is queued, and no more than half a second
    std::unique_lock<std::mutex> lock(library_lock);
    while (!decoder_quit) {
        Track* track = open_track;
        if (!track || track->state != TRACK_PLAYING || track->ended) {
            // Every change that gives this thread work notifies it: no timeout,
            // so that it never wakes while nothing plays.
            decoder_wake.wait(lock);
            continue;
        }
        if (pending_track != track->id || pending_epoch != track->epoch) {
            pending_frames = 0;
            pending_track = track->id;
            pending_epoch = track->epoch;
            tail_left = false;
        }
        if (pending_frames == 0 && !track->input_done) {
            decoder_busy = true;
            TrackDecoder* decoder = track->decoder;
            lock.unlock();
            const float* piece;
            size_t piece_frames;
            bool more = track_decode(decoder, &piece, &piece_frames);
            lock.lock();
            decoder_busy = false;
            decoder_wake.notify_all();
            if (open_track != track || track->id != pending_track ||
                track->epoch != pending_epoch) {
                continue; // closed, replaced or sought meanwhile
            }
            pending = piece;
            pending_frames = piece_frames;
            track->input_done = !more;
        }
        size_t taken = output_write(pending, pending_frames);
        pending += 2 * taken;
        pending_frames -= taken;
        bool wake = false;
        if (pending_frames == 0 && track->input_done && !tail_left) {
            // The end is raised with about half a second left to hear,
            // though the queue holds more; positions go on meanwhile.
            position_unasked = report_position(last_report, track) || position_unasked;
            bool wake_now = position_unasked && events_position_overdue();
            position_unasked = position_unasked && !wake_now;
            lock.unlock();
            if (wake_now) {
                events_wake();
            }
            tail_left = output_wait_for_tail(1000);
            lock.lock();
            continue;
        }
        if (pending_frames == 0 && track->input_done) {
            // Every frame is queued: the end is raised while the tail still
            // plays, so a track opened at once follows without a gap.
            track->ended = true;
            output_drain();
            events_post({VBMP3_EVENT_END, 0, track->id, track->epoch});
            wake = true;
        } else {
            // A program that pumps on its own clock takes the position then.
            position_unasked = report_position(last_report, track) || position_unasked;
            wake = position_unasked && events_position_overdue();
            position_unasked = position_unasked && !wake;
        }
        if (wake || pending_frames > 0) {
            size_t waiting = pending_frames;
            lock.unlock();
            if (wake) {
                events_wake();
            }
            if (waiting > 0) {
                output_wait_for_room(waiting, 1000);
            }
            lock.lock();
        }
    }
}

// ---- Track changes (program's thread, library_lock held) --------------------

// Takes the open track away and stops it being heard, unless it already
// decoded to its end: then its queued tail plays out and whatever opens next
// follows it. Pending events all belong to it and are dropped.
static Track* detach_track(std::unique_lock<std::mutex>& lock) {
    Track* track = open_track;
    if (!track) {
        return nullptr;
    }
    open_track = nullptr;
    decoder_wake.wait(lock, [] { return !decoder_busy; });
    if (track->state != TRACK_OPENED && !track->ended) {
        output_flush();
    }
    output_drain();
    events_clear();
    return track;
}

static void release_track(Track* track) {
    if (track) {
        track_close(track->decoder);
        delete track;
    }
}

// Starts a new epoch at the given position: what is queued of the track is dropped.
static void restart_epoch(std::unique_lock<std::mutex>& lock, Track* track, int seconds,
                          bool move) {
    decoder_wake.wait(lock, [] { return !decoder_busy; });
    if (move) {
        track_seek(track->decoder, seconds);
    }
    if (track->state != TRACK_OPENED) {
        output_flush();
    }
    track->input_done = false;
    track->ended = false;
    track->epoch++;
    track->base_seconds = seconds;
    track->base_frame = output_written();
    events_clear();
    if (track->state == TRACK_PLAYING) {
        output_play(); // it may have drained after the end was queued
    }
}

static void start_playing(Track* track) {
    track->state = TRACK_PLAYING;
    output_play();
    decoder_wake.notify_all();
}

// ---- Interface ----------------------------------------------------------------

int vbmp3_init(void) {
    if (initialised) {
        return 1;
    }
    if (mpg123_init() != MPG123_OK) {
        return 0;
    }
    output_start(option_rate);
    decoder_quit = false;
    decoder_thread = std::thread(decode_loop);
    initialised = true;
    return 1;
}

int vbmp3_free(void) {
    if (!initialised) {
        return 0;
    }
    handler = nullptr;
    events_set_wakeup(nullptr);
    {
        std::lock_guard<std::mutex> hold(library_lock);
        decoder_quit = true;
    }
    decoder_wake.notify_all();
    output_flush(); // sends back a decoding thread waiting for room
    decoder_thread.join();
    output_stop();
    release_track(open_track);
    open_track = nullptr;
    events_clear();
    mpg123_exit();
    initialised = false;
    return 1;
}

int vbmp3_callback(VBMP3_HANDLER new_handler) {
    handler = new_handler;
    return 1;
}

int vbmp3_setDecodeOption(const VBMP3_DECODE_OPTION* option) {
    if (!option || option->frequency < 8000 || option->frequency > 192000) {
        return 0;
    }
    if (option->frequency == option_rate) {
        return 1;
    }
    std::lock_guard<std::mutex> hold(library_lock);
    // The output rate changes only while nothing is open; otherwise it is kept.
    if (open_track) {
        return 0;
    }
    option_rate = option->frequency;
    if (initialised) {
        output_stop();
        output_start(option_rate);
    }
    return 1;
}

int vbmp3_open(const char* path, void*) {
    if (!initialised || !path) {
        return 0;
    }
    TrackDecoder* decoder = track_open(path, output_rate());
    Track* old;
    {
        std::unique_lock<std::mutex> lock(library_lock);
        old = detach_track(lock);
        if (decoder) {
            open_track = new Track{++last_track_id, 0, decoder, TRACK_OPENED, false, false, 0, 0};
        }
    }
    release_track(old);
    return decoder ? 1 : 0;
}

int vbmp3_play(void) {
    std::unique_lock<std::mutex> lock(library_lock);
    Track* track = open_track;
    if (!track) {
        return 0;
    }
    // A track that was played or moved goes back to its start.
    bool move = track->state != TRACK_OPENED || track->base_seconds != 0;
    restart_epoch(lock, track, 0, move);
    start_playing(track);
    return 1;
}

int vbmp3_pause(void) {
    std::lock_guard<std::mutex> hold(library_lock);
    if (!open_track || open_track->state != TRACK_PLAYING) {
        return 0;
    }
    open_track->state = TRACK_PAUSED;
    output_pause();
    return 1;
}

int vbmp3_restart(void) {
    std::unique_lock<std::mutex> lock(library_lock);
    Track* track = open_track;
    if (!track || track->state == TRACK_PLAYING) {
        return 0;
    }
    if (track->state == TRACK_OPENED) {
        restart_epoch(lock, track, track->base_seconds, false);
    }
    start_playing(track);
    return 1;
}

int vbmp3_close(void) {
    if (!initialised) {
        return 0;
    }
    Track* track;
    {
        std::unique_lock<std::mutex> lock(library_lock);
        track = detach_track(lock);
    }
    if (!track) {
        return 1;
    }
    release_track(track);
    if (handler) {
        handler(VBMP3_EVENT_END, 0);
    }
    return 1;
}

int vbmp3_seek(int seconds) {
    std::unique_lock<std::mutex> lock(library_lock);
    Track* track = open_track;
    if (!track) {
        return 0;
    }
    restart_epoch(lock, track, seconds < 0 ? 0 : seconds, true);
    decoder_wake.notify_all();
    return 1;
}

int vbmp3_getState(int*) {
    std::lock_guard<std::mutex> hold(library_lock);
    if (!open_track) {
        return 0;
    }
    return open_track->state == TRACK_PLAYING ? 1 : 2;
}

int vbmp3_getFileInfo(const char* path, VBMP3_TAG_INFO* tag, VBMP3_INFO* info) {
    return fileinfo_read(path, tag, info) ? 1 : 0;
}

int vbmp3_setVolume(int left, int right) {
    output_set_volume(left, right);
    return 1;
}

int vbmp3_setEqualizer(const int* bands) {
    if (!bands) {
        return 0;
    }
    output_set_equalizer(bands);
    return 1;
}

void vbmp3_setWakeup(void (*wakeup)(void)) {
    events_set_wakeup(wakeup);
}

int vbmp3_setOutput(const char* name) {
    static const char* const names[] = {"device", "fast", "silent"};
    for (int kind = OUTPUT_DEVICE; kind <= OUTPUT_SILENT; kind++) {
        if (name && strcmp(name, names[kind]) == 0) {
            output_choose(kind);
            return 1;
        }
    }
    return 0;
}

const char* vbmp3_getOutput(void) {
    switch (output_serving()) {
    case OUTPUT_DEVICE:
        return "device";
    case OUTPUT_FAST:
        return "fast";
    case OUTPUT_SILENT:
        return "silent";
    default:
        return "";
    }
}

void vbmp3_setCapture(VBMP3_CAPTURE capture, void* user) {
    output_set_capture(capture, user);
}

void vbmp3_pump(void) {
    events_pumped();
    if (initialised) {
        // The heard second as it is now: the decoding thread, which sleeps
        // while the queue is full, may not have seen it change.
        std::lock_guard<std::mutex> lock(library_lock);
        Track* track = open_track;
        if (track && track->state == TRACK_PLAYING && !track->ended) {
            report_position(last_report, track);
        }
    }
    PendingEvent event;
    while (initialised && events_take(&event)) {
        Track* finished = nullptr;
        bool current;
        {
            std::unique_lock<std::mutex> lock(library_lock);
            current =
                open_track && open_track->id == event.track && open_track->epoch == event.epoch;
            // Delivering the end closes the track; its queued tail plays on.
            if (current && event.type == VBMP3_EVENT_END) {
                finished = detach_track(lock);
            }
        }
        release_track(finished);
        if (current && handler) {
            handler(event.type, event.value);
        }
    }
}
