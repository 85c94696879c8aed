#include "corvid/dsp/iir.h"

#include <algorithm>
#include <cmath>

namespace corvid {

void Biquad::filter(const BiquadCoeffs& c, const float* input, float* output, int frames) {
    const double b0 = c.b0, b1 = c.b1, b2 = c.b2, a1 = c.a1, a2 = c.a2;
    double x1 = memory.x1, x2 = memory.x2, y1 = memory.y1, y2 = memory.y2;
    for (int i = 0; i < frames; ++i) {
        const double x = input[i];
        const double y = (b0 * x + b1 * x1 - a1 * y1) + (b2 * x2 - a2 * y2);
        output[i] = static_cast<float>(y);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    memory = BiquadMemory{x1, x2, y1, y2};
    settleMemory(memory);
}

namespace {

// A corner at or above the Nyquist frequency (the head-shadow shelf at a rate below
// about 8 kHz) turns the sine negative and puts the poles outside the unit circle.
// Such a corner is moved just below Nyquist, where the shelf stays stable; at every
// rate whose Nyquist frequency lies above the corner nothing changes.
constexpr double kHighestShelfOmega = 0.9 * 3.141592653589793;

struct ShelfTerms {
    double A, cs, k;
};

ShelfTerms shelfTerms(float gainDb, const ShelfCorner& corner) {
    const double A = std::pow(10.0, static_cast<double>(gainDb) / 40.0);
    const double k = 2.0 * std::sqrt(A) * corner.alpha;
    return {A, corner.cs, k};
}

} // namespace

ShelfCorner shelfCorner(double numerator, double divisor, float sampleRate) {
    const double w0 = std::min(numerator / static_cast<double>(sampleRate), kHighestShelfOmega);
    ShelfCorner c;
    c.sampleRate = sampleRate;
    c.cs = std::cos(w0);
    c.alpha = std::sin(w0) / divisor;
    return c;
}

ShelfCorner shelfCorner(double numerator, double divisor, float sampleRate,
                        const ShelfCorner& kept) {
    return kept.sampleRate == sampleRate ? kept : shelfCorner(numerator, divisor, sampleRate);
}

BiquadCoeffs lowShelf(float gainDb, double numerator, double divisor, float sampleRate) {
    if (gainDb == 0.0f) return BiquadCoeffs::identity();
    return lowShelf(gainDb, shelfCorner(numerator, divisor, sampleRate));
}

BiquadCoeffs highShelf(float gainDb, double numerator, double divisor, float sampleRate) {
    if (gainDb == 0.0f) return BiquadCoeffs::identity();
    return highShelf(gainDb, shelfCorner(numerator, divisor, sampleRate));
}

BiquadCoeffs lowShelf(float gainDb, const ShelfCorner& corner) {
    if (gainDb == 0.0f) return BiquadCoeffs::identity();
    const auto [A, cs, k] = shelfTerms(gainDb, corner);
    const double a0 = (A + 1) + (A - 1) * cs + k;
    BiquadCoeffs c;
    c.b0 = static_cast<float>(A * ((A + 1) - (A - 1) * cs + k) / a0);
    c.b1 = static_cast<float>(2 * A * ((A - 1) - (A + 1) * cs) / a0);
    c.b2 = static_cast<float>(A * ((A + 1) - (A - 1) * cs - k) / a0);
    c.a1 = static_cast<float>(-2 * ((A - 1) + (A + 1) * cs) / a0);
    c.a2 = static_cast<float>(((A + 1) + (A - 1) * cs - k) / a0);
    return c;
}

BiquadCoeffs highShelf(float gainDb, const ShelfCorner& corner) {
    if (gainDb == 0.0f) return BiquadCoeffs::identity();
    const auto [A, cs, k] = shelfTerms(gainDb, corner);
    const double a0 = (A + 1) - (A - 1) * cs + k;
    BiquadCoeffs c;
    c.b0 = static_cast<float>(A * ((A + 1) + (A - 1) * cs + k) / a0);
    c.b1 = static_cast<float>(-2 * A * ((A - 1) + (A + 1) * cs) / a0);
    c.b2 = static_cast<float>(A * ((A + 1) + (A - 1) * cs - k) / a0);
    c.a1 = static_cast<float>(2 * ((A - 1) - (A + 1) * cs) / a0);
    c.a2 = static_cast<float>(((A + 1) - (A - 1) * cs - k) / a0);
    return c;
}

} // namespace corvid
