#pragma once
// A multi-channel LED bar meter. Levels may be fed from any thread, the audio
// thread included: the lock guards only the copy of the values, and the redraw is
// requested through a flag the editor's animation takes.

#include "corvid/core/sync.h"
#include "corvid/gui/element.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace corvid {

class UIBargraph : public UIElement {
public:
    static constexpr std::uint16_t kLedDepth = 16000;
    static constexpr RGBA kLedMaterial{0, 128, 255, 255};

    // One LED row per colour, top to bottom. Negative channel counts count as 0.
    UIBargraph(UIContext& context, std::int32_t channels, std::vector<RGBA> ledColours);

    // Any thread. Reads min(values.size(), channels) values; the other channels
    // keep their level.
    void setLevels(std::span<const float> values);
    // Any thread; 0 for a channel that does not exist.
    float readLevel(std::int32_t channel);

    void animateSelf(double dt, double time) override;
    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;

    std::int32_t channelCount() const { return channels; }
    std::int32_t ledCount() const { return static_cast<std::int32_t>(ledColours.size()); }

    // How lit LED row i of n is at level u (0 dark, 1 fully lit).
    static float ledAmount(std::int32_t i, std::int32_t n, float u);
    // The level a value shows on a meter from minValue to maxValue.
    static float levelFor(float value, float minValue, float maxValue);

    const std::vector<RGBA> ledColours;

private:
    ReentrantLock lock;
    const std::int32_t channels;
    std::vector<float> levels;
    // The levels as the painter last copied them; sized once, so a paint never
    // allocates.
    std::vector<float> paintedLevels;

public:
    float minValue = 0.0f;
    float maxValue = 1.0f;
    std::atomic<bool> levelsChanged{true};
};

} // namespace corvid
