#include "corvid/vst3/parameters.h"

#include "corvid/host/hostparams.h"
#include "corvid/vst3/text.h"

#include <cmath>
#include <string>

namespace corvid::vst3 {

Parameters::Parameters(Client& client, host::HostValues& values)
    : client_(client), values_(values) {}

int32 Parameters::count() const {
    return client_.parameterCount() + 1 + (presets() > 0 ? 1 : 0);
}

Parameter* Parameters::find(ParamID id) const {
    if (id >= static_cast<ParamID>(client_.parameterCount())) return nullptr;
    return client_.parameter(static_cast<std::int32_t>(id));
}

tresult Parameters::info(int32 index, ParameterInfo& info) const {
    if (index < 0 || index >= count()) return kInvalidArgument;
    info = ParameterInfo{};
    info.unitId = kRootUnitId;
    if (index < client_.parameterCount()) {
        const Parameter& p = *client_.parameter(index);
        info.id = static_cast<ParamID>(index);
        toUtf16(p.name(), info.title);
        toUtf16(p.name(), info.shortTitle);
        toUtf16(p.label(), info.units);
        const std::int32_t steps = host::parameterSteps(p);
        info.stepCount = steps == host::kContinuousSteps ? 0 : steps - 1;
        info.defaultNormalizedValue = const_cast<Parameter&>(p).normalizedDefault();
        if (host::isReserved(p)) {
            info.flags = ParameterInfo::kIsHidden;
        } else {
            info.flags = ParameterInfo::kCanAutomate;
            if (dynamic_cast<const EnumParameter*>(&p)) info.flags |= ParameterInfo::kIsList;
        }
        return kResultOk;
    }
    if (index == client_.parameterCount()) {
        info.id = kBypassId;
        toUtf16("Bypass", info.title);
        toUtf16("Bypass", info.shortTitle);
        info.stepCount = 1;
        info.defaultNormalizedValue = 0.0;
        info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass;
        return kResultOk;
    }
    info.id = kProgramId;
    toUtf16("Program", info.title);
    toUtf16("Program", info.shortTitle);
    info.stepCount = presets() - 1;
    info.defaultNormalizedValue = 0.0;
    info.flags = ParameterInfo::kIsProgramChange | ParameterInfo::kIsList;
    return kResultOk;
}

ParamValue Parameters::programValue(std::int32_t preset) const {
    return presets() > 1 ? static_cast<double>(preset) / (presets() - 1) : 0.0;
}

std::int32_t Parameters::presetFor(ParamValue normalized) const {
    const double scaled = host::clamp01(normalized) * (presets() - 1);
    return static_cast<std::int32_t>(std::lround(scaled));
}

tresult Parameters::text(ParamID id, ParamValue normalized, String128 out) const {
    if (std::isnan(normalized)) return kInvalidArgument;
    if (Parameter* p = find(id)) {
        char buffer[host::kMaxValueText] = {};
        if (!host::textForHostValue(*p, normalized, buffer, sizeof buffer)) return kInvalidArgument;
        toUtf16(buffer, out, 128);
        return kResultOk;
    }
    if (id == kBypassId) {
        toUtf16(normalized >= 0.5 ? "On" : "Off", out, 128);
        return kResultOk;
    }
    if (hasProgram(id)) {
        const auto& preset =
            client_.presetBank().presets()[static_cast<std::size_t>(presetFor(normalized))];
        toUtf16(preset->name, out, 128);
        return kResultOk;
    }
    return kInvalidArgument;
}

tresult Parameters::parse(ParamID id, const TChar* text, ParamValue& normalized) const {
    if (!text) return kInvalidArgument;
    const std::string utf8 = toUtf8(text, 128);
    if (Parameter* p = find(id)) {
        double value = 0.0;
        if (!p->parseNormalized(utf8, value)) return kResultFalse;
        normalized = host::clamp01(value);
        return kResultOk;
    }
    if (id == kBypassId) {
        if (utf8 == "On" || utf8 == "on" || utf8 == "1") {
            normalized = 1.0;
        } else if (utf8 == "Off" || utf8 == "off" || utf8 == "0") {
            normalized = 0.0;
        } else {
            return kResultFalse;
        }
        return kResultOk;
    }
    if (hasProgram(id)) {
        const auto& list = client_.presetBank().presets();
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i]->name == utf8) {
                normalized = programValue(static_cast<std::int32_t>(i));
                return kResultOk;
            }
        return kResultFalse;
    }
    return kInvalidArgument;
}

ParamValue Parameters::toPlain(ParamID id, ParamValue normalized) const {
    if (find(id)) return values_.plain(static_cast<std::int32_t>(id)).plainFor(normalized);
    if (hasProgram(id)) return presetFor(normalized);
    return host::clamp01(normalized) >= 0.5 ? 1.0 : 0.0;
}

ParamValue Parameters::toNormalized(ParamID id, ParamValue plain) const {
    if (find(id)) return values_.plain(static_cast<std::int32_t>(id)).normalizedFor(plain);
    if (hasProgram(id)) {
        if (std::isnan(plain)) return 0.0;
        const double clamped = plain < 0 ? 0 : (plain > presets() - 1 ? presets() - 1 : plain);
        return programValue(static_cast<std::int32_t>(std::lround(clamped)));
    }
    return plain >= 0.5 ? 1.0 : 0.0;
}

} // namespace corvid::vst3
