// Cost of the audio chain per stereo frame: hostProcess at 48 kHz in 512-frame host
// blocks, with every control at its default and with everything acting. The plain
// loop-by-loop chain of the tests runs the same scenes for comparison.

#include "tests/audio/reference_chain.h"

#include "corvid/client/client.h"
#include "corvid/core/fpcontrol.h"
#include "corvid/core/isa.h"
#include "corvid/dsp/delayline.h"
#include "corvid/dsp/iir.h"
#include "spatium/params.h"
#include "spatium/spatium.h"
#include "vireo/dsp/interpbiquad.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

void setPlain(spatium::SpatiumClient& c, int index, double plain) {
    corvid::FloatParameter* p = c.floatParameter(index);
    p->applyFromHost(p->toNormalized(plain));
}

struct Scene {
    bool acting;
    double time = 0.0;

    void start(spatium::SpatiumClient& c) const {
        if (!acting) return;
        setPlain(c, spatium::kStereoWidth, 150.0);
        setPlain(c, spatium::kHeadSize, 100.0);
        setPlain(c, spatium::kSpectralPan, 150.0);
        setPlain(c, spatium::kOutputLevel, -3.0);
        setPlain(c, spatium::kDryWet, 80.0);
    }

    // Pan sweeps across the field every 4 s, distance glides between -12 and +4
    // every 3 s.
    void advance(spatium::SpatiumClient& c) {
        if (!acting) return;
        time += kBlock / kRate;
        setPlain(c, spatium::kPan, 90.0 * std::sin(2.0 * M_PI * time / 4.0));
        setPlain(c, spatium::kDistance, -4.0 + 8.0 * std::sin(2.0 * M_PI * time / 3.0));
    }
};

std::vector<float> noise(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-0.5f, 0.5f);
    std::vector<float> v(kBlock * 64);
    for (float& x : v) x = u(rng);
    return v;
}

void runChain(benchmark::State& state, bool acting) {
    corvid::FpEnvironmentGuard guard; // as at every host entry point
    auto client = corvid::createClient<spatium::SpatiumClient>();
    client->hostReset(kRate, kBlock, 2, 2);
    Scene scene{acting};
    scene.start(*client);
    const auto inL = noise(1), inR = noise(2);
    std::vector<float> outL(kBlock), outR(kBlock);
    std::size_t offset = 0;
    for (auto _ : state) {
        scene.advance(*client);
        float* ins[2] = {const_cast<float*>(inL.data()) + offset,
                         const_cast<float*>(inR.data()) + offset};
        float* outs[2] = {outL.data(), outR.data()};
        client->hostProcess(ins, outs, kBlock, corvid::TransportInfo{});
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        offset = (offset + kBlock) % inL.size();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    // Shown in seconds with an SI prefix: "4.2n" is 4.2 ns per stereo frame.
    state.counters["per_frame"] =
        benchmark::Counter(double(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void runPlainChain(benchmark::State& state, bool acting) {
    corvid::FpEnvironmentGuard guard;
    auto client = corvid::createClient<spatium::SpatiumClient>(); // holds the parameters
    client->hostReset(kRate, kBlock, 2, 2);
    spatium::testing::ReferenceChain chain;
    chain.reset(kRate, kBlock, 2);
    Scene scene{acting};
    scene.start(*client);
    const auto inL = noise(1), inR = noise(2);
    std::vector<float> outL(kBlock), outR(kBlock);
    std::size_t offset = 0;
    for (auto _ : state) {
        scene.advance(*client);
        const float* ins[2] = {inL.data() + offset, inR.data() + offset};
        float* outs[2] = {outL.data(), outR.data()};
        chain.processBlock(ins, outs, kBlock, spatium::testing::readInputs(*client));
        benchmark::DoNotOptimize(outL.data());
        offset = (offset + kBlock) % inL.size();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_ChainDefaults(benchmark::State& s) {
    runChain(s, false);
}
void BM_ChainEverythingActing(benchmark::State& s) {
    runChain(s, true);
}
void BM_PlainChainDefaults(benchmark::State& s) {
    runPlainChain(s, false);
}
void BM_PlainChainEverythingActing(benchmark::State& s) {
    runPlainChain(s, true);
}

} // namespace

BENCHMARK(BM_ChainDefaults);
BENCHMARK(BM_ChainEverythingActing);
BENCHMARK(BM_PlainChainDefaults);
BENCHMARK(BM_PlainChainEverythingActing);

namespace {

// One channel's interpolated reads for a 512-frame sub-block, 32 frames per call as
// the panner does them, on each instruction-set path.
void BM_DelayRead(benchmark::State& state) {
    const auto path = static_cast<corvid::Isa>(state.range(0));
    if (!corvid::isaSupported(path)) return state.SkipWithError("the processor lacks this set");
    corvid::Delayline line;
    line.resize(kBlock + 96);
    const auto in = noise(3);
    line.feed(in.data(), kBlock);
    std::vector<float> out(kBlock);
    float delays[kBlock];
    for (int i = 0; i < kBlock; ++i) delays[i] = 2.9997f + float(kBlock - 1 - i);
    for (auto _ : state) {
        for (int done = 0; done < kBlock; done += 32)
            line.readBlockUsing(path, delays + done, out.data() + done, 32);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

} // namespace

BENCHMARK(BM_DelayRead)->Arg(0)->Arg(1)->Arg(2);

namespace {

// The chain's filter loops alone on a 512-frame stereo sub-block, to weigh a change
// of schedule against them: the interleaved pairs with the far distance's two
// one-pole sections and with the panner's shelf, and the skewed lanes with 1 to 4
// stages on each instruction-set path (arguments: stages, path).
struct FilterBench {
    vireo::InterpolatedBiquad left[4], right[4];
    vireo::InterpolatedBiquad* l[4] = {&left[0], &left[1], &left[2], &left[3]};
    vireo::InterpolatedBiquad* r[4] = {&right[0], &right[1], &right[2], &right[3]};
    corvid::BiquadCoeffs targets[4];
    std::vector<float> inL = noise(5), inR = noise(6), outL = noise(7), outR = noise(8);

    FilterBench() {
        for (int s = 0; s < 4; ++s) {
            left[s].reset(float(kRate));
            right[s].reset(float(kRate));
        }
        const float rate = float(kRate);
        targets[0] = corvid::BiquadCoeffs{0.3f, 0.0f, 0.0f, -0.7f, 0.0f};
        targets[1] = corvid::BiquadCoeffs{0.9f, 0.0f, 0.0f, 0.1f, 0.0f};
        targets[2] = corvid::lowShelf(4.0f, 1570.7963267948965, 1.4142135623730951, rate);
        targets[3] = corvid::highShelf(-6.0f, 25333.803158548093, 1.04, rate);
    }
};

void BM_PairedFilters(benchmark::State& state) {
    FilterBench f;
    const int first = state.range(0) == 1 ? 3 : 0; // one stage: the shelf
    const int stages = int(state.range(0));
    for (auto _ : state) {
        vireo::processCascadePair(f.l + first, f.r + first, f.targets + first, f.targets + first,
                                  stages, f.inL.data(), f.inR.data(), f.outL.data(), f.outR.data(),
                                  kBlock);
        benchmark::DoNotOptimize(f.outL.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_SkewedFilters(benchmark::State& state) {
    const auto path = static_cast<corvid::Isa>(state.range(1));
    if (!corvid::isaSupported(path)) return state.SkipWithError("the processor lacks this set");
    FilterBench f;
    const int stages = int(state.range(0));
    for (auto _ : state) {
        vireo::processCascadeSkewed(f.l, f.r, f.targets, f.targets, stages, f.inL.data(),
                                    f.inR.data(), f.outL.data(), f.outR.data(), kBlock, path);
        benchmark::DoNotOptimize(f.outL.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

} // namespace

BENCHMARK(BM_PairedFilters)->Arg(1)->Arg(2);
BENCHMARK(BM_SkewedFilters)->ArgsProduct({{1, 2, 3, 4}, {0, 1, 2}});
