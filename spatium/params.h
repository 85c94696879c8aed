#pragma once
// Indexes of the product's parameters. The order is the host-facing identity and
// the layout of every saved state chunk: never reorder, only append.

#include <cstdint>

namespace spatium {

enum ParamIndex : std::int32_t {
    kDistance = 0,
    kStereoWidth = 1,
    kMidToSideAmount = 2,
    kMidToSideDelay = 3,
    kMidToSideLowpass = 4,
    kTilt = 5,
    kPan = 6,
    kHeadSize = 7,
    kSpectralPan = 8,
    kLfoWave = 9,
    kLfoSynced = 10,
    kLfoTempo = 11,
    kLfoPhase = 12,
    kLfoFreq = 13,
    kLfoToPan = 14,
    kLfoToDistance = 15,
    kLfoToGain = 16,
    kLfoToTilt = 17,
    kOutputLevel = 18,
    kDryWet = 19,
    kTestMono = 20,
    kReserved0 = 21,
    kParameterCount = 42,
};

inline constexpr std::int32_t kFactoryPresetCount = 32;

} // namespace spatium
