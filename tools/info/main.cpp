// Prints the plug-in's identity, parameter table and factory presets, as a host
// would see them.

#include "spatium/spatium.h"

#include <cstdio>

int main() {
    auto client = corvid::createClient<spatium::SpatiumClient>();
    const corvid::PluginDescription& info = client->info();
    std::printf("%s %d.%d.%d by %s (%s/%s)\n", info.pluginName.c_str(), info.versionMajor,
                info.versionMinor, info.versionPatch, info.vendorName.c_str(),
                info.vendorCode.c_str(), info.pluginCode.c_str());
    std::printf("latency %d samples, tail %.2f s, sub-blocks of at most %d frames\n\n",
                client->latencyInSamples(48000.0), static_cast<double>(client->tailLengthSeconds()),
                client->maxSubBlock());

    std::printf("%-3s %-16s %-6s %-10s %-12s %s\n", "#", "name", "label", "default", "normalised",
                "kind");
    for (std::int32_t i = 0; i < client->parameterCount(); ++i) {
        corvid::Parameter* p = client->parameter(i);
        char text[64];
        p->formatValue(text, sizeof text);
        std::printf("%-3d %-16.*s %-6.*s %-10s %-12.6f %s\n", i, static_cast<int>(p->name().size()),
                    p->name().data(), static_cast<int>(p->label().size()), p->label().data(), text,
                    p->normalizedDefault(), p->isDiscrete() ? "discrete" : "continuous");
    }

    std::printf("\nfactory presets:\n");
    const auto& presets = client->presetBank().presets();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        std::printf("%2zu \"%s\"", i, presets[i]->name.c_str());
        const auto& values = presets[i]->normalizedValues;
        auto defaults = client->defaultPreset();
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (values[j] != defaults->normalizedValues[j]) {
                char text[64];
                client->parameter(static_cast<std::int32_t>(j))
                    ->textForNormalized(values[j], text, sizeof text);
                std::printf("  %.*s=%s",
                            static_cast<int>(
                                client->parameter(static_cast<std::int32_t>(j))->name().size()),
                            client->parameter(static_cast<std::int32_t>(j))->name().data(), text);
            }
        }
        std::printf("\n");
    }
    return 0;
}
