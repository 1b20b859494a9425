// Measurements on captured interleaved stereo samples.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

// Amplitude of one frequency in a channel over frames [from, to), by Goertzel's method.
inline double tone_level(const std::vector<float>& s, int channel, size_t from, size_t to,
                         double frequency, int rate) {
    // A capture that ends before the window holds no tone there: it reads as
    // silence, so the test fails instead of reading past the samples.
    if (to > s.size() / 2 || from >= to) {
        return 0.0;
    }
    double w = 2.0 * std::numbers::pi * frequency / rate;
    double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    for (size_t i = from; i < to; i++) {
        double s0 = s[2 * i + channel] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2.0 * std::sqrt(power) / static_cast<double>(to - from);
}

inline double rms(const std::vector<float>& s, int channel) {
    double sum = 0.0;
    size_t frames = s.size() / 2;
    for (size_t i = 0; i < frames; i++) {
        sum += s[2 * i + channel] * s[2 * i + channel];
    }
    return frames ? std::sqrt(sum / frames) : 0.0;
}

// First and one past the last frame whose left sample is louder than threshold.
inline void audible_span(const std::vector<float>& s, double threshold, size_t* first,
                         size_t* last) {
    size_t frames = s.size() / 2;
    *first = frames;
    *last = 0;
    for (size_t i = 0; i < frames; i++) {
        if (std::fabs(s[2 * i]) > threshold) {
            *first = i < *first ? i : *first;
            *last = i + 1;
        }
    }
}

// The longest run of frames in [from, to) whose left sample is silent.
inline size_t longest_silence(const std::vector<float>& s, size_t from, size_t to) {
    size_t longest = 0;
    size_t run = 0;
    for (size_t i = from; i < to; i++) {
        run = std::fabs(s[2 * i]) < 1e-3 ? run + 1 : 0;
        longest = run > longest ? run : longest;
    }
    return longest;
}
