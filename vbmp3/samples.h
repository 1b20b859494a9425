// Loops over samples that every block of audio goes through, written so that
// the compiler turns them into vector instructions.
#pragma once

#include <cstddef>

// Copies count samples, each brought within full scale (-1 to 1) and NaN to
// silence: damaged frames can decode to huge or non-finite values. in and out
// do not overlap.
void samples_limit(float* out, const float* in, size_t count);

// Copies count interleaved stereo frames, multiplying each channel by its
// gain. out may be in itself.
void samples_scale(float* out, const float* in, size_t count, float left, float right);
