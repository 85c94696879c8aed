#pragma once
// What the audio thread hands the editor. The editor object implements this next to
// IGraphics; the chain calls it only while holding the client's editor token, and the
// calls must return at once (the views copy under a try-lock or drop the data).

#include <cstdint>

namespace spatium {

class IEditorFeed {
public:
    virtual ~IEditorFeed() = default;

    // Where the source sits: the chain's pan (-1..1), distance (-24..6) and tilt
    // amounts, a level that is always 1, and the sample rate of the audio path.
    virtual void feedPanorama(float panAmount, float distanceAmount, float tiltAmount, float level,
                              float sampleRate) = 0;

    // The two rendered output channels of one sub-block; valid only during the call.
    virtual void feedPhaseDisplay(const float* left, const float* right, std::int32_t frames,
                                  float sampleRate) = 0;
};

} // namespace spatium
