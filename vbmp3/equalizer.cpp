#include "vbmp3/equalizer.h"

#include <cmath>
#include <complex>

static const double pi = 3.14159265358979323846;
static const double centres[EQ_BANDS] = {60, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
// About one octave wide: neighbouring bands overlap smoothly.
static const double band_q = 1.2;

// Peaking filter of the usual audio cookbook form, normalised so a0 is 1.
static void design_band(double* c, double centre, double gain_db, int rate) {
    double a = std::pow(10.0, gain_db / 40.0);
    double w0 = 2.0 * pi * centre / rate;
    double alpha = std::sin(w0) / (2.0 * band_q);
    double cosw = std::cos(w0);
    double a0 = 1.0 + alpha / a;
    c[0] = (1.0 + alpha * a) / a0;
    c[1] = -2.0 * cosw / a0;
    c[2] = (1.0 - alpha * a) / a0;
    c[3] = -2.0 * cosw / a0;
    c[4] = (1.0 - alpha / a) / a0;
}

static double response_magnitude(const Equalizer* eq, double frequency, int rate) {
    std::complex<double> z = std::polar(1.0, -2.0 * pi * frequency / rate);
    double magnitude = 1.0;
    for (int k = 0; k < eq->active_bands; k++) {
        const double* c = eq->coefficients[eq->active[k]];
        std::complex<double> num = c[0] + c[1] * z + c[2] * z * z;
        std::complex<double> den = 1.0 + c[3] * z + c[4] * z * z;
        magnitude *= std::abs(num / den);
    }
    return magnitude;
}

void eq_design(Equalizer* eq, const int gains[EQ_BANDS], int rate) {
    bool was_active[EQ_BANDS] = {};
    for (int k = 0; k < eq->active_bands; k++) {
        was_active[eq->active[k]] = true;
    }
    eq->active_bands = 0;
    eq->preamp = 1.0f;
    for (int b = 0; b < EQ_BANDS; b++) {
        int gain = gains[b];
        gain = gain > EQ_GAIN_LIMIT ? EQ_GAIN_LIMIT : gain < -EQ_GAIN_LIMIT ? -EQ_GAIN_LIMIT : gain;
        // A band at or above 45 % of the rate cannot be shaped at that rate.
        if (gain == 0 || centres[b] >= 0.45 * rate) {
            continue;
        }
        eq->active[eq->active_bands++] = b;
        design_band(eq->coefficients[b], centres[b], gain / 10.0, rate);
        if (!was_active[b]) {
            eq->state[b][0][0] = eq->state[b][0][1] = 0.0;
            eq->state[b][1][0] = eq->state[b][1][1] = 0.0;
        }
    }
    if (eq->active_bands == 0) {
        return;
    }
    // Headroom: scale down by the curve's highest point so that boosted bands
    // never push a full-scale signal into clipping.
    double peak = 1.0;
    for (double f = 20.0; f < 0.5 * rate && f < 20000.0; f *= 1.02) {
        double m = response_magnitude(eq, f, rate);
        peak = m > peak ? m : peak;
    }
    eq->preamp = static_cast<float>(1.0 / peak);
}

void eq_process(Equalizer* eq, float* frames, size_t count) {
    float preamp = eq->preamp;
    if (preamp != 1.0f) {
        for (size_t i = 0; i < count * 2; i++) {
            frames[i] *= preamp;
        }
    }
    // One band at a time over the whole block, both channels side by side: the
    // two recursions are independent, so the processor overlaps them.
    for (int k = 0; k < eq->active_bands; k++) {
        int b = eq->active[k];
        const double* c = eq->coefficients[b];
        double b0 = c[0], b1 = c[1], b2 = c[2], a1 = c[3], a2 = c[4];
        double l1 = eq->state[b][0][0], l2 = eq->state[b][0][1];
        double r1 = eq->state[b][1][0], r2 = eq->state[b][1][1];
        for (size_t i = 0; i < count; i++) {
            double xl = frames[2 * i];
            double xr = frames[2 * i + 1];
            double yl = b0 * xl + l1;
            double yr = b0 * xr + r1;
            l1 = b1 * xl - a1 * yl + l2;
            r1 = b1 * xr - a1 * yr + r2;
            l2 = b2 * xl - a2 * yl;
            r2 = b2 * xr - a2 * yr;
            frames[2 * i] = static_cast<float>(yl);
            frames[2 * i + 1] = static_cast<float>(yr);
        }
        // Decaying state would end in denormal numbers, which are very slow.
        const double tiny = 1e-25;
        eq->state[b][0][0] = std::fabs(l1) < tiny ? 0.0 : l1;
        eq->state[b][0][1] = std::fabs(l2) < tiny ? 0.0 : l2;
        eq->state[b][1][0] = std::fabs(r1) < tiny ? 0.0 : r1;
        eq->state[b][1][1] = std::fabs(r2) < tiny ? 0.0 : r2;
    }
    // Clamp to full scale: the filters ring slightly past the curve on transients.
    for (size_t i = 0; i < count * 2; i++) {
        float v = frames[i];
        frames[i] = v > 1.0f ? 1.0f : v < -1.0f ? -1.0f : v;
    }
}
