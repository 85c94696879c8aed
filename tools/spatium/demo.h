#pragma once
// The built-in demonstration: a few seconds of a mono source that moves across
// the stereo field and then away from the listener.

#include <cstdint>
#include <vector>

namespace spatium::host {

inline constexpr std::int32_t kDemoSampleRate = 48000;
inline constexpr double kDemoSeconds = 6.0;

// The dry source: a steady pattern of plucked tones over soft noise bursts.
std::vector<float> demoSource(std::int32_t sampleRate, double seconds);

// Where the source is at time t: pan in degrees and distance in the plug-in's
// units (0 near, negative further away).
struct DemoPosition {
    double panDegrees = 0.0;
    double distance = 0.0;
};
DemoPosition demoPosition(double t, double seconds);

} // namespace spatium::host
