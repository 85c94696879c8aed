#include "corvid/lv2/turtle.h"

#include "corvid/host/hostparams.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

namespace corvid::lv2 {

namespace {

const char* const kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
                              "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string iri(const std::string& uri) {
    return "<" + uri + ">";
}

// A Turtle number that reads back as the same single-precision value.
std::string number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(static_cast<float>(value)));
    std::string s = buffer;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

const char* unitFor(std::string_view label) {
    if (label == "%") return "units:pc";
    if (label == "dB") return "units:db";
    if (label == "ms") return "units:ms";
    if (label == "Hz") return "units:hz";
    if (label == "kHz") return "units:khz";
    if (label == "\xC2\xB0") return "units:degree";
    return nullptr;
}

const char* classFor(EffectCategory category) {
    switch (category) {
    case EffectCategory::delay:
        return "lv2:DelayPlugin";
    case EffectCategory::harmonic:
        return "lv2:DistortionPlugin";
    case EffectCategory::dynamics:
        return "lv2:DynamicsPlugin";
    case EffectCategory::eq:
        return "lv2:EQPlugin";
    case EffectCategory::soundField:
        return "lv2:SpatialPlugin";
    case EffectCategory::modulation:
        return "lv2:ModulatorPlugin";
    case EffectCategory::pitchShift:
        return "lv2:PitchPlugin";
    case EffectCategory::reverb:
        return "lv2:ReverbPlugin";
    case EffectCategory::analyzer:
        return "lv2:AnalyserPlugin";
    case EffectCategory::generator:
        return "lv2:GeneratorPlugin";
    case EffectCategory::synth:
    case EffectCategory::sampler:
    case EffectCategory::drum:
        return "lv2:InstrumentPlugin";
    default:
        return nullptr;
    }
}

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (n > 1) v |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (n > 2) v |= bytes[i + 2];
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += n > 1 ? kDigits[(v >> 6) & 63] : '=';
        out += n > 2 ? kDigits[v & 63] : '=';
    }
    return out;
}

std::string channelSymbol(const char* direction, std::uint32_t channel, std::uint32_t count) {
    if (count == 1) return direction;
    if (count == 2) return std::string(direction) + (channel == 0 ? "_l" : "_r");
    return std::string(direction) + "_" + std::to_string(channel + 1);
}

std::string channelName(const char* direction, std::uint32_t channel, std::uint32_t count) {
    if (count == 1) return direction;
    if (count == 2) return std::string(channel == 0 ? "Left " : "Right ") + direction;
    return std::string(direction) + " " + std::to_string(channel + 1);
}

void writeAudioPort(std::ostream& out, const char* kind, std::uint32_t index,
                    const std::string& symbol, const std::string& name) {
    out << "    [\n        a lv2:" << kind << ", lv2:AudioPort ;\n        lv2:index " << index
        << " ;\n        lv2:symbol " << quoted(symbol) << " ;\n        lv2:name " << quoted(name)
        << " ;\n    ]";
}

void writeControlPort(std::ostream& out, const BundleDescription& bundle, Parameter& parameter) {
    const host::PlainValue plain(parameter);
    out << "    [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index "
        << parameter.index() << " ;\n        lv2:symbol " << quoted(portSymbol(parameter))
        << " ;\n        lv2:name " << quoted(parameter.name()) << " ;\n        lv2:default "
        << number(plain.defaultValue()) << " ;\n        lv2:minimum " << number(plain.minimum())
        << " ;\n        lv2:maximum " << number(plain.maximum()) << " ;\n";
    std::vector<const char*> properties;
    switch (plain.kind()) {
    case host::PlainKind::logarithmic:
        properties.push_back("pprops:logarithmic");
        break;
    case host::PlainKind::integer:
        properties.push_back("lv2:integer");
        break;
    case host::PlainKind::enumeration:
        properties.push_back("lv2:integer");
        properties.push_back("lv2:enumeration");
        break;
    case host::PlainKind::toggle:
        properties.push_back("lv2:toggled");
        break;
    case host::PlainKind::linear:
        break;
    }
    if (bundle.hidden && bundle.hidden(parameter)) properties.push_back("pprops:notOnGUI");
    for (std::size_t i = 0; i < properties.size(); ++i)
        out << (i == 0 ? "        lv2:portProperty " : ", ") << properties[i];
    if (!properties.empty()) out << " ;\n";
    if (const char* unit = unitFor(parameter.label()))
        out << "        units:unit " << unit << " ;\n";
    if (auto* e = dynamic_cast<EnumParameter*>(&parameter)) {
        const auto& names = e->possibleValues();
        for (std::size_t i = 0; i < names.size(); ++i)
            out << (i == 0 ? "        lv2:scalePoint " : ",\n            ") << "[ rdfs:label "
                << quoted(names[i]) << " ; rdf:value " << i << " ]";
        out << " ;\n";
    }
    out << "    ]";
}

} // namespace

std::string portSymbol(const Parameter& parameter) {
    std::string symbol;
    bool gap = false;
    for (unsigned char c : parameter.name()) {
        if (std::isalnum(c) && c < 0x80) {
            if (gap && !symbol.empty()) symbol += '_';
            symbol += static_cast<char>(std::tolower(c));
            gap = false;
        } else {
            gap = true;
        }
    }
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0])))
        symbol = "p" + std::to_string(parameter.index()) + (symbol.empty() ? "" : "_" + symbol);
    return symbol;
}

std::string manifestTurtle(const BundleDescription& bundle, Client& client) {
    std::ostringstream out;
    out << kPrefixes;
    for (const Variant& v : bundle.variants)
        out << iri(bundle.pluginUri(v)) << "\n    a lv2:Plugin ;\n    lv2:binary <" << bundle.binary
            << "> ;\n    rdfs:seeAlso <" << kPluginsFile << "> .\n\n";
    if (client.info().hasEditor && bundle.offerUi)
        out << iri(bundle.uiUri()) << "\n    a ui:X11UI ;\n    ui:binary <" << bundle.binary
            << "> ;\n    rdfs:seeAlso <" << kPluginsFile << "> .\n\n";
    const PresetBank& bank = client.presetBank();
    for (std::int32_t p = 0; p < bank.presetCount(); ++p) {
        out << iri(bundle.presetUri(p)) << "\n    a pset:Preset ;\n    lv2:appliesTo ";
        for (std::size_t v = 0; v < bundle.variants.size(); ++v)
            out << (v ? ", " : "") << iri(bundle.pluginUri(bundle.variants[v]));
        out << " ;\n    rdfs:label " << quoted(bank.presets()[static_cast<std::size_t>(p)]->name)
            << " ;\n    rdfs:seeAlso <" << kPresetsFile << "> .\n\n";
    }
    return out.str();
}

std::string pluginsTurtle(const BundleDescription& bundle, Client& client) {
    const PluginDescription& info = client.info();
    std::ostringstream out;
    out << kPrefixes;
    out << iri(bundle.stateKeyUri())
        << "\n    a rdf:Property ;\n    rdfs:label \"state chunk\" ;\n"
           "    rdfs:comment \"Every parameter's normalised value and the current preset.\" ;\n"
           "    rdfs:range atom:Chunk .\n\n";
    out << iri(bundle.baseUri) << "\n    a doap:Project ;\n    doap:name "
        << quoted(info.pluginName) << " ;\n    doap:maintainer [ foaf:name "
        << quoted(info.vendorName) << " ] .\n\n";
    if (info.hasEditor && bundle.offerUi)
        // The editor talks to the running plug-in directly, so it cannot do without
        // instance access; the rest it uses when the host has it.
        out << iri(bundle.uiUri())
            << "\n    a ui:X11UI ;\n"
               "    lv2:requiredFeature <http://lv2plug.in/ns/ext/instance-access> ;\n"
               "    lv2:optionalFeature ui:parent, ui:resize, ui:touch, ui:idleInterface,\n"
               "        ui:noUserResize, ui:fixedSize, urid:map, "
               "<http://lv2plug.in/ns/ext/log#log> ;\n"
               "    lv2:extensionData ui:idleInterface, ui:showInterface .\n\n";
    for (const Variant& v : bundle.variants) {
        const PortLayout ports(client, v.layout);
        out << iri(bundle.pluginUri(v)) << "\n    a lv2:Plugin";
        if (const char* c = classFor(info.category)) out << ", " << c;
        out << " ;\n    doap:name " << quoted(info.pluginName + " (" + v.name + ")")
            << " ;\n    lv2:project " << iri(bundle.baseUri) << " ;\n    lv2:minorVersion "
            << 2 * (info.versionMajor * 100 + info.versionMinor) << " ;\n    lv2:microVersion "
            << info.versionPatch
            << " ;\n    lv2:optionalFeature lv2:hardRTCapable, urid:map ;\n"
               "    lv2:extensionData state:interface ;\n";
        if (info.hasEditor && bundle.offerUi) out << "    ui:ui " << iri(bundle.uiUri()) << " ;\n";
        out << "    lv2:port\n";
        for (std::int32_t i = 0; i < client.parameterCount(); ++i) {
            writeControlPort(out, bundle, *client.parameter(i));
            out << ",\n";
        }
        for (std::uint32_t c = 0; c < ports.inputs; ++c) {
            writeAudioPort(out, "InputPort", ports.firstInput() + c,
                           channelSymbol("in", c, ports.inputs),
                           channelName("In", c, ports.inputs));
            out << ",\n";
        }
        for (std::uint32_t c = 0; c < ports.outputs; ++c) {
            writeAudioPort(out, "OutputPort", ports.firstOutput() + c,
                           channelSymbol("out", c, ports.outputs),
                           channelName("Out", c, ports.outputs));
            out << ",\n";
        }
        out << "    [\n        a lv2:OutputPort, lv2:ControlPort ;\n        lv2:index "
            << ports.latencyPort()
            << " ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
               "        lv2:minimum 0 ;\n        lv2:maximum 1024 ;\n"
               "        lv2:portProperty lv2:reportsLatency, lv2:integer ;\n"
               "        units:unit units:frame ;\n    ] .\n\n";
    }
    return out.str();
}

std::string presetsTurtle(const BundleDescription& bundle, Client& client) {
    std::ostringstream out;
    out << kPrefixes;
    const PresetBank& bank = client.presetBank();
    for (std::int32_t p = 0; p < bank.presetCount(); ++p) {
        const Preset& preset = *bank.presets()[static_cast<std::size_t>(p)];
        out << iri(bundle.presetUri(p)) << "\n    a pset:Preset ;\n    lv2:appliesTo ";
        for (std::size_t v = 0; v < bundle.variants.size(); ++v)
            out << (v ? ", " : "") << iri(bundle.pluginUri(bundle.variants[v]));
        out << " ;\n    rdfs:label " << quoted(preset.name) << " ;\n    lv2:port";
        for (std::int32_t i = 0; i < client.parameterCount(); ++i) {
            Parameter& parameter = *client.parameter(i);
            const double n =
                i < static_cast<std::int32_t>(preset.normalizedValues.size())
                    ? static_cast<double>(preset.normalizedValues[static_cast<std::size_t>(i)])
                    : parameter.normalizedDefault();
            out << (i ? "," : "") << "\n        [ lv2:symbol " << quoted(portSymbol(parameter))
                << " ; pset:value " << number(host::PlainValue(parameter).plainFor(n)) << " ]";
        }
        // The chunk carries what port values cannot: the preset's index and the
        // exact normalised values.
        out << " ;\n    state:state [\n        " << iri(bundle.stateKeyUri()) << " "
            << quoted(base64(bank.writePresetChunk(p))) << "^^xsd:base64Binary ;\n    ] .\n\n";
    }
    return out.str();
}

} // namespace corvid::lv2
