#pragma once
// The client's parameters as a VST3 host sees them: the client's own by their
// index as ParamID (stable: the state chunk stores values in that order), plus
// the two a VST3 host expects of an effect: a bypass, and a program change that
// selects one of the factory presets from the host's program list.

#include "corvid/client/client.h"
#include "corvid/host/hostvalues.h"
#include "corvid/vst3/abi.h"

#include <cstdint>

namespace corvid::vst3 {

inline constexpr ParamID kBypassId = 1000;
inline constexpr ParamID kProgramId = 1001;
inline constexpr ProgramListID kFactoryProgramList = 1;

class Parameters {
public:
    Parameters(Client& client, host::HostValues& values);

    // The client's, then bypass, then the program change when there are presets.
    int32 count() const;
    // The client's parameter with this ID, or null for bypass, program and unknown IDs.
    Parameter* find(ParamID id) const;
    bool known(ParamID id) const { return find(id) || id == kBypassId || hasProgram(id); }

    tresult info(int32 index, ParameterInfo& info) const;
    // Value texts through the client's own texts.
    tresult text(ParamID id, ParamValue normalized, String128 out) const;
    tresult parse(ParamID id, const TChar* text, ParamValue& normalized) const;
    ParamValue toPlain(ParamID id, ParamValue normalized) const;
    ParamValue toNormalized(ParamID id, ParamValue plain) const;

    // Normalised program value of preset p, and back.
    ParamValue programValue(std::int32_t preset) const;
    std::int32_t presetFor(ParamValue normalized) const;

private:
    bool hasProgram(ParamID id) const { return id == kProgramId && presets() > 0; }
    std::int32_t presets() const { return client_.presetBank().presetCount(); }

    Client& client_;
    host::HostValues& values_;
};

} // namespace corvid::vst3
