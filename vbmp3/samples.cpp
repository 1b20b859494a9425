#include "vbmp3/samples.h"

void samples_limit(float* __restrict out, const float* __restrict in, size_t count) {
    for (size_t i = 0; i < count; i++) {
        float v = in[i];
        float limited = v < -1.0f ? -1.0f : v;
        limited = limited > 1.0f ? 1.0f : limited;
        out[i] = v == v ? limited : 0.0f; // false only for NaN
    }
}

void samples_scale(float* out, const float* in, size_t count, float left, float right) {
    for (size_t i = 0; i < count; i++) {
        out[2 * i] = in[2 * i] * left;
        out[2 * i + 1] = in[2 * i + 1] * right;
    }
}
