#pragma once
// What the LV2 adapter needs to know of a product beyond its client: the URIs it
// publishes under, its plug-in variants (one per channel layout) and which
// parameters hosts should keep off their generic controls.

#include "corvid/client/client.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvid::lv2 {

using ClientFactory = std::unique_ptr<Client> (*)();

struct Variant {
    std::string suffix; // appended to the base URI: "<base>/<suffix>"
    std::string name;   // shown by hosts after the plug-in name
    ChannelLayout layout;
};

struct BundleDescription {
    ClientFactory create = nullptr;
    // Stable: hosts store it in sessions. Every URI of the bundle lives below it.
    std::string baseUri;
    // File name of the shared library inside the bundle.
    std::string binary;
    std::vector<Variant> variants;
    // True for parameters hosts should hide (they stay automatable and saved).
    bool (*hidden)(const Parameter& parameter) = nullptr;
    // Publish the editor as an X11 UI (only for plug-ins that have an editor).
    bool offerUi = false;

    std::string pluginUri(const Variant& v) const { return baseUri + "/" + v.suffix; }
    std::string uiUri() const { return baseUri + "/ui"; }
    std::string stateKeyUri() const { return baseUri + "#state"; }
    std::string presetUri(std::int32_t index) const {
        return baseUri + "/preset/" + std::to_string(index);
    }
};

// Port numbering, the same in the description and in the plug-in: one control input
// per parameter (port index = parameter index), then the audio inputs, the audio
// outputs and the latency output.
struct PortLayout {
    std::uint32_t controls = 0;
    std::uint32_t inputs = 0;
    std::uint32_t outputs = 0;

    PortLayout(const Client& client, const ChannelLayout& layout)
        : controls(static_cast<std::uint32_t>(client.parameterCount())),
          inputs(static_cast<std::uint32_t>(layout.numInputs)),
          outputs(static_cast<std::uint32_t>(layout.numOutputs)) {}
    std::uint32_t firstInput() const { return controls; }
    std::uint32_t firstOutput() const { return controls + inputs; }
    std::uint32_t latencyPort() const { return controls + inputs + outputs; }
    std::uint32_t count() const { return latencyPort() + 1; }
};

} // namespace corvid::lv2
