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

// Left and right side by side: one vector operation filters both channels.
typedef double Pair __attribute__((vector_size(16)));

struct Cascade {
    Pair b0[EQ_BANDS], b1[EQ_BANDS], b2[EQ_BANDS], a1[EQ_BANDS], a2[EQ_BANDS];
    Pair s1[EQ_BANDS], s2[EQ_BANDS];
};

// All bands for one frame before the next: with the band count fixed at compile
// time the states stay in registers, and the frames' recursions overlap.
template <int N> static void run_cascade(Cascade& c, Pair preamp, float* frames, size_t count) {
    Pair s1[N];
    Pair s2[N];
    for (int k = 0; k < N; k++) {
        s1[k] = c.s1[k];
        s2[k] = c.s2[k];
    }
    for (size_t i = 0; i < count; i++) {
        Pair x = Pair{frames[2 * i], frames[2 * i + 1]} * preamp;
        for (int k = 0; k < N; k++) {
            Pair y = c.b0[k] * x + s1[k];
            s1[k] = c.b1[k] * x - c.a1[k] * y + s2[k];
            s2[k] = c.b2[k] * x - c.a2[k] * y;
            x = y;
        }
        // Clamp to full scale: the filters ring slightly past the curve on transients.
        const Pair one = {1.0, 1.0};
        x = x > one ? one : x;
        x = x < -one ? -one : x;
        frames[2 * i] = static_cast<float>(x[0]);
        frames[2 * i + 1] = static_cast<float>(x[1]);
    }
    for (int k = 0; k < N; k++) {
        c.s1[k] = s1[k];
        c.s2[k] = s2[k];
    }
}

// Decaying state would end in denormal numbers, which are very slow.
static double flush_tiny(double v) {
    return std::fabs(v) < 1e-25 ? 0.0 : v;
}

void eq_process(Equalizer* eq, float* frames, size_t count) {
    int n = eq->active_bands;
    Cascade c;
    for (int k = 0; k < n; k++) {
        int b = eq->active[k];
        const double* k5 = eq->coefficients[b];
        c.b0[k] = Pair{k5[0], k5[0]};
        c.b1[k] = Pair{k5[1], k5[1]};
        c.b2[k] = Pair{k5[2], k5[2]};
        c.a1[k] = Pair{k5[3], k5[3]};
        c.a2[k] = Pair{k5[4], k5[4]};
        c.s1[k] = Pair{eq->state[b][0][0], eq->state[b][1][0]};
        c.s2[k] = Pair{eq->state[b][0][1], eq->state[b][1][1]};
    }
    Pair preamp = {eq->preamp, eq->preamp};
    switch (n) {
    case 1:
        run_cascade<1>(c, preamp, frames, count);
        break;
    case 2:
        run_cascade<2>(c, preamp, frames, count);
        break;
    case 3:
        run_cascade<3>(c, preamp, frames, count);
        break;
    case 4:
        run_cascade<4>(c, preamp, frames, count);
        break;
    case 5:
        run_cascade<5>(c, preamp, frames, count);
        break;
    case 6:
        run_cascade<6>(c, preamp, frames, count);
        break;
    case 7:
        run_cascade<7>(c, preamp, frames, count);
        break;
    case 8:
        run_cascade<8>(c, preamp, frames, count);
        break;
    case 9:
        run_cascade<9>(c, preamp, frames, count);
        break;
    case 10:
        run_cascade<10>(c, preamp, frames, count);
        break;
    default:
        return;
    }
    for (int k = 0; k < n; k++) {
        int b = eq->active[k];
        eq->state[b][0][0] = flush_tiny(c.s1[k][0]);
        eq->state[b][1][0] = flush_tiny(c.s1[k][1]);
        eq->state[b][0][1] = flush_tiny(c.s2[k][0]);
        eq->state[b][1][1] = flush_tiny(c.s2[k][1]);
    }
}
