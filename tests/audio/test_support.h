#pragma once
// Shared pieces of the audio-path tests: a client whose editor is a recording double,
// parameter setters in plain units and signal helpers.

#include "corvid/client/graphics.h"
#include "spatium/editorfeed.h"
#include "spatium/params.h"
#include "spatium/spatium.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace spatium::testing {

// Stands in for the editor: remembers what the audio thread handed it. Storage is
// reserved up front so feeding it never allocates.
class RecordingEditor : public corvid::IGraphics, public IEditorFeed {
public:
    struct Placement {
        float pan, distance, tilt, level, sampleRate;
    };

    explicit RecordingEditor(std::size_t capacity = 1 << 16) {
        placements.reserve(capacity);
        left.reserve(capacity * 8);
        right.reserve(capacity * 8);
    }

    void* openEditor(void*, void*, corvid::DawKind, std::int32_t) override { return nullptr; }
    void closeEditor() override {}
    void editorSize(std::int32_t* w, std::int32_t* h) override { *w = 763, *h = 494; }

    void feedPanorama(float panAmount, float distanceAmount, float tiltAmount, float level,
                      float sampleRate) override {
        ++panoramaCalls;
        if (placements.size() < placements.capacity())
            placements.push_back({panAmount, distanceAmount, tiltAmount, level, sampleRate});
    }

    void feedPhaseDisplay(const float* l, const float* r, std::int32_t frames,
                          float sampleRate) override {
        ++phaseCalls;
        phaseRate = sampleRate;
        if (left.size() + std::size_t(frames) <= left.capacity()) {
            left.insert(left.end(), l, l + frames);
            right.insert(right.end(), r, r + frames);
        }
    }

    std::int64_t panoramaCalls = 0;
    std::int64_t phaseCalls = 0;
    float phaseRate = 0.0f;
    std::vector<Placement> placements;
    std::vector<float> left, right;
};

class FeedClient : public SpatiumClient {
public:
    std::unique_ptr<corvid::IGraphics> createEditor() override {
        return std::make_unique<RecordingEditor>();
    }
    RecordingEditor* recorder() { return static_cast<RecordingEditor*>(ensureEditor()); }
};

inline void setPlain(SpatiumClient& c, std::int32_t index, double plain) {
    corvid::FloatParameter* p = c.floatParameter(index);
    p->applyFromHost(p->toNormalized(plain));
}

inline void setTestMono(SpatiumClient& c, bool on) {
    c.boolParameter(kTestMono)->applyFromHost(on ? 1.0 : 0.0);
}

inline bool sameBits(float a, float b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::vector<float> noise(std::size_t n, unsigned seed, float amplitude = 0.5f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-amplitude, amplitude);
    std::vector<float> v(n);
    for (float& x : v) x = u(rng);
    return v;
}

// Smooth enough that a fraction of a frame of delay error stays tiny.
inline std::vector<float> tones(std::size_t n, float rate, float phase = 0.0f) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        v[i] = float(0.3 * std::sin(2 * std::numbers::pi * 220.0 * t + phase) +
                     0.2 * std::sin(2 * std::numbers::pi * 1370.0 * t + 2 * phase));
    }
    return v;
}

} // namespace spatium::testing
