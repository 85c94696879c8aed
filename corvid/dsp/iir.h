#pragma once
// Direct-form-I biquad with double-precision memory, and the two shelving designs that
// drive it. Coefficients are stored as floats (they glide in single precision) and
// widened once per call.

namespace corvid {

struct BiquadCoeffs {
    float b0 = 1.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;
    float a1 = 0.0f;
    float a2 = 0.0f;

    static constexpr BiquadCoeffs identity() { return BiquadCoeffs{}; }
};

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
    static void settleMemory(BiquadMemory& m);

    BiquadMemory memory;
};

// Shelving filters in the usual cookbook form. numerator is 2*pi times the corner
// frequency; divisor is 2Q. A gain of exactly 0 dB returns the identity.
BiquadCoeffs lowShelf(float gainDb, double numerator, double divisor, float sampleRate);
BiquadCoeffs highShelf(float gainDb, double numerator, double divisor, float sampleRate);

} // namespace corvid
