#pragma once
// Checks of a bundle through the test host that both the Linux tests and the
// Windows run of vst3host make. Each returns what went wrong, empty when nothing.

#include "tests/vst3/render.h"

#include <string>
#include <utility>
#include <vector>

namespace vst3host {

using Failures = std::vector<std::string>;
// NAME=TEXT assignments, applied in order through the parameters' own text.
using Settings = std::vector<std::pair<std::string, std::string>>;

void apply(Plugin& plugin, const Settings& settings);

// The length of the state chunk at the start of a component state (its header and
// values, without what follows them); 0 when the header cannot be read.
std::size_t chunkLength(const std::vector<std::uint8_t>& state);

// getState of an instance with settings, setState into a fresh one: the same state
// back and the same output.
Failures checkStateRoundTrip(Module& module, const Audio& input, std::int32_t block,
                             const Settings& settings);

// Truncated and corrupt states are refused and leave every value as it was.
Failures checkDamagedStates(Module& module, const Settings& settings);

// Every parameter: its info, and value to text and back.
Failures checkParameterTexts(Module& module);

// Changes inside blocks give what the same changes give at offset 0 of blocks cut
// at their frames.
Failures checkAutomation(Module& module, const Audio& input, std::int32_t block);

// The index of the first sample that differs, or -1 when the two are bit for bit
// equal (a length mismatch differs at the shorter length).
std::int64_t firstDifference(const Audio& a, const Audio& b);

} // namespace vst3host
