// spatium state: a saved state decoded, or handed to the plug-in to restore.

#include "tools/spatium/commands.h"

#include "tools/spatium/chunk.h"
#include "tools/spatium/json.h"

#include <cstdio>
#include <iostream>

namespace spatium::host {

namespace {

const char* const kStateHelp = R"(usage: spatium state show [--json] FILE
       spatium state check FILE

show   decodes a saved state chunk (or an exported preset blob): header fields
       and every stored value with its parameter's name and text.
check  hands the chunk to the plug-in as a host restoring a session would; a
       chunk the plug-in refuses is reported with the plug-in's reason and a
       non-zero exit status.
)";

} // namespace

int runState(const CommandLine& cl) {
    std::string action;
    std::string file;
    bool json = false;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        const std::string& a = cl.args[i];
        if (isHelp(a)) {
            std::cout << kStateHelp;
            return kExitOk;
        } else if (a == "--json") {
            json = true;
        } else if (action.empty()) {
            if (a != "show" && a != "check")
                throw UsageError("state wants \"show\" or \"check\", not " + inQuotes(a));
            action = a;
        } else if (file.empty()) {
            file = a;
        } else {
            throw UsageError("unexpected argument " + a);
        }
    }
    if (action.empty()) throw UsageError("state wants \"show FILE\" or \"check FILE\"");
    if (file.empty()) throw UsageError("state " + action + " needs a FILE");
    if (json && action == "check") throw UsageError("state check has no --json output");

    const std::vector<std::uint8_t> bytes = chunkFromFile(readFile(file));
    const auto plugin = loadPlugin(cl.pluginPath);
    const auto presetCount = static_cast<std::int32_t>(plugin->presets().size());
    const DecodedChunk d = decodeStateChunk(bytes, presetCount);
    Instance instance(*plugin, componentForInputs(plugin->effect(), 1), 48000.0);

    if (action == "check") {
        const AAX_Result result = instance.setStateChunk(bytes);
        if (result == AAX_SUCCESS) {
            std::cout << file << ": the plug-in restores this state (" << bytes.size() << " bytes, "
                      << d.values.size() << " values)\n";
            return kExitOk;
        }
        std::cerr << file << ": " << (d.error.empty() ? "the plug-in refuses this state" : d.error)
                  << " (error " << result << ")\n";
        return kExitFailure;
    }

    const std::int32_t count = instance.parameterCount();
    auto nameOf = [&](std::size_t i) {
        return static_cast<std::int32_t>(i) < count
                   ? instance.parameterName(instance.parameterID(static_cast<std::int32_t>(i)))
                   : std::string();
    };
    auto textOf = [&](std::size_t i) {
        return static_cast<std::int32_t>(i) < count
                   ? instance.textForValue(instance.parameterID(static_cast<std::int32_t>(i)),
                                           static_cast<double>(d.values[i]))
                   : std::string();
    };
    if (json) {
        JsonWriter j(std::cout);
        j.beginObject();
        j.field("file", file);
        j.field("length", static_cast<std::int64_t>(bytes.size()));
        j.field("magic", hexText(d.magic));
        if (d.stage >= 2) j.field("formatVersion", d.formatVersion);
        if (d.stage >= 3) {
            j.field("reserved", d.reserved);
            j.field("pluginVersion", versionText(d.pluginVersion));
        }
        if (d.stage >= 4) j.field("presetIndex", d.presetIndex);
        if (d.stage >= 5) j.field("valueCount", d.valueCount);
        j.key("values").beginArray();
        for (std::size_t i = 0; i < d.values.size(); ++i) {
            j.beginObject();
            j.field("index", static_cast<std::int64_t>(i));
            j.field("name", nameOf(i));
            j.field("value", static_cast<double>(d.values[i]));
            j.field("text", textOf(i));
            j.endObject();
        }
        j.endArray();
        if (d.stage == 6) j.field("trailingBytes", static_cast<std::int64_t>(d.trailingBytes));
        j.field("restores", d.error.empty());
        if (!d.error.empty()) j.field("error", d.error);
        j.endObject();
    } else {
        std::printf("file:            %s (%zu bytes)\n", file.c_str(), bytes.size());
        std::printf("magic:           %s\n", hexText(d.magic).c_str());
        if (d.stage >= 2) std::printf("format version:  %d\n", d.formatVersion);
        if (d.stage >= 3)
            std::printf("plug-in version: %s\n", versionText(d.pluginVersion).c_str());
        if (d.stage >= 4) std::printf("current preset:  %d\n", d.presetIndex);
        if (d.stage >= 5) std::printf("values:          %d\n", d.valueCount);
        for (std::size_t i = 0; i < d.values.size(); ++i)
            std::printf("  %3zu %-16s %.9g  %s\n", i, nameOf(i).c_str(),
                        static_cast<double>(d.values[i]), textOf(i).c_str());
        if (d.stage == 6 && d.trailingBytes > 0)
            std::printf("ignored trailing bytes: %zu\n", d.trailingBytes);
    }
    if (!d.error.empty()) {
        std::cerr << file << ": " << d.error << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace spatium::host
