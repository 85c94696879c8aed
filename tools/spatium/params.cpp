// spatium params: every parameter as the host interface shows it.

#include "tools/spatium/commands.h"

#include "tools/spatium/json.h"

#include <cstdio>
#include <iostream>

namespace spatium::host {

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

ParamRow readRow(Instance& instance, std::int32_t index) {
    ParamRow r;
    r.id = instance.parameterID(index);
    r.name = instance.parameterName(r.id);
    AAX_EParameterType type = AAX_eParameterType_Continuous;
    instance.parameters().GetParameterType(r.id.c_str(), &type);
    r.type = type == AAX_eParameterType_Discrete ? "discrete" : "continuous";
    instance.parameters().GetParameterNumberOfSteps(r.id.c_str(), &r.steps);
    instance.parameters().GetParameterDefaultNormalizedValue(r.id.c_str(), &r.defaultValue);
    r.value = instance.normalizedValue(r.id);
    r.text = instance.valueText(r.id);
    r.defaultText = instance.textForValue(r.id, r.defaultValue);
    return r;
}

void printRows(const std::vector<ParamRow>& rows, bool json) {
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
        return;
    }
    std::printf("%-3s %-16s %-10s %5s %9s %9s  %s\n", "ID", "name", "type", "steps", "default",
                "value", "text");
    for (const ParamRow& r : rows)
        std::printf("%-3s %-16s %-10s %5d %9.6f %9.6f  %s\n", r.id.c_str(), r.name.c_str(),
                    r.type.c_str(), r.steps, r.defaultValue, r.value, r.text.c_str());
}

} // namespace

int runParams(const CommandLine& cl) {
    bool json = false;
    Settings settings;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        if (isHelp(cl.args[i])) {
            std::cout << kParamsHelp;
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
    for (std::int32_t i = 0; i < count; ++i) rows.push_back(readRow(instance, i));
    printRows(rows, json);
    return kExitOk;
}

} // namespace spatium::host
