// spatium state: a saved state decoded, or handed to the plug-in to restore.

#include "tools/spatium/commands.h"

#include "corvid/client/preset.h"
#include "tools/spatium/chunk.h"
#include "tools/spatium/json.h"

#include <cstdio>
#include <iostream>
#include <optional>

namespace spatium::host {

namespace {

using Stage = corvid::ChunkStage;

// A file too short for the magic word shows none of it.
std::uint32_t shownMagic(const corvid::DecodedChunk& d, std::size_t length) {
    return length < 4 ? 0 : d.magic;
}

const char* const kStateHelp = R"(usage: spatium state show [--json] FILE
       spatium state check FILE

show   decodes a saved state chunk (or an exported preset blob): header fields
       and every stored value with its parameter's name and text.
check  hands the chunk to the plug-in as a host restoring a session would; a
       chunk the plug-in refuses is reported with the plug-in's reason and a
       non-zero exit status.
)";

struct StateArgs {
    std::string action, file;
    bool json = false;
};

// Empty when the arguments asked for help, which is then printed.
std::optional<StateArgs> parseStateArgs(const std::vector<std::string>& args) {
    StateArgs s;
    for (const std::string& a : args) {
        if (isHelp(a)) {
            std::cout << kStateHelp;
            return std::nullopt;
        } else if (a == "--json") {
            s.json = true;
        } else if (s.action.empty()) {
            if (a != "show" && a != "check")
                throw UsageError("state wants \"show\" or \"check\", not " + inQuotes(a));
            s.action = a;
        } else if (s.file.empty()) {
            s.file = a;
        } else {
            throw UsageError("unexpected argument " + a);
        }
    }
    if (s.action.empty()) throw UsageError("state wants \"show FILE\" or \"check FILE\"");
    if (s.file.empty()) throw UsageError("state " + s.action + " needs a FILE");
    if (s.json && s.action == "check") throw UsageError("state check has no --json output");
    return s;
}

int checkState(Instance& instance, const std::string& file, const std::vector<std::uint8_t>& bytes,
               const corvid::DecodedChunk& d) {
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

// A stored value's parameter name and text; empty past the plug-in's parameters.
class ValueLabels {
public:
    explicit ValueLabels(Instance& instance)
        : instance_(instance), count_(instance.parameterCount()) {}

    std::string name(std::size_t i) const {
        return known(i) ? instance_.parameterName(id(i)) : std::string();
    }
    std::string text(std::size_t i, float value) const {
        return known(i) ? instance_.textForValue(id(i), static_cast<double>(value)) : std::string();
    }

private:
    bool known(std::size_t i) const { return static_cast<std::int32_t>(i) < count_; }
    std::string id(std::size_t i) const {
        return instance_.parameterID(static_cast<std::int32_t>(i));
    }

    Instance& instance_;
    std::int32_t count_;
};

void showJson(const std::string& file, std::size_t length, const corvid::DecodedChunk& d,
              const ValueLabels& labels) {
    JsonWriter j(std::cout);
    j.beginObject();
    j.field("file", file);
    j.field("length", static_cast<std::int64_t>(length));
    j.field("magic", hexText(shownMagic(d, length)));
    if (d.stage >= Stage::versions) j.field("formatVersion", d.formatVersion);
    if (d.stage >= Stage::presetIndex) {
        j.field("reserved", d.reserved);
        j.field("pluginVersion", versionText(d.pluginVersion));
    }
    if (d.stage >= Stage::valueCount) j.field("presetIndex", d.presetIndex);
    if (d.stage >= Stage::values) j.field("valueCount", d.valueCount);
    j.key("values").beginArray();
    for (std::size_t i = 0; i < d.values.size(); ++i) {
        j.beginObject();
        j.field("index", static_cast<std::int64_t>(i));
        j.field("name", labels.name(i));
        j.field("value", static_cast<double>(d.values[i]));
        j.field("text", labels.text(i, d.values[i]));
        j.endObject();
    }
    j.endArray();
    if (d.stage == Stage::complete)
        j.field("trailingBytes", static_cast<std::int64_t>(d.trailingBytes));
    j.field("restores", d.error.empty());
    if (!d.error.empty()) j.field("error", d.error);
    j.endObject();
}

void showText(const std::string& file, std::size_t length, const corvid::DecodedChunk& d,
              const ValueLabels& labels) {
    std::printf("file:            %s (%zu bytes)\n", file.c_str(), length);
    std::printf("magic:           %s\n", hexText(shownMagic(d, length)).c_str());
    if (d.stage >= Stage::versions) std::printf("format version:  %d\n", d.formatVersion);
    if (d.stage >= Stage::presetIndex)
        std::printf("plug-in version: %s\n", versionText(d.pluginVersion).c_str());
    if (d.stage >= Stage::valueCount) std::printf("current preset:  %d\n", d.presetIndex);
    if (d.stage >= Stage::values) std::printf("values:          %d\n", d.valueCount);
    for (std::size_t i = 0; i < d.values.size(); ++i)
        std::printf("  %3zu %-16s %.9g  %s\n", i, labels.name(i).c_str(),
                    static_cast<double>(d.values[i]), labels.text(i, d.values[i]).c_str());
    if (d.stage == Stage::complete && d.trailingBytes > 0)
        std::printf("ignored trailing bytes: %zu\n", d.trailingBytes);
}

} // namespace

int runState(const CommandLine& cl) {
    const std::optional<StateArgs> args = parseStateArgs(cl.args);
    if (!args) return kExitOk;
    const std::vector<std::uint8_t> bytes = chunkFromFile(readFile(args->file));
    const auto plugin = loadPlugin(cl.pluginPath);
    const auto presetCount = static_cast<std::int32_t>(plugin->presets().size());
    const corvid::DecodedChunk d = corvid::decodeChunk(bytes.data(), bytes.size(), presetCount);
    Instance instance(*plugin, componentForInputs(plugin->effect(), 1), 48000.0);
    if (args->action == "check") return checkState(instance, args->file, bytes, d);

    const ValueLabels labels(instance);
    if (args->json)
        showJson(args->file, bytes.size(), d, labels);
    else
        showText(args->file, bytes.size(), d, labels);
    if (!d.error.empty()) {
        std::cerr << args->file << ": " << d.error << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace spatium::host
