#include "corvid/client/params.h"

#include "corvid/client/client.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace corvid {

namespace {

double clamp01(double x) {
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

double clampTo(double x, double a, double b) {
    return x < a ? a : (x > b ? b : x);
}

// Host and chunk values are trusted to be normalised; a NaN would otherwise slip
// through every clamp and reach the audio path.
bool sanitizeNormalized(double& n) {
    if (std::isnan(n)) return false;
    n = clamp01(n);
    return true;
}

// The numeric parsers read at most 63 characters from a zero-terminated copy.
bool copyForScan(std::string_view text, char (&buffer)[kParseBufferSize]) {
    if (text.size() >= kParseBufferSize) return false;
    std::snprintf(buffer, sizeof buffer, "%.*s", static_cast<int>(text.size()), text.data());
    return true;
}

constexpr double kDbPerNeper = 8.685889638065035;   // 20 / ln 10
constexpr double kNeperPerDb = 0.11512925464970229; // ln 10 / 20

} // namespace

// ---------------------------------------------------------------- Parameter

Parameter::Parameter(std::int32_t index, std::string name, std::string label)
    : index_(index), name_(std::move(name)), label_(std::move(label)) {}

std::string_view Parameter::name() const {
    return name_;
}
std::string_view Parameter::label() const {
    return label_;
}
std::int32_t Parameter::index() const {
    return index_;
}

void Parameter::applyFromHost(double normalized) {
    storeNormalized(normalized);
    notifyListeners();
}

double Parameter::valueForHost() {
    return normalizedValue();
}

void Parameter::displayForHost(char* buffer, std::size_t size) {
    formatValue(buffer, size);
}

void Parameter::addListener(IParameterListener* listener) {
    std::lock_guard guard(listenersLock_);
    if (listeners_.size() == listeners_.capacity()) listeners_.reserve(2 * (listeners_.size() + 1));
    listeners_.push_back(listener);
}

void Parameter::removeListener(IParameterListener* listener) {
    std::lock_guard guard(listenersLock_);
    auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it == listeners_.end()) return;
    // Order is not kept: the last listener takes the removed one's place.
    *it = listeners_.back();
    listeners_.pop_back();
}

std::size_t Parameter::listenerCount() const {
    std::lock_guard guard(listenersLock_);
    return listeners_.size();
}

IParameterListener* Parameter::listenerAt(std::size_t i) const {
    std::lock_guard guard(listenersLock_);
    return i < listeners_.size() ? listeners_[i] : nullptr;
}

void Parameter::beginEdit() {
    if (client_ && client_->hostCommand()) client_->hostCommand()->beginParameterEdit(index_);
    std::lock_guard guard(listenersLock_);
    for (std::size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->parameterEditBegun(this);
}

void Parameter::endEdit() {
    if (client_ && client_->hostCommand()) client_->hostCommand()->endParameterEdit(index_);
    std::lock_guard guard(listenersLock_);
    for (std::size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->parameterEditEnded(this);
}

void Parameter::notifyListeners() {
    std::lock_guard guard(listenersLock_);
    // Indexed walk: a listener that removes itself must not invalidate the loop.
    for (std::size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->parameterChanged(this);
}

void Parameter::editorChangeHook() {}

void Parameter::reportEditorChange(double normalized) {
    if (client_ && client_->hostCommand()) {
        client_->hostCommand()->automateParameter(index_, static_cast<float>(normalized));
    }
    notifyListeners();
}

// ---------------------------------------------------------------- FloatParameter

FloatParameter::FloatParameter(std::int32_t index, std::string name, std::string label, double min,
                               double max, double defaultValue)
    : Parameter(index, std::move(name), std::move(label)), value_(defaultValue), min_(min),
      max_(max), default_(defaultValue) {}

double FloatParameter::normalizedValue() {
    ScopedLock guard(valueLock());
    return toNormalized(value_.load(std::memory_order_relaxed));
}

double FloatParameter::normalizedDefault() {
    return toNormalized(default_);
}

void FloatParameter::textForNormalized(double normalized, char* buffer, std::size_t size) {
    std::snprintf(buffer, size, formatString_, fromNormalized(normalized));
}

bool FloatParameter::parseNormalized(std::string_view text, double& normalized) {
    char buffer[kParseBufferSize];
    if (!copyForScan(text, buffer)) return false;
    float v = 0.0f;
    if (std::sscanf(buffer, "%f", &v) != 1) return false;
    normalized = toNormalized(static_cast<double>(v));
    return true;
}

void FloatParameter::storeNormalized(double normalized) {
    if (!sanitizeNormalized(normalized)) return;
    ScopedLock guard(valueLock());
    value_.exchange(fromNormalized(normalized));
}

void FloatParameter::storeNormalizedFromAudio(double normalized) {
    if (!sanitizeNormalized(normalized)) return;
    value_.exchange(fromNormalized(normalized));
}

void FloatParameter::formatValue(char* buffer, std::size_t size) {
    double v;
    {
        ScopedLock guard(valueLock());
        v = value_.load(std::memory_order_relaxed);
    }
    std::snprintf(buffer, size, formatString_, v);
}

void FloatParameter::setDecimals(int digits) {
    formatString_[3] = static_cast<char>('0' + std::clamp(digits, 0, 9));
}

void FloatParameter::setFromEditor(double plain) {
    editorChangeHook();
    if (std::isnan(plain)) return;
    double n;
    {
        ScopedLock guard(valueLock());
        double v = plain;
        if (v < min_) v = min_;
        if (v > max_) v = max_;
        value_.exchange(v);
        n = normalizedValue();
    }
    reportEditorChange(n);
}

double LinearFloatParameter::toNormalized(double plain) {
    return clamp01((plain - min()) / (max() - min()));
}

double LinearFloatParameter::fromNormalized(double normalized) {
    return clampTo(min() + (max() - min()) * normalized, min(), max());
}

double LogFloatParameter::toNormalized(double plain) {
    return clamp01(std::log(plain / min()) / std::log(max() / min()));
}

double LogFloatParameter::fromNormalized(double normalized) {
    return min() * std::exp(std::log(max() / min()) * normalized);
}

PowFloatParameter::PowFloatParameter(std::int32_t index, std::string name, std::string label,
                                     double min, double max, double defaultValue, double shape)
    : FloatParameter(index, std::move(name), std::move(label), min, max, defaultValue),
      shape_(shape) {}

double PowFloatParameter::toNormalized(double plain) {
    return std::pow(clamp01((plain - min()) / (max() - min())), 1.0 / shape_);
}

double PowFloatParameter::fromNormalized(double normalized) {
    return clampTo(min() + (max() - min()) * std::pow(normalized, shape_), min(), max());
}

GainParameter::GainParameter(std::int32_t index, std::string name, double maxDb, double defaultDb)
    : FloatParameter(index, std::move(name), "dB", -std::numeric_limits<double>::infinity(), maxDb,
                     defaultDb) {
    setDecimals(1);
}

double GainParameter::toNormalized(double plain) {
    return clamp01(
        std::pow(std::exp(plain * kNeperPerDb) / std::exp(max() * kNeperPerDb), 1.0 / shape_));
}

double GainParameter::fromNormalized(double normalized) {
    return std::log(std::exp(max() * kNeperPerDb) * std::pow(normalized, shape_)) * kDbPerNeper;
}

// ---------------------------------------------------------------- IntegerParameter

IntegerParameter::IntegerParameter(std::int32_t index, std::string name, std::string label,
                                   std::int32_t min, std::int32_t max, std::int32_t defaultValue)
    : Parameter(index, std::move(name), std::move(label)),
      value_(std::clamp(defaultValue, min, std::max(min, max))), min_(min), max_(max),
      default_(std::clamp(defaultValue, min, std::max(min, max))) {}

double IntegerParameter::normalizedForInteger(std::int32_t v) const {
    return clamp01((static_cast<double>(v) - min_) / (static_cast<double>(max_) - min_));
}

std::int32_t IntegerParameter::integerForNormalized(double normalized) const {
    double x = min_ + (static_cast<double>(max_) - min_) * normalized;
    x = x >= 0.0 ? x + 0.5 : x - 0.5;
    // Clamp before converting: a far-out value must not overflow the conversion.
    x = std::trunc(clampTo(x, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
    return std::clamp(static_cast<std::int32_t>(x), min_, max_);
}

double IntegerParameter::normalizedValue() {
    ScopedLock guard(valueLock());
    return normalizedForInteger(value_.load(std::memory_order_relaxed));
}

double IntegerParameter::normalizedDefault() {
    return normalizedForInteger(default_);
}

void IntegerParameter::textForNormalized(double normalized, char* buffer, std::size_t size) {
    std::snprintf(buffer, size, "%d", integerForNormalized(normalized));
}

bool IntegerParameter::parseNormalized(std::string_view text, double& normalized) {
    char buffer[kParseBufferSize];
    if (!copyForScan(text, buffer)) return false;
    // Read wide so that an over-long number clamps instead of overflowing an int.
    long long v = 0;
    if (std::sscanf(buffer, "%lld", &v) != 1) return false;
    const double d = clampTo(static_cast<double>(v), INT_MIN, INT_MAX);
    normalized = clamp01((d - min_) / (static_cast<double>(max_) - min_));
    return true;
}

void IntegerParameter::storeNormalized(double normalized) {
    if (!sanitizeNormalized(normalized)) return;
    ScopedLock guard(valueLock());
    value_.exchange(integerForNormalized(normalized));
}

void IntegerParameter::storeNormalizedFromAudio(double normalized) {
    if (!sanitizeNormalized(normalized)) return;
    value_.exchange(integerForNormalized(normalized));
}

void IntegerParameter::formatValue(char* buffer, std::size_t size) {
    std::int32_t v;
    {
        ScopedLock guard(valueLock());
        v = value_.load(std::memory_order_relaxed);
    }
    std::snprintf(buffer, size, "%d", v);
}

void IntegerParameter::setFromEditor(std::int32_t plain) {
    editorChangeHook();
    double n;
    {
        ScopedLock guard(valueLock());
        std::int32_t v = plain;
        if (v < min_) v = min_;
        if (v > max_) v = max_;
        value_.exchange(v);
        n = normalizedValue();
    }
    reportEditorChange(n);
}

// ---------------------------------------------------------------- EnumParameter

EnumParameter::EnumParameter(std::int32_t index, std::string name,
                             std::vector<std::string_view> possibleValues,
                             std::int32_t defaultIndex)
    : IntegerParameter(index, std::move(name), "", 0,
                       static_cast<std::int32_t>(possibleValues.size()) - 1, defaultIndex),
      possibleValues_(std::move(possibleValues)) {}

void EnumParameter::textForNormalized(double normalized, char* buffer, std::size_t size) {
    const std::string_view entry = possibleValues_[integerForNormalized(normalized)];
    std::snprintf(buffer, size, "%.*s", static_cast<int>(entry.size()), entry.data());
}

bool EnumParameter::parseNormalized(std::string_view text, double& normalized) {
    for (std::size_t i = 0; i < possibleValues_.size(); ++i) {
        if (possibleValues_[i] == text) {
            normalized = normalizedForInteger(static_cast<std::int32_t>(i));
            return true;
        }
    }
    return false;
}

void EnumParameter::formatValue(char* buffer, std::size_t size) {
    if (size == 0) return;
    std::int32_t v;
    {
        ScopedLock guard(valueLock());
        v = value();
    }
    const std::string_view entry = possibleValues_[v];
    const std::size_t n = std::min(entry.size(), size - 1);
    std::memcpy(buffer, entry.data(), n);
    buffer[n] = '\0';
}

// ---------------------------------------------------------------- BoolParameter

BoolParameter::BoolParameter(std::int32_t index, std::string name, bool defaultValue)
    : Parameter(index, std::move(name), ""), value_(defaultValue), default_(defaultValue) {}

double BoolParameter::normalizedValue() {
    ScopedLock guard(valueLock());
    return value_.load(std::memory_order_relaxed) ? 1.0 : 0.0;
}

double BoolParameter::normalizedDefault() {
    return default_ ? 1.0 : 0.0;
}

void BoolParameter::textForNormalized(double normalized, char* buffer, std::size_t size) {
    std::snprintf(buffer, size, "%s", normalized >= 0.5 ? "yes" : "no");
}

bool BoolParameter::parseNormalized(std::string_view text, double& normalized) {
    if (text == "no") {
        normalized = 0.0;
        return true;
    }
    if (text == "yes") {
        normalized = 1.0;
        return true;
    }
    return false;
}

void BoolParameter::storeNormalized(double normalized) {
    if (std::isnan(normalized)) return;
    ScopedLock guard(valueLock());
    value_.exchange(normalized >= 0.5);
}

void BoolParameter::storeNormalizedFromAudio(double normalized) {
    if (std::isnan(normalized)) return;
    value_.exchange(normalized >= 0.5);
}

void BoolParameter::formatValue(char* buffer, std::size_t size) {
    bool v;
    {
        ScopedLock guard(valueLock());
        v = value_.load(std::memory_order_relaxed);
    }
    std::snprintf(buffer, size, "%s", v ? "yes" : "no");
}

void BoolParameter::setFromEditor(bool plain) {
    editorChangeHook();
    double n;
    {
        ScopedLock guard(valueLock());
        value_.exchange(plain);
        n = normalizedValue();
    }
    reportEditorChange(n);
}

} // namespace corvid
