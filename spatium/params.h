#pragma once
// Indexes of the product's parameters. The order is the host-facing identity and
// the layout of every saved state chunk: never reorder, only append.
//
// Not every parameter acts on the sound. The three M-to-S and nine LFO parameters
// are stored, automated, saved with presets and shown in the editor, but the audio
// path ignores them; Tilt only tints the editor's panorama; the reserved slots
// (not in the editor) only hold their values.

#include <cstdint>

namespace spatium {

enum ParamIndex : std::int32_t {
    kDistance = 0,
    kStereoWidth = 1,
    kMidToSideAmount = 2,  // no effect on the audio
    kMidToSideDelay = 3,   // no effect on the audio
    kMidToSideLowpass = 4, // no effect on the audio
    kTilt = 5,             // tints the editor's panorama only
    kPan = 6,
    kHeadSize = 7,
    kSpectralPan = 8,
    kLfoWave = 9,        // no effect on the audio
    kLfoSynced = 10,     // no effect on the audio
    kLfoTempo = 11,      // no effect on the audio
    kLfoPhase = 12,      // no effect on the audio
    kLfoFreq = 13,       // no effect on the audio
    kLfoToPan = 14,      // no effect on the audio
    kLfoToDistance = 15, // no effect on the audio
    kLfoToGain = 16,     // no effect on the audio
    kLfoToTilt = 17,     // no effect on the audio
    kOutputLevel = 18,
    kDryWet = 19,
    kTestMono = 20,
    kReserved0 = 21, // 21 to 41: reserved, no effect
    kParameterCount = 42,
};

inline constexpr std::int32_t kFactoryPresetCount = 32;

} // namespace spatium
