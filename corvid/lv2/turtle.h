#pragma once
// The bundle's Turtle files, written from what the client declares so they cannot
// drift from the code: manifest.ttl, the plug-ins' description and the presets.

#include "corvid/lv2/bundle.h"

#include <string>

namespace corvid::lv2 {

inline constexpr const char* kPluginsFile = "plugins.ttl";
inline constexpr const char* kPresetsFile = "presets.ttl";

// Port symbol of a parameter: its name in lower case, other characters as single
// underscores ("M-to-S Amount." gives "m_to_s_amount"). Stored in sessions: stable.
std::string portSymbol(const Parameter& parameter);

std::string manifestTurtle(const BundleDescription& bundle, Client& client);
std::string pluginsTurtle(const BundleDescription& bundle, Client& client);
std::string presetsTurtle(const BundleDescription& bundle, Client& client);

} // namespace corvid::lv2
