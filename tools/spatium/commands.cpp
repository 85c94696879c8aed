#include "tools/spatium/commands.h"

#include "tools/aaxhost/paths.h"
#include "tools/spatium/chunk.h"
#include "tools/spatium/json.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace spatium::host {

namespace {

std::string trimmedLower(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    std::string out = s.substr(b, e - b);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool allDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::string inQuotes(const std::string& s) {
    return "\"" + s + "\"";
}

// Why a text was refused, in terms of what the parameter does accept.
std::string parseHint(Instance& instance, const std::string& id, const std::string& text) {
    if (text.size() >= 64) return "texts of 64 characters or more are refused";
    AAX_EParameterType type = AAX_eParameterType_Continuous;
    std::int32_t steps = 0;
    instance.parameters().GetParameterType(id.c_str(), &type);
    instance.parameters().GetParameterNumberOfSteps(id.c_str(), &steps);
    if (type == AAX_eParameterType_Discrete && steps >= 2 && steps <= 32) {
        std::string accepted;
        for (std::int32_t k = 0; k < steps; ++k) {
            if (k > 0) accepted += ", ";
            accepted += instance.textForValue(id, static_cast<double>(k) / (steps - 1));
        }
        return "accepted values: " + accepted;
    }
    return "it expects a number from " + instance.textForValue(id, 0.0) + " to " +
           instance.textForValue(id, 1.0);
}

std::string presetNames(const std::vector<PresetBlob>& presets) {
    std::string names;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (i > 0) names += ", ";
        names += std::to_string(i) + " " + inQuotes(presets[i].name);
    }
    return names;
}

std::size_t findPreset(const std::vector<PresetBlob>& presets, const std::string& wanted) {
    if (presets.empty()) throw HostError("the plug-in has no presets");
    if (allDigits(wanted)) {
        const std::size_t index = wanted.size() > 9 ? presets.size() : std::stoul(wanted);
        if (index < presets.size()) return index;
        throw HostError("there is no preset " + wanted + "; the presets are numbered 0 to " +
                        std::to_string(presets.size() - 1));
    }
    for (std::size_t i = 0; i < presets.size(); ++i)
        if (presets[i].name == wanted) return i;
    for (std::size_t i = 0; i < presets.size(); ++i)
        if (trimmedLower(presets[i].name) == trimmedLower(wanted)) return i;
    throw HostError("unknown preset " + inQuotes(wanted) + "; the presets are " +
                    presetNames(presets));
}

void printHelp(const char* text) {
    std::cout << text;
}

} // namespace

bool isHelp(const std::string& arg) {
    return arg == "-h" || arg == "--help";
}

bool takeOption(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                std::string& value) {
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        value = args[++i];
        return true;
    }
    if (arg.rfind(name + "=", 0) == 0) {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

bool takeSettingsOption(const std::vector<std::string>& args, std::size_t& i, Settings& settings) {
    std::string v;
    if (takeOption(args, i, "--preset", v)) {
        settings.preset = v;
    } else if (takeOption(args, i, "--state", v)) {
        settings.stateFile = v;
    } else if (takeOption(args, i, "--set", v)) {
        settings.assignments.push_back(v);
    } else {
        return false;
    }
    return true;
}

std::unique_ptr<Plugin> loadPlugin(const std::string& explicitPath) {
    if (!explicitPath.empty()) {
        std::error_code error;
        if (!std::filesystem::exists(pathFromUtf8(explicitPath), error))
            throw HostError("plug-in library " + explicitPath + " does not exist");
        return std::make_unique<Plugin>(explicitPath);
    }
    const std::vector<std::string> candidates = defaultPluginCandidates();
    for (const std::string& path : candidates) {
        std::error_code error;
        if (std::filesystem::exists(pathFromUtf8(path), error))
            return std::make_unique<Plugin>(path);
    }
    std::string tried;
    for (const std::string& path : candidates) tried += "\n  " + path;
    throw HostError("cannot find the plug-in library; looked for" + tried +
                    "\nname it with --plugin PATH");
}

std::string findParameterID(Instance& instance, const std::string& name) {
    const std::int32_t count = instance.parameterCount();
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < count; ++i) {
        names.push_back(instance.parameterName(instance.parameterID(i)));
        if (names.back() == name) return instance.parameterID(i);
    }
    for (std::int32_t i = 0; i < count; ++i)
        if (trimmedLower(names[static_cast<std::size_t>(i)]) == trimmedLower(name))
            return instance.parameterID(i);
    std::string valid;
    for (std::size_t i = 0; i < names.size(); ++i) valid += (i ? ", " : "") + inQuotes(names[i]);
    throw HostError("unknown parameter " + inQuotes(name) + "; the parameters are " + valid);
}

void applySettings(Plugin& plugin, Instance& instance, const Settings& settings) {
    if (!settings.stateFile.empty()) {
        const std::vector<std::uint8_t> bytes = chunkFromFile(readFile(settings.stateFile));
        if (instance.setStateChunk(bytes) != AAX_SUCCESS) {
            const DecodedChunk decoded =
                decodeStateChunk(bytes, static_cast<std::int32_t>(plugin.presets().size()));
            throw HostError("the plug-in cannot restore " + settings.stateFile + ": " +
                            (decoded.error.empty() ? "refused" : decoded.error));
        }
    }
    if (!settings.preset.empty()) {
        const std::vector<PresetBlob> presets = plugin.presets();
        const PresetBlob& preset = presets[findPreset(presets, settings.preset)];
        const std::vector<std::uint8_t> chunk = chunkFromFile(preset.blob);
        const AAX_Result result = instance.setStateChunk(chunk);
        if (result != AAX_SUCCESS)
            throw HostError("the plug-in refused preset " + inQuotes(preset.name) + " (error " +
                            std::to_string(result) + ")");
    }
    for (const std::string& assignment : settings.assignments) {
        const std::size_t eq = assignment.find('=');
        if (eq == std::string::npos)
            throw UsageError("--set wants NAME=TEXT, as in --set Pan=-45, not " +
                             inQuotes(assignment));
        const std::string name = assignment.substr(0, eq);
        const std::string text = assignment.substr(eq + 1);
        const std::string id = findParameterID(instance, name);
        double value = 0.0;
        const AAX_Result result = instance.valueFromText(id, text, value);
        if (result != AAX_SUCCESS)
            throw HostError("parameter " + inQuotes(instance.parameterName(id)) +
                            " does not take " + inQuotes(text) + ": " +
                            parseHint(instance, id, text));
        instance.setNormalizedValue(id, value);
    }
}

// ---- describe

namespace {

const char* const kDescribeHelp = R"(usage: spatium describe [--json]

Prints what the plug-in's registration describes: the effect ID, its names, the
manufacturer, the package names and version, the category, and for each
component its context fields and properties (native and AudioSuite plug-in IDs,
stem formats, latency).
)";

const char* propertyName(std::uint32_t id) {
    switch (id) {
    case AAX_eProperty_ManufacturerID:
        return "manufacturer ID";
    case AAX_eProperty_ProductID:
        return "product ID";
    case AAX_eProperty_PlugInID_Native:
        return "native ID";
    case AAX_eProperty_PlugInID_AudioSuite:
        return "AudioSuite ID";
    case AAX_eProperty_InputStemFormat:
        return "input stem format";
    case AAX_eProperty_OutputStemFormat:
        return "output stem format";
    case AAX_eProperty_LatencyContribution:
        return "latency";
    case AAX_eProperty_CanBypass:
        return "can bypass";
    case AAX_eProperty_UsesClientGUI:
        return "uses client GUI";
    default:
        return "property";
    }
}

bool isFourCCProperty(std::uint32_t id) {
    return id == AAX_eProperty_ManufacturerID || id == AAX_eProperty_ProductID ||
           id == AAX_eProperty_PlugInID_Native || id == AAX_eProperty_PlugInID_AudioSuite;
}

bool isStemProperty(std::uint32_t id) {
    return id == AAX_eProperty_InputStemFormat || id == AAX_eProperty_OutputStemFormat;
}

std::string stemText(std::uint32_t stem) {
    const std::int32_t channels = AAX_StemFormatChannelCount(stem);
    return hexText(stem) + " (" + std::to_string(channels) + " channel" +
           (channels == 1 ? "" : "s") + ")";
}

const char* fieldKindName(FieldKind kind) {
    switch (kind) {
    case FieldKind::audioIn:
        return "audio in";
    case FieldKind::audioOut:
        return "audio out";
    case FieldKind::bufferLength:
        return "buffer length";
    case FieldKind::midiNode:
        return "MIDI node";
    case FieldKind::privateData:
        return "private data";
    }
    return "?";
}

std::string categoryText(const std::vector<std::uint32_t>& categories) {
    std::string text;
    for (std::uint32_t c : categories) {
        if (!text.empty()) text += ", ";
        text += hexText(c);
        switch (c) {
        case AAX_ePlugInCategory_EQ:
            text += " (EQ)";
            break;
        case AAX_ePlugInCategory_Dynamics:
            text += " (dynamics)";
            break;
        case AAX_ePlugInCategory_PitchShift:
            text += " (pitch shift)";
            break;
        case AAX_ePlugInCategory_Reverb:
            text += " (reverb)";
            break;
        case AAX_ePlugInCategory_Delay:
            text += " (delay)";
            break;
        case AAX_ePlugInCategory_Modulation:
            text += " (modulation)";
            break;
        case AAX_ePlugInCategory_Harmonic:
            text += " (harmonic)";
            break;
        case AAX_ePlugInCategory_SoundField:
            text += " (sound field)";
            break;
        case AAX_ePlugInCategory_SWGenerators:
            text += " (software generator)";
            break;
        case AAX_ePlugInCategory_Effect:
            text += " (effect)";
            break;
        default:
            break;
        }
    }
    return text;
}

void describeJson(const Plugin& plugin, std::uint64_t sdk) {
    const PackageDescription& p = plugin.package();
    JsonWriter j(std::cout);
    j.beginObject();
    j.field("library", plugin.path());
    char sdkText[24];
    std::snprintf(sdkText, sizeof sdkText, "0x%016llX", static_cast<unsigned long long>(sdk));
    j.field("sdkVersion", std::string(sdkText));
    j.field("manufacturer", p.manufacturer);
    j.key("packageNames").beginArray();
    for (const auto& n : p.packageNames) j.value(n);
    j.endArray();
    j.field("packageVersion", p.version);
    j.key("effects").beginArray();
    for (const EffectDescription& e : p.effects) {
        j.beginObject();
        j.field("effectID", e.effectID);
        j.key("names").beginArray();
        for (const auto& n : e.names) j.value(n);
        j.endArray();
        j.key("categories").beginArray();
        for (std::uint32_t c : e.categories) j.value(c);
        j.endArray();
        j.field("hasParameters", e.createParameters != nullptr);
        j.field("hasEditor", e.createGUI != nullptr);
        j.key("components").beginArray();
        for (const ComponentDescription& c : e.components) {
            j.beginObject();
            j.key("fields").beginArray();
            for (const FieldDescription& f : c.fields) {
                j.beginObject();
                j.field("index", f.index);
                j.field("kind", fieldKindName(f.kind));
                if (f.kind == FieldKind::midiNode) {
                    j.field("name", f.name);
                    j.field("nodeType", static_cast<std::int32_t>(f.midiType));
                    j.field("channelMask", f.channelMask);
                }
                if (f.kind == FieldKind::privateData) j.field("size", f.size);
                j.endObject();
            }
            j.endArray();
            j.key("properties").beginArray();
            for (const auto& [id, value] : c.properties) {
                j.beginObject();
                j.field("id", id);
                j.field("name", propertyName(id));
                j.field("value", value);
                j.field("hex", hexText(value));
                if (isFourCCProperty(id)) j.field("fourCC", fourCCText(value));
                if (isStemProperty(id)) j.field("channels", AAX_StemFormatChannelCount(value));
                j.endObject();
            }
            j.endArray();
            j.field("inputChannels", c.inputChannels());
            j.field("outputChannels", c.outputChannels());
            j.endObject();
        }
        j.endArray();
        j.endObject();
    }
    j.endArray();
    j.endObject();
}

void describeText(const Plugin& plugin, std::uint64_t sdk) {
    const PackageDescription& p = plugin.package();
    std::ostream& o = std::cout;
    char sdkText[24];
    std::snprintf(sdkText, sizeof sdkText, "0x%016llX", static_cast<unsigned long long>(sdk));
    o << "library:        " << plugin.path() << "\n";
    o << "SDK version:    " << sdkText << "\n";
    o << "manufacturer:   " << p.manufacturer << "\n";
    o << "package names:  ";
    for (std::size_t i = 0; i < p.packageNames.size(); ++i)
        o << (i ? ", " : "") << inQuotes(p.packageNames[i]);
    o << "\npackage version: " << p.version << "\n";
    for (const EffectDescription& e : p.effects) {
        o << "\neffect " << e.effectID << "\n";
        o << "  names:     ";
        for (std::size_t i = 0; i < e.names.size(); ++i)
            o << (i ? ", " : "") << inQuotes(e.names[i]);
        o << "\n  category:  " << categoryText(e.categories) << "\n";
        o << "  editor:    " << (e.createGUI ? "yes" : "no") << "\n";
        int n = 0;
        for (const ComponentDescription& c : e.components) {
            o << "  component " << n++ << ": " << c.inputChannels() << " in, " << c.outputChannels()
              << " out\n";
            o << "    fields:\n";
            for (const FieldDescription& f : c.fields) {
                o << "      " << f.index << "  " << fieldKindName(f.kind);
                if (f.kind == FieldKind::midiNode) o << " " << inQuotes(f.name);
                if (f.kind == FieldKind::privateData) o << ", " << f.size << " bytes";
                o << "\n";
            }
            o << "    properties:\n";
            for (const auto& [id, value] : c.properties) {
                char line[64];
                std::snprintf(line, sizeof line, "      %3u  %-20s ", id, propertyName(id));
                o << line;
                if (isFourCCProperty(id))
                    o << "'" << fourCCText(value) << "' " << hexText(value);
                else if (isStemProperty(id))
                    o << stemText(value);
                else
                    o << value;
                o << "\n";
            }
        }
    }
}

} // namespace

int runDescribe(const CommandLine& cl) {
    bool json = false;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        if (isHelp(cl.args[i])) {
            printHelp(kDescribeHelp);
            return kExitOk;
        }
        if (cl.args[i] == "--json")
            json = true;
        else
            throw UsageError("unexpected argument " + cl.args[i]);
    }
    const auto plugin = loadPlugin(cl.pluginPath);
    std::uint64_t sdk = 0;
    plugin->exports().getSDKVersion(&sdk);
    if (json)
        describeJson(*plugin, sdk);
    else
        describeText(*plugin, sdk);
    return kExitOk;
}

// ---- params

namespace {

const char* const kParamsHelp =
    R"(usage: spatium params [--json] [--preset NAME|INDEX] [--state FILE]
                      [--set NAME=TEXT]...

Lists every parameter through the host interface: ID, name, type, number of
steps, default and current normalised value, and the text the plug-in shows.
The options load a preset or a saved state and set values first, as render does.
)";

struct ParamRow {
    std::string id, name, type, text, defaultText;
    std::int32_t steps = 0;
    double defaultValue = 0.0, value = 0.0;
};

} // namespace

int runParams(const CommandLine& cl) {
    bool json = false;
    Settings settings;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        if (isHelp(cl.args[i])) {
            printHelp(kParamsHelp);
            return kExitOk;
        } else if (cl.args[i] == "--json") {
            json = true;
        } else if (!takeSettingsOption(cl.args, i, settings)) {
            throw UsageError("unexpected argument " + cl.args[i]);
        }
    }
    const auto plugin = loadPlugin(cl.pluginPath);
    Instance instance(*plugin, componentForInputs(plugin->effect(), 1), 48000.0);
    applySettings(*plugin, instance, settings);
    std::vector<ParamRow> rows;
    const std::int32_t count = instance.parameterCount();
    for (std::int32_t i = 0; i < count; ++i) {
        ParamRow r;
        r.id = instance.parameterID(i);
        r.name = instance.parameterName(r.id);
        AAX_EParameterType type = AAX_eParameterType_Continuous;
        instance.parameters().GetParameterType(r.id.c_str(), &type);
        r.type = type == AAX_eParameterType_Discrete ? "discrete" : "continuous";
        instance.parameters().GetParameterNumberOfSteps(r.id.c_str(), &r.steps);
        instance.parameters().GetParameterDefaultNormalizedValue(r.id.c_str(), &r.defaultValue);
        r.value = instance.normalizedValue(r.id);
        r.text = instance.valueText(r.id);
        r.defaultText = instance.textForValue(r.id, r.defaultValue);
        rows.push_back(std::move(r));
    }
    if (json) {
        JsonWriter j(std::cout);
        j.beginArray();
        for (const ParamRow& r : rows) {
            j.beginObject();
            j.field("id", r.id);
            j.field("name", r.name);
            j.field("type", r.type);
            j.field("steps", r.steps);
            j.field("default", r.defaultValue);
            j.field("defaultText", r.defaultText);
            j.field("value", r.value);
            j.field("text", r.text);
            j.endObject();
        }
        j.endArray();
        return kExitOk;
    }
    std::printf("%-3s %-16s %-10s %5s %9s %9s  %s\n", "ID", "name", "type", "steps", "default",
                "value", "text");
    for (const ParamRow& r : rows)
        std::printf("%-3s %-16s %-10s %5d %9.6f %9.6f  %s\n", r.id.c_str(), r.name.c_str(),
                    r.type.c_str(), r.steps, r.defaultValue, r.value, r.text.c_str());
    return kExitOk;
}

// ---- presets

namespace {

const char* const kPresetsHelp = R"(usage: spatium presets [--json] [--export DIR]

Lists the factory presets the plug-in hands out as preset blobs: index, name,
blob length and the blob's header (total length, version, manufacturer, product,
plug-in and chunk IDs). --export DIR writes each blob to DIR/NN-NAME.tfx.
)";

std::string fileNameFor(std::size_t index, const std::string& name) {
    std::string safe;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_')
            safe += static_cast<char>(c);
        else if (c == ' ' && !safe.empty() && safe.back() != '_')
            safe += '_';
    }
    while (!safe.empty() && safe.back() == '_') safe.pop_back();
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%02zu", index);
    return std::string(prefix) + (safe.empty() ? "" : "-" + safe) + ".tfx";
}

} // namespace

int runPresets(const CommandLine& cl) {
    bool json = false;
    std::string exportDir;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        if (isHelp(cl.args[i])) {
            printHelp(kPresetsHelp);
            return kExitOk;
        } else if (cl.args[i] == "--json") {
            json = true;
        } else if (!takeOption(cl.args, i, "--export", exportDir)) {
            throw UsageError("unexpected argument " + cl.args[i]);
        }
    }
    for (const auto& a : cl.args)
        if (a == "--export=") throw UsageError("--export needs a folder");
    const auto plugin = loadPlugin(cl.pluginPath);
    const std::vector<PresetBlob> presets = plugin->presets();
    std::vector<std::string> files;
    if (!exportDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(pathFromUtf8(exportDir), error);
        if (error) throw HostError("cannot create " + exportDir + ": " + error.message());
        for (std::size_t i = 0; i < presets.size(); ++i) {
            const std::string path = utf8FromPath(pathFromUtf8(exportDir) /
                                                  pathFromUtf8(fileNameFor(i, presets[i].name)));
            writeFileAtomically(path, presets[i].blob);
            files.push_back(path);
        }
    }
    if (json) {
        JsonWriter j(std::cout);
        j.beginArray();
        for (std::size_t i = 0; i < presets.size(); ++i) {
            const PresetBlobHeader h = readPresetBlobHeader(presets[i].blob);
            j.beginObject();
            j.field("index", static_cast<std::int64_t>(i));
            j.field("name", presets[i].name);
            j.field("length", static_cast<std::int64_t>(presets[i].blob.size()));
            j.field("totalLength", h.totalLength);
            j.field("version", h.version);
            j.field("manufacturerID", fourCCText(h.manufacturerID));
            j.field("productID", fourCCText(h.productID));
            j.field("plugInID", fourCCText(h.plugInID));
            j.field("chunkID", fourCCText(h.chunkID));
            if (!files.empty()) j.field("file", files[i]);
            j.endObject();
        }
        j.endArray();
        return kExitOk;
    }
    std::printf("%-3s %-20s %6s %6s %3s %-6s %-6s %-6s %-6s\n", "#", "name", "length", "total",
                "ver", "manuf", "prod", "plugin", "chunk");
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const PresetBlobHeader h = readPresetBlobHeader(presets[i].blob);
        std::printf("%-3zu %-20s %6zu %6u %3u %-6s %-6s %-6s %-6s\n", i,
                    inQuotes(presets[i].name).c_str(), presets[i].blob.size(), h.totalLength,
                    h.version, fourCCText(h.manufacturerID).c_str(),
                    fourCCText(h.productID).c_str(), fourCCText(h.plugInID).c_str(),
                    fourCCText(h.chunkID).c_str());
    }
    if (!files.empty())
        std::printf("wrote %zu preset files to %s\n", files.size(), exportDir.c_str());
    return kExitOk;
}

// ---- state

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
            printHelp(kStateHelp);
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
