// Plays a long session against the plug-in library: both components side by side,
// every parameter automated at random, host blocks of random length, silence gaps
// and bursts of NaN and infinity in the input. It fails when the output of finite
// input stops being finite or bounded, when the time per block grows over the
// session, or when the heap grows.

#include "tools/aaxhost/host.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace spatium::host;

namespace {

constexpr double kRate = 48000.0;
constexpr std::int32_t kMaxBlock = 1024;
// Loudest output finite input can give: +18 dB output, +6 dB distance boost, width
// and the pan law together stay far below this.
constexpr float kOutputBound = 64.0f;
// After a non-finite burst the delay lines and filters need this long to flush.
constexpr std::int64_t kRecoveryFrames = 9600;
// A window of the session over which the time per block is summarised.
constexpr double kWindowSeconds = 10.0;

std::size_t heapInUse() {
#if defined(__GLIBC__)
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

struct Options {
    double seconds = 3600.0;
    std::uint32_t seed = 1;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            o.seconds = std::atof(argv[++i]);
        } else if (a == "--seed" && i + 1 < argc) {
            o.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: soak [--seconds S] [--seed N]\n");
            return false;
        }
    }
    return o.seconds > 0.0;
}

// The input of one component: tones and noise, gaps of digital silence and, now
// and then, a few frames of NaN or infinity.
class SourceSignal {
public:
    explicit SourceSignal(std::uint32_t seed) : rng_(seed) {}

    // Fills frames samples per channel; returns whether any was not finite.
    bool fill(std::vector<std::vector<float>>& channels, std::int32_t frames) {
        bool nonFinite = false;
        for (std::int32_t i = 0; i < frames; ++i) {
            if (--segmentLeft_ <= 0) nextSegment();
            for (std::size_t c = 0; c < channels.size(); ++c) {
                float v = 0.0f;
                switch (mode_) {
                case Mode::tone:
                    v = 0.5f * static_cast<float>(std::sin(phase_ * (1.0 + 0.01 * c)));
                    break;
                case Mode::noise:
                    v = noise_(rng_);
                    break;
                case Mode::silence:
                    v = 0.0f;
                    break;
                case Mode::nonFinite:
                    v = (i & 1) ? std::numeric_limits<float>::quiet_NaN()
                                : std::numeric_limits<float>::infinity();
                    nonFinite = true;
                    break;
                }
                channels[c][static_cast<std::size_t>(i)] = v;
            }
            phase_ += 0.05;
        }
        return nonFinite;
    }

private:
    enum class Mode { tone, noise, silence, nonFinite };
    void nextSegment() {
        const int pick = std::uniform_int_distribution<int>(0, 99)(rng_);
        if (pick < 45) {
            mode_ = Mode::tone;
            segmentLeft_ = std::uniform_int_distribution<std::int64_t>(4800, 96000)(rng_);
        } else if (pick < 85) {
            mode_ = Mode::noise;
            segmentLeft_ = std::uniform_int_distribution<std::int64_t>(4800, 96000)(rng_);
        } else if (pick < 98) {
            // Longer than the silence gate's hold, so the gate closes too.
            mode_ = Mode::silence;
            segmentLeft_ = std::uniform_int_distribution<std::int64_t>(1000, 20000)(rng_);
        } else {
            mode_ = Mode::nonFinite;
            segmentLeft_ = std::uniform_int_distribution<std::int64_t>(1, 64)(rng_);
        }
    }

    std::mt19937 rng_;
    std::uniform_real_distribution<float> noise_{-0.5f, 0.5f};
    Mode mode_ = Mode::tone;
    std::int64_t segmentLeft_ = 0;
    double phase_ = 0.0;
};

struct Lane {
    Lane(Plugin& plugin, std::int32_t inputs, std::uint32_t seed)
        : instance(plugin, componentForInputs(plugin.effect(), inputs), kRate), source(seed),
          in(static_cast<std::size_t>(inputs), std::vector<float>(kMaxBlock)),
          out(2, std::vector<float>(kMaxBlock)) {}
    Instance instance;
    SourceSignal source;
    std::vector<std::vector<float>> in, out;
    std::int64_t framesSinceNonFinite = std::numeric_limits<std::int64_t>::max() / 2;
};

// The time per block over one stretch of the session. The session's random process
// is the same in every window, so the median cost per frame moves only if the code
// slows down. Storage is reserved up front: the soak itself must not grow the heap
// it watches.
class CostWindows {
public:
    CostWindows(std::int64_t totalFrames, std::int64_t windowFrames) : windowFrames_(windowFrames) {
        medians_.reserve(static_cast<std::size_t>(totalFrames / windowFrames + 2));
        costs_.reserve(65536);
    }

    void add(double ns, std::int32_t frames) {
        totalNs_ += ns;
        if (frames >= 256 && costs_.size() < costs_.capacity()) costs_.push_back(ns / frames);
    }
    // Called after every host block; true when a window was closed.
    bool advance(std::int64_t position) {
        if (position < (static_cast<std::int64_t>(medians_.size()) + 1) * windowFrames_)
            return false;
        close();
        return true;
    }
    void finish() {
        if (costs_.size() > 16) close();
    }
    std::size_t count() const { return medians_.size(); }
    // The first window warms caches and the allocator; it is left out.
    double first() const { return medians_.size() > 1 ? medians_[1] : nan(); }
    double last() const { return medians_.empty() ? nan() : medians_.back(); }
    double totalNs() const { return totalNs_; }

private:
    static double nan() { return std::numeric_limits<double>::quiet_NaN(); }
    void close() {
        if (costs_.empty()) {
            medians_.push_back(nan());
            return;
        }
        auto middle = costs_.begin() + static_cast<std::ptrdiff_t>(costs_.size() / 2);
        std::nth_element(costs_.begin(), middle, costs_.end());
        medians_.push_back(*middle);
        costs_.clear();
    }

    std::int64_t windowFrames_;
    std::vector<double> medians_;
    std::vector<double> costs_;
    double totalNs_ = 0.0;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) return 2;
    try {
        Plugin plugin(SPATIUM_PLUGIN_PATH);
        std::vector<std::unique_ptr<Lane>> lanes;
        lanes.push_back(std::make_unique<Lane>(plugin, 1, options.seed * 2 + 1));
        lanes.push_back(std::make_unique<Lane>(plugin, 2, options.seed * 2 + 2));
        std::mt19937 rng(options.seed);
        const std::int32_t parameterCount = lanes[0]->instance.parameterCount();

        const auto totalFrames = static_cast<std::int64_t>(options.seconds * kRate);
        const auto windowFrames = static_cast<std::int64_t>(kWindowSeconds * kRate);
        CostWindows windows(totalFrames, windowFrames);
        std::size_t heapAfterWarmUp = 0;
        std::size_t heapPeak = 0;
        float loudest = 0.0f;
        std::int64_t position = 0;
        std::int64_t blocks = 0;
        while (position < totalFrames) {
            const auto frames = static_cast<std::int32_t>(std::min<std::int64_t>(
                std::uniform_int_distribution<std::int32_t>(1, kMaxBlock)(rng),
                totalFrames - position));
            // Automation between blocks, as a host sends it: a few parameters at a time.
            for (auto& lanePointer : lanes) {
                Lane& lane = *lanePointer;
                const int changes = std::uniform_int_distribution<int>(0, 3)(rng);
                for (int c = 0; c < changes; ++c) {
                    const std::int32_t p =
                        std::uniform_int_distribution<std::int32_t>(0, parameterCount - 1)(rng);
                    lane.instance.setNormalizedValue(
                        lane.instance.parameterID(p),
                        std::uniform_real_distribution<double>(0.0, 1.0)(rng));
                }
            }
            for (auto& lanePointer : lanes) {
                Lane& lane = *lanePointer;
                if (lane.source.fill(lane.in, frames)) lane.framesSinceNonFinite = 0;
                const float* inputs[2] = {lane.in[0].data(), lane.in.back().data()};
                float* outputs[2] = {lane.out[0].data(), lane.out[1].data()};
                const auto start = std::chrono::steady_clock::now();
                lane.instance.render(inputs, outputs, frames);
                const double ns = std::chrono::duration<double, std::nano>(
                                      std::chrono::steady_clock::now() - start)
                                      .count();
                windows.add(ns, frames);

                lane.framesSinceNonFinite += frames;
                const bool mustBeFinite = lane.framesSinceNonFinite > kRecoveryFrames;
                for (const auto& ch : lane.out) {
                    for (std::int32_t i = 0; i < frames; ++i) {
                        const float v = ch[static_cast<std::size_t>(i)];
                        if (!mustBeFinite) continue;
                        if (!std::isfinite(v) || std::fabs(v) > kOutputBound) {
                            std::fprintf(stderr, "soak: output %g at %.3f s from finite input\n",
                                         static_cast<double>(v),
                                         static_cast<double>(position + i) / kRate);
                            return 1;
                        }
                        loudest = std::max(loudest, std::fabs(v));
                    }
                }
            }
            position += frames;
            ++blocks;
            if (windows.advance(position) && windows.count() == 2) heapAfterWarmUp = heapInUse();
            heapPeak = std::max(heapPeak, heapInUse());
        }
        const std::size_t heapAtEnd = heapInUse();

        windows.finish();
        const double firstMedian = windows.first();
        const double lastMedian = windows.last();
        const double totalNs = windows.totalNs();
        std::printf("soak: %.0f s of audio in %lld blocks per component, %.2f ns per frame "
                    "per component on average\n",
                    static_cast<double>(position) / kRate, static_cast<long long>(blocks),
                    totalNs / static_cast<double>(position) / 2.0);
        std::printf("soak: median block of the first window %.2f ns per frame, of the last "
                    "%.2f\n",
                    firstMedian, lastMedian);
        std::printf("soak: heap in use after warm-up %zu bytes, peak %zu, at the end %zu; "
                    "loudest output %.3f\n",
                    heapAfterWarmUp, heapPeak, heapAtEnd, static_cast<double>(loudest));
        // Twice the typical cost over the session is growth, not the machine's noise.
        if (std::isfinite(firstMedian) && std::isfinite(lastMedian) &&
            lastMedian > 2.0 * firstMedian + 2.0) {
            std::fprintf(stderr, "soak: time per block grew from %.2f to %.2f ns per frame\n",
                         firstMedian, lastMedian);
            return 1;
        }
        if (heapAfterWarmUp != 0 && heapAtEnd > heapAfterWarmUp + 4096) {
            std::fprintf(stderr, "soak: the heap grew by %zu bytes\n", heapAtEnd - heapAfterWarmUp);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soak: %s\n", e.what());
        return 1;
    }
    std::printf("soak: passed\n");
    return 0;
}
