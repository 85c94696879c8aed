// spatium describe: what the plug-in's registration describes.

#include "tools/spatium/commands.h"

#include "tools/spatium/json.h"

#include <cstdio>
#include <iostream>

namespace spatium::host {

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

void componentJson(JsonWriter& j, const ComponentDescription& c) {
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

void componentText(std::ostream& o, int n, const ComponentDescription& c) {
    o << "  component " << n << ": " << c.inputChannels() << " in, " << c.outputChannels()
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
        for (const ComponentDescription& c : e.components) componentJson(j, c);
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
        for (const ComponentDescription& c : e.components) componentText(o, n++, c);
    }
}

} // namespace

int runDescribe(const CommandLine& cl) {
    bool json = false;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        if (isHelp(cl.args[i])) {
            std::cout << kDescribeHelp;
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

} // namespace spatium::host
