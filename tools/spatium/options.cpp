// What the commands share: their option parsing, finding the plug-in library,
// and the settings applied before parameters are listed or audio is rendered.

#include "tools/spatium/commands.h"

#include "corvid/client/preset.h"
#include "tools/aaxhost/paths.h"
#include "tools/spatium/chunk.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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

} // namespace

std::string inQuotes(const std::string& s) {
    return "\"" + s + "\"";
}

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
            const corvid::DecodedChunk decoded = corvid::decodeChunk(
                bytes.data(), bytes.size(), static_cast<std::int32_t>(plugin.presets().size()));
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

} // namespace spatium::host
