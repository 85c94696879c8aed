// The interleaved cascade must give exactly what running each filter over the whole
// block in turn gives, for every kind of input the chain can meet.

#include "corvid/core/fpcontrol.h"
#include "corvid/core/isa.h"
#include "corvid/dsp/iir.h"
#include "vireo/dsp/interpbiquad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using corvid::BiquadCoeffs;
using vireo::InterpolatedBiquad;

namespace {

bool sameBits(float a, float b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameBits(double a, double b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Rig {
    std::mt19937 rng;
    float rate;

    BiquadCoeffs randomTarget() {
        std::uniform_int_distribution<int> kind(0, 4);
        std::uniform_real_distribution<float> u(0.0f, 1.0f);
        switch (kind(rng)) {
        case 0:
            return BiquadCoeffs::identity();
        case 1:
            return corvid::lowShelf(u(rng) * 6.0f, 1570.7963267948965, 1.4142135623730951, rate);
        case 2:
            return corvid::highShelf(-12.0f + 15.0f * u(rng), 25333.803158548093, 1.04, rate);
        case 3: {
            const float p = u(rng) * 0.9f;
            return BiquadCoeffs{1.0f - p, 0.0f, 0.0f, -p, 0.0f};
        }
        default: {
            const float w = u(rng) * 0.5f;
            return BiquadCoeffs{1.0f - w, 0.0f, 0.0f, w, 0.0f};
        }
        }
    }

    void fillInput(std::vector<float>& x, int n) {
        std::uniform_int_distribution<int> kind(0, 9);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        const int k = kind(rng);
        for (int i = 0; i < n; ++i) {
            float v = u(rng);
            if (k == 0) v = 0.0f;                        // silence
            if (k == 1) v = (i % 3 == 0) ? -0.0f : 0.0f; // signed zeros
            if (k == 2) v *= 1e-41f;                     // denormals
            if (k == 3 && i == n / 2) v = std::numeric_limits<float>::quiet_NaN();
            if (k == 4 && i == n / 3) v = -std::numeric_limits<float>::infinity();
            if (k == 5) v *= 1e-30f; // tails that flush in double
            x[static_cast<std::size_t>(i)] = v;
        }
    }
};

void expectSameFilter(const InterpolatedBiquad& a, const InterpolatedBiquad& b) {
    EXPECT_EQ(std::memcmp(&a.current, &b.current, sizeof a.current), 0);
    EXPECT_TRUE(sameBits(a.biquad.memory.x1, b.biquad.memory.x1));
    EXPECT_TRUE(sameBits(a.biquad.memory.x2, b.biquad.memory.x2));
    EXPECT_TRUE(sameBits(a.biquad.memory.y1, b.biquad.memory.y1));
    EXPECT_TRUE(sameBits(a.biquad.memory.y2, b.biquad.memory.y2));
}

void runCascadeComparison(unsigned seed, float rate, corvid::Isa isa) {
    Rig rig{std::mt19937(seed), rate};
    constexpr int kMax = 512;
    for (int stages = 1; stages <= 3; ++stages) {
        InterpolatedBiquad fastL[3], fastR[3], refL[3], refR[3];
        for (int s = 0; s < 3; ++s) {
            for (InterpolatedBiquad* f : {&fastL[s], &fastR[s], &refL[s], &refR[s]}) f->reset(rate);
        }
        InterpolatedBiquad* fl[3] = {&fastL[0], &fastL[1], &fastL[2]};
        InterpolatedBiquad* fr[3] = {&fastR[0], &fastR[1], &fastR[2]};
        std::vector<float> inL(kMax), inR(kMax), refOutL(kMax), refOutR(kMax), outL(kMax),
            outR(kMax);
        BiquadCoeffs tl[3], tr[3];
        std::uniform_int_distribution<int> frames(1, kMax);
        std::uniform_int_distribution<int> coin(0, 3);
        for (int block = 0; block < 400; ++block) {
            // Targets hold for a while, so the coefficients also reach them exactly.
            if (coin(rig.rng) == 0) {
                for (int s = 0; s < stages; ++s) {
                    tl[s] = rig.randomTarget();
                    tr[s] = coin(rig.rng) == 0 ? rig.randomTarget() : tl[s];
                }
            }
            const int n = coin(rig.rng) == 0 ? 1 + coin(rig.rng) : frames(rig.rng);
            rig.fillInput(inL, n);
            if (coin(rig.rng) == 0)
                inR = inL;
            else
                rig.fillInput(inR, n);

            refL[0].process(tl[0], inL.data(), refOutL.data(), n);
            refR[0].process(tr[0], inR.data(), refOutR.data(), n);
            for (int s = 1; s < stages; ++s) {
                refL[s].process(tl[s], refOutL.data(), refOutL.data(), n);
                refR[s].process(tr[s], refOutR.data(), refOutR.data(), n);
            }

            const bool inPlace = coin(rig.rng) < 2;
            if (inPlace) {
                outL = inL;
                outR = inR;
                vireo::processCascadePair(fl, fr, tl, tr, stages, outL.data(), outR.data(),
                                          outL.data(), outR.data(), n, isa);
            } else {
                vireo::processCascadePair(fl, fr, tl, tr, stages, inL.data(), inR.data(),
                                          outL.data(), outR.data(), n, isa);
            }
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(sameBits(outL[std::size_t(i)], refOutL[std::size_t(i)]))
                    << corvid::isaName(isa) << " stages " << stages << " block " << block
                    << " frame " << i;
                ASSERT_TRUE(sameBits(outR[std::size_t(i)], refOutR[std::size_t(i)]))
                    << corvid::isaName(isa) << " stages " << stages << " block " << block
                    << " frame " << i;
            }
            for (int s = 0; s < stages; ++s) {
                expectSameFilter(fastL[s], refL[s]);
                expectSameFilter(fastR[s], refR[s]);
            }
        }
    }
}

} // namespace

TEST(CascadePair, MatchesFilterByFilterBitForBit) {
    for (corvid::Isa isa : corvid::supportedIsas()) {
        for (unsigned seed = 1; seed <= 6; ++seed)
            runCascadeComparison(seed, seed % 2 ? 48000.0f : 44100.0f, isa);
        // At a very low rate a chunk's glide covers nearly all the way, so filters
        // also reach a target exactly in the middle of a block.
        for (unsigned seed = 7; seed <= 8; ++seed) runCascadeComparison(seed, 200.0f, isa);
    }
}

TEST(CascadePair, MatchesUnderFlushToZero) {
    // The host entry points run with denormals flushed; the shortcut for identity
    // filters must agree with the arithmetic there too.
    corvid::FpEnvironmentGuard guard;
    for (corvid::Isa isa : corvid::supportedIsas())
        for (unsigned seed = 11; seed <= 14; ++seed) runCascadeComparison(seed, 96000.0f, isa);
}

namespace {

// A stage that stays the identity after a working one sees that stage's rounded
// output, which may hold exactly the values the identity must not copy through.
void runIdentityAfterWorkingStages(const char* name, float (*sample)(int i)) {
    const float rate = 48000.0f;
    const BiquadCoeffs identity = BiquadCoeffs::identity();
    // Scales the input down by a thousand: tiny inputs come out as denormals.
    const BiquadCoeffs quiet{0.001f, 0.0f, 0.0f, 0.0f, 0.0f};
    const BiquadCoeffs lowpass{0.25f, 0.0f, 0.0f, -0.75f, 0.0f};
    const BiquadCoeffs layouts[][3] = {{quiet, identity, identity},
                                       {quiet, identity, lowpass},
                                       {identity, quiet, identity},
                                       {lowpass, quiet, identity}};
    for (const auto& targets : layouts) {
        for (int frames : {1, 2, 31, 32, 33, 64, 65, 97, 512}) {
            InterpolatedBiquad fastL[3], fastR[3], refL[3], refR[3];
            for (int s = 0; s < 3; ++s)
                for (InterpolatedBiquad* f : {&fastL[s], &fastR[s], &refL[s], &refR[s]})
                    f->reset(rate);
            InterpolatedBiquad* fl[3] = {&fastL[0], &fastL[1], &fastL[2]};
            InterpolatedBiquad* fr[3] = {&fastR[0], &fastR[1], &fastR[2]};
            const auto n = static_cast<std::size_t>(frames);
            std::vector<float> inL(n), inR(n);
            for (int i = 0; i < frames; ++i) {
                inL[std::size_t(i)] = sample(i);
                inR[std::size_t(i)] = 0.5f - 0.001f * static_cast<float>(i);
            }
            // Two blocks, so memories carried from the first meet the second.
            for (int block = 0; block < 2; ++block) {
                std::vector<float> refOutL = inL, refOutR = inR, outL(inL.size()), outR(inR.size());
                for (int s = 0; s < 3; ++s) {
                    refL[s].process(targets[s], refOutL.data(), refOutL.data(), frames);
                    refR[s].process(targets[s], refOutR.data(), refOutR.data(), frames);
                }
                vireo::processCascadePair(fl, fr, targets, targets, 3, inL.data(), inR.data(),
                                          outL.data(), outR.data(), frames);
                for (int i = 0; i < frames; ++i) {
                    ASSERT_TRUE(sameBits(outL[std::size_t(i)], refOutL[std::size_t(i)]))
                        << name << " frames " << frames << " frame " << i;
                    ASSERT_TRUE(sameBits(outR[std::size_t(i)], refOutR[std::size_t(i)]))
                        << name << " frames " << frames << " frame " << i;
                }
                for (int s = 0; s < 3; ++s) {
                    expectSameFilter(fastL[s], refL[s]);
                    expectSameFilter(fastR[s], refR[s]);
                }
            }
        }
    }
}

void runIdentityAfterWorkingStagesForEverySample() {
    runIdentityAfterWorkingStages(
        "nan", [](int i) { return i % 29 == 3 ? std::numeric_limits<float>::quiet_NaN() : 0.25f; });
    runIdentityAfterWorkingStages(
        "inf", [](int i) { return i % 29 == 3 ? -std::numeric_limits<float>::infinity() : 0.25f; });
    runIdentityAfterWorkingStages("denormal", [](int i) { return i % 2 ? 1e-36f : -3e-37f; });
    runIdentityAfterWorkingStages("negative zero", [](int) { return -0.0f; });
    runIdentityAfterWorkingStages("last frame only", [](int i) {
        return i == 511 || i == 96 || i == 64 || i == 32 || i == 0
                   ? std::numeric_limits<float>::quiet_NaN()
                   : 0.125f;
    });
}

} // namespace

TEST(CascadePair, IdentityStagesBehindWorkingOnesKeepTheArithmetic) {
    runIdentityAfterWorkingStagesForEverySample();
    corvid::FpEnvironmentGuard guard;
    runIdentityAfterWorkingStagesForEverySample();
}

TEST(CascadePair, PassThroughCheckTellsNormalsAndPositiveZeroFromTheRest) {
    // The plain rule: +0 and normal numbers copy through an identity filter unchanged.
    auto plain = [](const std::vector<float>& x) {
        for (float v : x) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            if (bits != 0 && !std::isnormal(v)) return false;
        }
        return true;
    };
    const std::uint32_t patterns[] = {0x00000000u, 0x80000000u, 0x00000001u, 0x007fffffu,
                                      0x80000001u, 0x00800000u, 0x80800000u, 0x7f7fffffu,
                                      0xff7fffffu, 0x7f800000u, 0xff800000u, 0x7fc00000u,
                                      0xffffffffu, 0x7f800001u, 0x3f800000u, 0xbf800000u};
    for (std::uint32_t pattern : patterns) {
        float special;
        std::memcpy(&special, &pattern, sizeof special);
        for (int n = 1; n <= 13; ++n) {
            for (int at = 0; at < n; ++at) {
                std::vector<float> x(static_cast<std::size_t>(n), 0.5f);
                x[static_cast<std::size_t>(at)] = special;
                EXPECT_EQ(vireo::passesThroughExactly(x.data(), n), plain(x))
                    << std::hex << pattern << std::dec << " at " << at << " of " << n;
            }
        }
        // Both channels in the lanes of each set: the odd sample in either channel, in
        // a full vector or in the tail, of blocks shorter and longer than the lanes.
        for (corvid::Isa isa : corvid::supportedIsas()) {
            for (int n : {1, 3, 4, 7, 8, 15, 16, 17, 33, 47}) {
                for (int at = 0; at < n; at += at < 20 ? 1 : 5) {
                    for (int side = 0; side < 2; ++side) {
                        std::vector<float> x[2] = {std::vector<float>(std::size_t(n), -0.25f),
                                                   std::vector<float>(std::size_t(n), 0.0f)};
                        x[side][static_cast<std::size_t>(at)] = special;
                        EXPECT_EQ(vireo::passesThroughExactly(x[0].data(), x[1].data(), n, isa),
                                  plain(x[0]) && plain(x[1]))
                            << corvid::isaName(isa) << " " << std::hex << pattern << std::dec
                            << " at " << at << " of " << n << " side " << side;
                    }
                }
            }
        }
    }
}

namespace {

void runSkewedComparison(unsigned seed, float rate, corvid::Isa isa) {
    Rig rig{std::mt19937(seed), rate};
    constexpr int kMax = 1300; // longer than one pass of the lanes
    for (int stages = 1; stages <= 4; ++stages) {
        InterpolatedBiquad fastL[4], fastR[4], refL[4], refR[4];
        for (int s = 0; s < 4; ++s)
            for (InterpolatedBiquad* f : {&fastL[s], &fastR[s], &refL[s], &refR[s]}) f->reset(rate);
        InterpolatedBiquad* fl[4] = {&fastL[0], &fastL[1], &fastL[2], &fastL[3]};
        InterpolatedBiquad* fr[4] = {&fastR[0], &fastR[1], &fastR[2], &fastR[3]};
        std::vector<float> inL(kMax), inR(kMax), refOutL(kMax), refOutR(kMax), outL(kMax),
            outR(kMax);
        BiquadCoeffs tl[4], tr[4];
        std::uniform_int_distribution<int> frames(1, kMax);
        std::uniform_int_distribution<int> coin(0, 3);
        for (int block = 0; block < 150; ++block) {
            if (coin(rig.rng) == 0) {
                for (int s = 0; s < stages; ++s) {
                    tl[s] = rig.randomTarget();
                    tr[s] = coin(rig.rng) == 0 ? rig.randomTarget() : tl[s];
                }
            }
            // Short blocks end inside the first chunks, where stages start and stop.
            const int n = coin(rig.rng) == 0 ? 1 + coin(rig.rng) * 33 : frames(rig.rng);
            rig.fillInput(inL, n);
            rig.fillInput(inR, n);
            refL[0].process(tl[0], inL.data(), refOutL.data(), n);
            refR[0].process(tr[0], inR.data(), refOutR.data(), n);
            for (int s = 1; s < stages; ++s) {
                refL[s].process(tl[s], refOutL.data(), refOutL.data(), n);
                refR[s].process(tr[s], refOutR.data(), refOutR.data(), n);
            }
            if (coin(rig.rng) < 2) {
                outL = inL;
                outR = inR;
                vireo::processCascadeSkewed(fl, fr, tl, tr, stages, outL.data(), outR.data(),
                                            outL.data(), outR.data(), n, isa);
            } else {
                vireo::processCascadeSkewed(fl, fr, tl, tr, stages, inL.data(), inR.data(),
                                            outL.data(), outR.data(), n, isa);
            }
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(sameBits(outL[std::size_t(i)], refOutL[std::size_t(i)]))
                    << corvid::isaName(isa) << " stages " << stages << " block " << block
                    << " frame " << i << " of " << n;
                ASSERT_TRUE(sameBits(outR[std::size_t(i)], refOutR[std::size_t(i)]))
                    << corvid::isaName(isa) << " stages " << stages << " block " << block
                    << " frame " << i << " of " << n;
            }
            for (int s = 0; s < stages; ++s) {
                expectSameFilter(fastL[s], refL[s]);
                expectSameFilter(fastR[s], refR[s]);
            }
        }
    }
}

} // namespace

TEST(CascadeSkewed, EveryInstructionSetMatchesFilterByFilterBitForBit) {
    for (corvid::Isa isa : corvid::supportedIsas()) {
        for (unsigned seed = 41; seed <= 43; ++seed) runSkewedComparison(seed, 48000.0f, isa);
        corvid::FpEnvironmentGuard guard;
        runSkewedComparison(44, 44100.0f, isa);
    }
}
