#include "tools/spatium/demo.h"

#include <cmath>

namespace spatium::host {

namespace {

constexpr double kPi = 3.14159265358979323846;

double smoothstep(double x) {
    if (x <= 0.0) return 0.0;
    if (x >= 1.0) return 1.0;
    return x * x * (3.0 - 2.0 * x);
}

} // namespace

std::vector<float> demoSource(std::int32_t sampleRate, double seconds) {
    const auto frames = static_cast<std::size_t>(std::lround(seconds * sampleRate));
    std::vector<float> out(frames, 0.0f);
    // A minor-pentatonic figure, one note every 250 ms; a fixed noise generator
    // keeps the demo identical from run to run.
    const double notes[] = {220.0, 261.63, 293.66, 329.63, 392.0, 440.0, 392.0, 329.63};
    const double noteLength = 0.25;
    std::uint32_t noise = 0x12345678u;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const auto note = static_cast<std::size_t>(t / noteLength);
        const double local = t - static_cast<double>(note) * noteLength;
        const double f = notes[note % 8];
        const double env = std::exp(-local * 9.0);
        double s =
            0.45 * env * (std::sin(2.0 * kPi * f * local) + 0.3 * std::sin(4.0 * kPi * f * local));
        noise = noise * 1664525u + 1013904223u;
        const double white = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
        s += 0.08 * std::exp(-local * 40.0) * white;
        out[i] = static_cast<float>(s);
    }
    return out;
}

DemoPosition demoPosition(double t, double seconds) {
    // Left to right over the first 60 %, then away into the distance while
    // drifting back toward the centre.
    DemoPosition p;
    const double across = smoothstep(t / (0.6 * seconds));
    const double away = smoothstep((t - 0.55 * seconds) / (0.4 * seconds));
    p.panDegrees = -80.0 + 160.0 * across - 50.0 * away;
    p.distance = -14.0 * away;
    return p;
}

} // namespace spatium::host
