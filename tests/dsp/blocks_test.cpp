#include "corvid/dsp/delayline.h"
#include "corvid/dsp/iir.h"
#include "corvid/dsp/smooth.h"
#include "vireo/dsp/interpbiquad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using corvid::Biquad;
using corvid::BiquadCoeffs;
using corvid::Delayline;
using corvid::ExpSmoother;
using vireo::InterpolatedBiquad;

namespace {

double magnitudeDb(const BiquadCoeffs& c, double w) {
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (double(c.b0) + double(c.b1) * z1 + double(c.b2) * z2) /
                                   (1.0 + double(c.a1) * z1 + double(c.a2) * z2);
    return 20.0 * std::log10(std::abs(h));
}

} // namespace

TEST(ExpSmoother, FollowsTheExponentialAndSnapsWhenClose) {
    ExpSmoother s;
    s.initialise(0.0f, 0.04f, 48000.0f);
    const float c = s.coefficient;
    // 40 ms at 48 kHz: about 1/1920 of the remaining distance per frame.
    EXPECT_NEAR(c, 1.0 - std::exp(-1.0 / 1920.0), 1e-9);
    EXPECT_EQ(s.next(1.0f), c);
    for (int n = 2; n <= 5000; ++n) {
        const float v = s.next(1.0f);
        if (n % 500 == 0) {
            EXPECT_NEAR(v, 1.0 - std::pow(1.0 - double(c), n), 1e-5) << n;
        }
    }

    // Within 1e-10 of the target the value jumps onto it; outside it keeps gliding.
    ExpSmoother tiny;
    tiny.initialise(0.0f, 0.04f, 48000.0f);
    EXPECT_EQ(tiny.next(5e-11f), 5e-11f);
    EXPECT_EQ(tiny.next(5e-11f), 5e-11f);
    EXPECT_LT(tiny.next(1e-6f), 1e-6f);

    // Reaching the target exactly: once there, nothing moves.
    ExpSmoother fast;
    fast.initialise(0.0f, 1e-4f, 10000.0f); // coefficient 1 - 1/e
    int steps = 0;
    while (fast.current != 1.0f && steps < 1000) {
        fast.next(1.0f);
        ++steps;
    }
    EXPECT_LT(steps, 100);
    EXPECT_EQ(fast.next(1.0f), 1.0f);
}

TEST(ExpSmoother, SteadinessPredictsThatNothingMoves) {
    // A slow single-precision smoother stalls short of its target; isSteady must say
    // so exactly when further steps change nothing.
    ExpSmoother s;
    s.initialise(2.0f, 0.05f, 48000.0f);
    EXPECT_FALSE(s.isSteady(3.0f));
    int steps = 0;
    while (!s.isSteady(3.0f) && steps < 200000) {
        s.next(3.0f);
        ++steps;
    }
    ASSERT_LT(steps, 200000);
    EXPECT_LT(s.current, 3.0f);
    EXPECT_NEAR(s.current, 3.0f, 1e-3f);
    const float stalled = s.current;
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(s.next(3.0f), stalled);
    EXPECT_TRUE(s.isSteady(stalled));
}

TEST(Biquad, IdentityPassesInputAndTailsFlushToZero) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-2.0f, 2.0f);
    std::vector<float> in(300), out(300);
    for (float& x : in) x = dist(rng);
    Biquad b;
    b.filter(BiquadCoeffs::identity(), in.data(), out.data(), 300);
    EXPECT_EQ(in, out);

    // A low-pass tail after an impulse: its memories must land on exact zeros, never
    // pass through denormals (no flush-to-zero mode is set here).
    const BiquadCoeffs lp{0.00391f, 0.00782f, 0.00391f, -1.8153f, 0.8310f};
    Biquad ring;
    std::vector<float> block(32, 0.0f);
    block[0] = 1.0f;
    bool reachedZero = false;
    for (int chunk = 0; chunk < 20000 && !reachedZero; ++chunk) {
        ring.filter(lp, block.data(), block.data(), 32);
        std::fill(block.begin(), block.end(), 0.0f);
        for (double m : {ring.memory.x1, ring.memory.x2, ring.memory.y1, ring.memory.y2})
            ASSERT_NE(std::fpclassify(m), FP_SUBNORMAL);
        reachedZero = ring.memory.y1 == 0.0 && ring.memory.y2 == 0.0;
    }
    EXPECT_TRUE(reachedZero);
}

TEST(Biquad, NonFiniteInputDoesNotStayInTheMemory) {
    const BiquadCoeffs lp{0.2f, 0.4f, 0.2f, -0.5f, 0.3f};
    std::vector<float> signal(64);
    for (int i = 0; i < 64; ++i) signal[i] = std::sin(0.1f * float(i));
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        Biquad hit;
        std::vector<float> first(signal), out(64);
        first[10] = bad;
        hit.filter(lp, first.data(), out.data(), 64);
        EXPECT_FALSE(std::isfinite(out[40]));
        // After the poisoned call the filter starts over from silence.
        Biquad fresh;
        std::vector<float> a(64), b(64);
        hit.filter(lp, signal.data(), a.data(), 64);
        fresh.filter(lp, signal.data(), b.data(), 64);
        EXPECT_EQ(a, b);
    }
}

TEST(Shelves, GainsAtTheBandEdges) {
    const float rate = 48000.0f;
    const BiquadCoeffs flat = corvid::lowShelf(0.0f, 1570.8, 1.414, rate);
    EXPECT_EQ(flat.b0, 1.0f);
    EXPECT_EQ(flat.a1, 0.0f);

    const BiquadCoeffs low = corvid::lowShelf(2.7f, 1570.7963267948965, 1.4142135623730951, rate);
    EXPECT_NEAR(magnitudeDb(low, 1e-6), 2.7, 1e-3);
    EXPECT_NEAR(magnitudeDb(low, 3.14159), 0.0, 1e-3);
    // Half the shelf gain at the corner, as for any cookbook shelf.
    EXPECT_NEAR(magnitudeDb(low, 1570.7963267948965 / rate), 1.35, 1e-2);

    const BiquadCoeffs high = corvid::highShelf(-11.25f, 25333.803158548093, 1.04, rate);
    EXPECT_NEAR(magnitudeDb(high, 3.14159265), -11.25, 1e-3);
    EXPECT_NEAR(magnitudeDb(high, 1e-6), 0.0, 1e-3);
    const BiquadCoeffs boost = corvid::highShelf(3.0f, 25333.803158548093, 1.04, rate);
    EXPECT_NEAR(magnitudeDb(boost, 3.14159265), 3.0, 1e-3);
}

TEST(Shelves, StayStableWhenTheCornerLiesAboveNyquist) {
    // A biquad is stable when both poles lie inside the unit circle.
    auto stable = [](const BiquadCoeffs& c) {
        return std::fabs(c.a2) < 1.0f && std::fabs(c.a1) < 1.0f + c.a2;
    };
    for (float rate = 1000.0f; rate < 20000.0f; rate += 250.0f) {
        SCOPED_TRACE(rate);
        for (float gain : {-18.0f, -3.0f, 3.0f, 12.0f}) {
            EXPECT_TRUE(stable(corvid::highShelf(gain, 25333.803158548093, 1.04, rate)));
            EXPECT_TRUE(stable(
                corvid::lowShelf(gain, 1570.7963267948965, 1.4142135623730951, rate / 20.0f)));
        }
    }
    // Where the corner is below Nyquist the design is the cookbook's, untouched.
    const BiquadCoeffs high = corvid::highShelf(-11.25f, 25333.803158548093, 1.04, 44100.0f);
    const double w0 = 25333.803158548093 / 44100.0;
    const double A = std::pow(10.0, -11.25 / 40.0);
    const double k = 2.0 * std::sqrt(A) * (std::sin(w0) / 1.04);
    EXPECT_EQ(high.a2, static_cast<float>(((A + 1) - (A - 1) * std::cos(w0) - k) /
                                          ((A + 1) - (A - 1) * std::cos(w0) + k)));
}

TEST(InterpolatedBiquad, GlidesOncePerChunkByTheChunkLength) {
    InterpolatedBiquad f;
    f.reset(48000.0f);
    const BiquadCoeffs target{0.5f, 0.25f, 0.125f, -0.3f, 0.1f};
    std::vector<float> in(100, 0.25f), out(100);
    f.process(target, in.data(), out.data(), 100);

    BiquadCoeffs c;
    auto step = [&](float g) {
        c.b0 = c.b0 + (target.b0 - c.b0) * g;
        c.b1 = c.b1 + (target.b1 - c.b1) * g;
        c.b2 = c.b2 + (target.b2 - c.b2) * g;
        c.a1 = c.a1 + (target.a1 - c.a1) * g;
        c.a2 = c.a2 + (target.a2 - c.a2) * g;
    };
    for (int i = 0; i < 3; ++i) step(f.glide[31]);
    step(f.glide[3]);
    EXPECT_EQ(std::memcmp(&c, &f.current, sizeof c), 0);

    // The glide keeps the 40 ms time constant whatever the chunk length: 32 single
    // frames cover the same ground as one full chunk.
    EXPECT_NEAR(std::pow(1.0 - f.glide[0], 32), 1.0 - f.glide[31], 1e-6);
    EXPECT_NEAR(1.0 - f.glide[31], std::exp(-32.0 / (0.04 * 48000.0)), 1e-6);
}

TEST(Delayline, CapacityIsTheNextPowerOfTwoAboveTheSize) {
    Delayline d;
    const int sizes[][2] = {{600, 1024}, {1023, 1024}, {1024, 2048}, {1, 2}, {0, 1}};
    for (const auto& s : sizes) {
        d.resize(s[0]);
        EXPECT_EQ(d.capacity, std::uint64_t(s[1])) << s[0];
        EXPECT_EQ(d.mask, s[1] - 1);
        EXPECT_EQ(d.requested, s[0]);
    }
}

TEST(Delayline, RampReadsAcrossTheWrap) {
    Delayline d;
    d.resize(100); // 128 slots
    // Feed in odd-sized pieces so the writes wrap the ring many times.
    float next = 0.0f;
    for (int round = 0; round < 40; ++round) {
        float block[37];
        const int n = 1 + (round * 7) % 37;
        for (int i = 0; i < n; ++i) block[i] = next++;
        d.feed(block, n);
        const float newest = next - 1.0f;
        if (newest < 110.0f) continue;
        EXPECT_EQ(d.readInterpolated(3.0f), newest - 3.0f);
        EXPECT_EQ(d.readInterpolated(3.5f), newest - 3.5f);
        EXPECT_EQ(d.readInterpolated(100.0f), newest - 100.0f);
        EXPECT_FLOAT_EQ(d.readInterpolated(17.25f), newest - 17.25f);
    }
}

TEST(Delayline, BatchedReadsMatchSingleReadsOnEveryPath) {
    const std::vector<corvid::Isa> paths = corvid::supportedIsas();

    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Delayline d;
    d.resize(600);
    std::vector<float> block(512), delays(512), single(512), batched(512);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + int(rng() % 512);
        for (int i = 0; i < n; ++i) block[std::size_t(i)] = u(rng);
        d.feed(block.data(), n);
        // Steady whole and fractional delays, glides, and jumps between frames.
        const int kind = round % 4;
        float c = 3.0f + 40.0f * std::fabs(u(rng));
        for (int i = 0; i < n; ++i) {
            if (kind == 1) c += 0.013f;
            if (kind == 2) c = 3.0f + 60.0f * std::fabs(u(rng));
            const float back = float(n - 1 - i);
            delays[std::size_t(i)] = (kind == 3 ? std::floor(c) : c) + back;
        }
        for (int i = 0; i < n; ++i)
            single[std::size_t(i)] = d.readInterpolated(delays[std::size_t(i)]);
        for (corvid::Isa path : paths) {
            const int chunk = 1 + int(rng() % 40);
            for (int done = 0; done < n; done += chunk)
                d.readBlockUsing(path, delays.data() + done, batched.data() + done,
                                 std::min(chunk, n - done));
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(std::memcmp(&single[std::size_t(i)], &batched[std::size_t(i)], 4), 0)
                    << "path " << int(path) << " round " << round << " frame " << i;
        }
    }
}

TEST(Delayline, PairedReadsMatchSingleReadsOfEachLine) {
    // Two lines of different sizes and histories, each with its own delays: a read
    // that took the other line's ring, positions or output would differ.
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Delayline a, b;
    a.resize(600);
    b.resize(1500);
    std::vector<float> block(512), delaysA(512), delaysB(512), singleA(512), singleB(512),
        pairA(512), pairB(512);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + int(rng() % 512);
        for (Delayline* d : {&a, &b}) {
            for (int i = 0; i < n; ++i) block[std::size_t(i)] = u(rng);
            d->feed(block.data(), n);
        }
        float ca = 3.0f + 40.0f * std::fabs(u(rng)), cb = 3.0f + 80.0f * std::fabs(u(rng));
        for (int i = 0; i < n; ++i) {
            if (round % 2) ca += 0.017f; // one gliding, the other steady
            const float back = float(n - 1 - i);
            delaysA[std::size_t(i)] = ca + back;
            delaysB[std::size_t(i)] = std::floor(cb) + back;
            singleA[std::size_t(i)] = a.readInterpolated(delaysA[std::size_t(i)]);
            singleB[std::size_t(i)] = b.readInterpolated(delaysB[std::size_t(i)]);
        }
        for (corvid::Isa path : corvid::supportedIsas()) {
            Delayline::readBlockPairUsing(path, a, delaysA.data(), pairA.data(), b, delaysB.data(),
                                          pairB.data(), n);
            ASSERT_EQ(std::memcmp(singleA.data(), pairA.data(), sizeof(float) * std::size_t(n)), 0)
                << "path " << int(path) << " round " << round;
            ASSERT_EQ(std::memcmp(singleB.data(), pairB.data(), sizeof(float) * std::size_t(n)), 0)
                << "path " << int(path) << " round " << round;
        }
    }
}
