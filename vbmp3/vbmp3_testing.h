// vbmp3 test hooks: what the library's own tests and benchmarks use to see the
// samples it sends to the output. Not for the program.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Receives every block of samples handed to the output, after volume and
// equalizer: count interleaved stereo frames of 32-bit floats at rate.
typedef void (*VBMP3_OUTPUT_TAP)(const float* frames, int count, int rate, void* user);

// Installs a tap (null removes it). It runs on the output's thread.
void vbmp3_testing_setTap(VBMP3_OUTPUT_TAP tap, void* user);

#define VBMP3_OUTPUT_DEVICE 0 // the sound device, as the program uses it (default)
#define VBMP3_OUTPUT_FAST 1   // no device: samples are taken as fast as they are decoded
#define VBMP3_OUTPUT_PACED 2  // no device: samples are taken in real time

// Chooses the output for the next vbmp3_init.
void vbmp3_testing_useOutput(int output);

#define VBMP3_OUTPUT_NONE (-1) // nothing plays: no device is open, no output thread runs

// What takes the samples now: an SDL device (VBMP3_OUTPUT_DEVICE), the
// library's own paced thread (VBMP3_OUTPUT_PACED: no device could be opened,
// or it was lost), the fast null output, or VBMP3_OUTPUT_NONE. An output
// thread that is starting counts as the output it opens first.
int vbmp3_testing_output(void);

// Makes every output thread started from now on wait that long before it
// serves, as a thread may take to start on a loaded system (0: none).
void vbmp3_testing_delayOutput(int milliseconds);

// Makes the sound device stop taking samples, as when it is unplugged while
// playing (nothing happens without an SDL device).
void vbmp3_testing_loseDevice(void);

#ifdef __cplusplus
}
#endif
