#pragma once
// What every plug-in format asks of a parameter beyond the client's own calls: how
// many steps it has, whether it is discrete, its value texts within a host's
// buffer, and its value in the plain (unnormalised) units some formats carry.

#include "corvid/client/params.h"

#include <cstddef>
#include <cstdint>

namespace corvid::host {

// Steps reported for a continuous parameter.
inline constexpr std::int32_t kContinuousSteps = 2048;
// Longest value text handed to a host, terminator included.
inline constexpr std::int32_t kMaxValueText = 32;
// Plain values carry no minus infinity: a gain at or below this floor is silence.
inline constexpr double kGainFloorDb = -120.0;

double clamp01(double x);

// A parameter a product keeps for later (named "Reserved ..."): saved in the state
// but offered to no host's automation.
bool isReserved(const Parameter& parameter);

// max - min + 1 for integer and enumerated parameters, 2 for switches,
// kContinuousSteps otherwise.
std::int32_t parameterSteps(const Parameter& parameter);

// Buffer size for a text a host asked for at most maxLength bytes of (0 to kMaxValueText).
std::size_t valueTextSize(std::int32_t maxLength);

// Text of a normalised value into buffer (size bytes, at most kMaxValueText). A NaN
// has no text: answers false and leaves the buffer alone. Out-of-range values are
// clamped first, since the logarithmic curve does not clamp by itself.
bool textForHostValue(Parameter& parameter, double normalized, char* buffer, std::size_t size);

enum class PlainKind { linear, logarithmic, integer, enumeration, toggle };

// One parameter seen in plain units: the form in which some formats carry values
// on their ports. Built once on the main thread; current() and normalizedFor()
// run on the audio thread (atomic loads and arithmetic only).
class PlainValue {
public:
    explicit PlainValue(Parameter& parameter);

    Parameter& parameter() const { return *parameter_; }
    PlainKind kind() const { return kind_; }
    double minimum() const { return min_; }
    double maximum() const { return max_; }
    double defaultValue() const { return default_; }

    // The parameter's value now, in plain units within [minimum, maximum].
    double current() const;
    // The parameter's normalised value now, without its lock (for the audio thread).
    double currentNormalized() const;
    // Normalised value for a plain one; out-of-range input is clamped, discrete
    // kinds round to the nearest step. NaN stays NaN (the parameter ignores it).
    double normalizedFor(double plain) const;
    // Plain value of a normalised one, within [minimum, maximum].
    double plainFor(double normalized) const;

private:
    double clampPlain(double plain) const;

    Parameter* parameter_;
    FloatParameter* float_ = nullptr;
    IntegerParameter* integer_ = nullptr;
    BoolParameter* toggle_ = nullptr;
    PlainKind kind_ = PlainKind::linear;
    double min_ = 0.0;
    double max_ = 1.0;
    double default_ = 0.0;
};

} // namespace corvid::host
