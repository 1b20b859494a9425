// The ten-band equalizer: peaking filters applied to interleaved stereo frames.
#pragma once

#include <cstddef>

#define EQ_BANDS 10

// Filter coefficients and state for one output rate.
struct Equalizer {
    int active_bands;                 // how many bands have a non-zero gain
    int active[EQ_BANDS];             // their indices, in order
    double coefficients[EQ_BANDS][5]; // b0, b1, b2, a1, a2 of each band
    double state[EQ_BANDS][2][2];     // per band and channel
    float preamp;                     // headroom: minus the largest boost of the whole curve
};

// Band gains are limited to this many tenths of a decibel either way: beyond it
// the curve only adds distortion, and the headroom would bury the music.
#define EQ_GAIN_LIMIT 150

// Designs the filters for gains in tenths of a decibel at the given rate. A band
// that stays active keeps its state, so a change does not click. All zero
// (after limiting) gives no active band: eq_process is then skipped. eq must
// start zeroed.
void eq_design(Equalizer* eq, const int gains[EQ_BANDS], int rate);
// Filters count interleaved stereo frames in place.
void eq_process(Equalizer* eq, float* frames, size_t count);
