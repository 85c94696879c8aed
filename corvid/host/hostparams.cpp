#include "corvid/host/hostparams.h"

#include <algorithm>
#include <cmath>

namespace corvid::host {

double clamp01(double x) {
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

bool isReserved(const Parameter& parameter) {
    return parameter.name().substr(0, 9) == "Reserved ";
}

std::int32_t parameterSteps(const Parameter& parameter) {
    if (auto* integer = dynamic_cast<const IntegerParameter*>(&parameter))
        return integer->max() - integer->min() + 1;
    if (dynamic_cast<const BoolParameter*>(&parameter)) return 2;
    return kContinuousSteps;
}

std::size_t valueTextSize(std::int32_t maxLength) {
    return static_cast<std::size_t>(std::clamp(maxLength, 0, kMaxValueText));
}

bool textForHostValue(Parameter& parameter, double normalized, char* buffer, std::size_t size) {
    // The integer mapping has no answer for NaN.
    if (std::isnan(normalized)) return false;
    if (size > 0) parameter.textForNormalized(clamp01(normalized), buffer, size);
    return true;
}

PlainValue::PlainValue(Parameter& parameter) : parameter_(&parameter) {
    if ((float_ = dynamic_cast<FloatParameter*>(&parameter))) {
        kind_ = dynamic_cast<LogFloatParameter*>(&parameter) ? PlainKind::logarithmic
                                                             : PlainKind::linear;
        min_ = std::isinf(float_->min()) ? kGainFloorDb : float_->min();
        max_ = float_->max();
        default_ = std::clamp(float_->defaultValue(), min_, max_);
    } else if ((integer_ = dynamic_cast<IntegerParameter*>(&parameter))) {
        kind_ =
            dynamic_cast<EnumParameter*>(&parameter) ? PlainKind::enumeration : PlainKind::integer;
        min_ = integer_->min();
        max_ = integer_->max();
        default_ = integer_->defaultValue();
    } else if ((toggle_ = dynamic_cast<BoolParameter*>(&parameter))) {
        kind_ = PlainKind::toggle;
        min_ = 0.0;
        max_ = 1.0;
        default_ = toggle_->defaultValue() ? 1.0 : 0.0;
    }
}

double PlainValue::clampPlain(double plain) const {
    return plain < min_ ? min_ : (plain > max_ ? max_ : plain);
}

double PlainValue::current() const {
    if (float_) return clampPlain(float_->value());
    if (integer_) return integer_->value();
    if (toggle_) return toggle_->value() ? 1.0 : 0.0;
    return 0.0;
}

double PlainValue::currentNormalized() const {
    if (float_) return float_->toNormalized(float_->value());
    if (integer_) return integer_->normalizedForInteger(integer_->value());
    if (toggle_) return toggle_->value() ? 1.0 : 0.0;
    return 0.0;
}

double PlainValue::normalizedFor(double plain) const {
    if (std::isnan(plain)) return plain;
    if (float_) {
        // The floor stands for minus infinity on a gain, so it maps to silence.
        if (plain <= min_ && std::isinf(float_->min())) return 0.0;
        return float_->toNormalized(clampPlain(plain));
    }
    if (integer_)
        return integer_->normalizedForInteger(
            static_cast<std::int32_t>(std::lround(clampPlain(plain))));
    return plain >= 0.5 ? 1.0 : 0.0;
}

double PlainValue::plainFor(double normalized) const {
    if (float_) return clampPlain(float_->fromNormalized(clamp01(normalized)));
    if (integer_) return integer_->integerForNormalized(clamp01(normalized));
    return normalized >= 0.5 ? 1.0 : 0.0;
}

} // namespace corvid::host
