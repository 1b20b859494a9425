// The output: a queue of stereo frames at the output rate, emptied by the sound
// device's thread (SDL), which applies the equalizer and the volume on the way.
//
// The device is open only while there is something to hear: from output_play
// until the output is paused, or drained with nothing more to play, and a
// moment more for the device's own buffer. Then the device is closed and SDL's
// audio left, so that no thread wakes while nothing plays, and the next
// output_play opens the sound server or device as it is then. A device that
// takes nothing for a second (unplugged, its server gone) is replaced by a
// paced thread of our own: the queue goes on emptying in real time, silently,
// until the next output_play tries the device again.
//
// Counters are absolute frame numbers since output_start: everything written
// before output_written() is queued, heard or dropped.
#pragma once

#include "vbmp3/vbmp3.h"

#include <cstddef>
#include <cstdint>

// What takes the samples (see vbmp3_setOutput).
enum OutputKind {
    OUTPUT_NONE = -1, // nothing plays: no device is open, no output thread runs
    OUTPUT_DEVICE,    // an SDL device
    OUTPUT_FAST,      // no device: samples are taken as fast as they are decoded
    OUTPUT_SILENT,    // no device: samples are taken in real time
};

// The output the next output_start uses.
void output_choose(int kind);
// What takes the samples now: an OutputKind; a runner that is starting counts
// as the output it opens first.
int output_serving();
// Installs the capture the samples are handed to (null: none).
void output_set_capture(VBMP3_CAPTURE capture, void* user);

// Prepares an empty queue at rate; the device opens at the next output_play.
// The driver SDL is to use is the one named in the environment now.
void output_start(int rate);
// Closes the output and drops what is queued.
void output_stop();
// Frames per second of the output.
int output_rate();

// Something is to be heard: the queue is emptied in real time, and the device
// is opened (or opened again, after it was lost) if it is not playing.
void output_play();
// Paused: nothing is taken from the queue; the device closes shortly.
void output_pause();
// Nothing more is to be played for now: what is queued plays out, then the
// device closes, unless output_play comes first (the next track follows then
// with no gap).
void output_drain();

// Queues up to count interleaved stereo frames, each sample brought within
// full scale and NaN to silence; the result is how many it took. One writer
// at a time.
size_t output_write(const float* frames, size_t count);
// Waits until count frames fit and at least half the queue is free, or until
// the queue is flushed, paused or drained, or until milliseconds passed. True
// when they fit. A wait of a second or more during which a playing device took
// nothing tells the output that the device has stalled.
bool output_wait_for_room(size_t count, int milliseconds);
// Waits until at most about half a second is left to hear, in the queue and
// in the output (but no less than the output's next block is queued), as
// output_wait_for_room waits for room. True when so.
bool output_wait_for_tail(int milliseconds);
// Frame number that the next written frame gets.
uint64_t output_written();
// Drops everything queued: it is never heard. A writer waiting for room returns.
void output_flush();
// Frame number being heard now (what the device has taken, less its own buffer).
uint64_t output_heard();

// Channel levels 0 to 100.
void output_set_volume(int left, int right);
// Band gains in tenths of a decibel; see equalizer.h.
void output_set_equalizer(const int gains[10]);
