// The output: a queue of stereo frames at the output rate, emptied by the sound
// device's thread (SDL), which applies the equalizer and the volume on the way.
// A device that takes nothing for a second (unplugged) is replaced by a paced
// thread of our own: the queue goes on emptying in real time, silently.
//
// Counters are absolute frame numbers since output_start: everything written
// before output_written() is queued, heard or dropped.
#pragma once

#include <cstddef>
#include <cstdint>

// Opens the sound device at rate (SDL's dummy driver when no device opens, a
// paced thread of our own if even that fails). False only if nothing can run.
bool output_start(int rate);
// Closes the output and drops what is queued.
void output_stop();
// Frames per second of the output.
int output_rate();

// Queues up to count interleaved stereo frames; the result is how many it took.
// One writer at a time.
size_t output_write(const float* frames, size_t count);
// Waits up to milliseconds until count frames fit, and at least a quarter of
// the queue is free. True when they fit.
bool output_wait_for_room(size_t count, int milliseconds);
// Frame number that the next written frame gets.
uint64_t output_written();
// Frames queued and not yet taken by the device.
size_t output_queued();
// Drops everything queued: it is never heard.
void output_flush();
// Frame number being heard now (what the device has taken, less its own buffer).
uint64_t output_heard();

// While paused the device plays silence and takes nothing from the queue.
void output_set_paused(bool paused);
// Channel levels 0 to 100.
void output_set_volume(int left, int right);
// Band gains in tenths of a decibel; see equalizer.h.
void output_set_equalizer(const int gains[10]);
