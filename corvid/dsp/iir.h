#pragma once
// Direct-form-I biquad with double-precision memory, and the two shelving designs that
// drive it. Coefficients are stored as floats (they glide in single precision) and
// widened once per call.

#include <cmath>
#include <limits>

namespace corvid {

struct BiquadCoeffs {
    float b0 = 1.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;
    float a1 = 0.0f;
    float a2 = 0.0f;

    static constexpr BiquadCoeffs identity() { return BiquadCoeffs{}; }
};

// Bitwise on purpose: a coefficient of -0 is not the identity where signed zeros meet.
inline bool isIdentity(const BiquadCoeffs& c) {
    return c.b0 == 1.0f && !std::signbit(c.b1) && c.b1 == 0.0f && !std::signbit(c.b2) &&
           c.b2 == 0.0f && !std::signbit(c.a1) && c.a1 == 0.0f && !std::signbit(c.a2) &&
           c.a2 == 0.0f;
}

struct BiquadMemory {
    double x1 = 0.0;
    double x2 = 0.0;
    double y1 = 0.0;
    double y2 = 0.0;
};

class Biquad {
public:
    // Input and output may be the same buffer.
    void filter(const BiquadCoeffs& c, const float* input, float* output, int frames);

    // The end-of-call housekeeping on its own, for callers that run the recurrence
    // themselves and must leave the memory exactly as filter() would.
    static void settleMemory(BiquadMemory& m) {
        // Adding and removing a small offset rounds memories far below it to exactly
        // zero, so a decaying tail never turns into slow denormal arithmetic.
        m.x1 += 1e-10;
        m.x2 += 1e-10;
        m.y1 += 1e-10;
        m.y2 += 1e-10;
        m.x1 += -1e-10;
        m.x2 += -1e-10;
        m.y1 += -1e-10;
        m.y2 += -1e-10;
        // One NaN or infinity in the input would otherwise circulate in the feedback
        // path for the rest of the session; finite memories are left untouched.
        if (!std::isfinite(m.x1) || !std::isfinite(m.x2) || !std::isfinite(m.y1) ||
            !std::isfinite(m.y2))
            m = BiquadMemory{};
    }

    BiquadMemory memory;
};

// Shelving filters in the usual cookbook form. numerator is 2*pi times the corner
// frequency; divisor is 2Q. A gain of exactly 0 dB returns the identity.
BiquadCoeffs lowShelf(float gainDb, double numerator, double divisor, float sampleRate);
BiquadCoeffs highShelf(float gainDb, double numerator, double divisor, float sampleRate);

// The part of a shelf's design that does not depend on its gain (a cosine and a sine
// of the corner), for a stage that redesigns one shelf at one rate every block. The
// shelves below give exactly what the four-argument forms give.
struct ShelfCorner {
    // The rate it was worked out for; none until then (a NaN equals no rate).
    float sampleRate = std::numeric_limits<float>::quiet_NaN();
    double cs = 1.0;
    double alpha = 0.0;
};
ShelfCorner shelfCorner(double numerator, double divisor, float sampleRate);
// kept when it was worked out for sampleRate, else the corner worked out now: for a
// stage whose rate may be set without its corner.
ShelfCorner shelfCorner(double numerator, double divisor, float sampleRate,
                        const ShelfCorner& kept);
BiquadCoeffs lowShelf(float gainDb, const ShelfCorner& corner);
BiquadCoeffs highShelf(float gainDb, const ShelfCorner& corner);

} // namespace corvid
