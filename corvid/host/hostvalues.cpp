#include "corvid/host/hostvalues.h"

#include <cmath>

namespace corvid::host {

HostValues::HostValues(Client& client) : client_(client) {
    const auto n = static_cast<std::size_t>(client_.parameterCount());
    plain_.reserve(n);
    for (std::int32_t i = 0; i < client_.parameterCount(); ++i)
        plain_.emplace_back(*client_.parameter(i));
    changed_ = std::make_unique<std::atomic<bool>[]>(n);
    held_ = std::make_unique<std::atomic<bool>[]>(n);
}

bool HostValues::takeNormalized(std::int32_t index, double normalized) {
    if (!valid(index) || std::isnan(normalized) || isHeld(index)) return false;
    const double clamped = clamp01(normalized);
    if (sameAtHostPrecision(clamped, plain(index).currentNormalized())) return false;
    store(index, clamped);
    return true;
}

bool HostValues::takePlain(std::int32_t index, double plainValue) {
    if (!valid(index) || std::isnan(plainValue) || isHeld(index)) return false;
    const PlainValue& p = plain(index);
    if (sameAtHostPrecision(plainValue, p.current())) return false;
    store(index, p.normalizedFor(plainValue));
    return true;
}

bool HostValues::applyPlainNow(std::int32_t index, double plainValue) {
    if (!valid(index) || std::isnan(plainValue) || isHeld(index)) return false;
    const PlainValue& p = plain(index);
    if (sameAtHostPrecision(plainValue, p.current())) return false;
    // Stored without telling the host: it is the host's own value.
    p.parameter().applyFromHost(p.normalizedFor(plainValue));
    return true;
}

bool HostValues::applyNormalizedNow(std::int32_t index, double normalized) {
    if (!valid(index) || std::isnan(normalized) || isHeld(index)) return false;
    const double clamped = clamp01(normalized);
    const PlainValue& p = plain(index);
    if (sameAtHostPrecision(clamped, p.currentNormalized())) return false;
    p.parameter().applyFromHost(clamped);
    return true;
}

void HostValues::store(std::int32_t index, double normalized) {
    plain(index).parameter().storeNormalizedFromAudio(normalized);
    changed_[static_cast<std::size_t>(index)].store(true, std::memory_order_release);
}

void HostValues::hold(std::int32_t index, bool held) {
    if (valid(index)) held_[static_cast<std::size_t>(index)].store(held, std::memory_order_release);
}

bool HostValues::isHeld(std::int32_t index) const {
    return valid(index) && held_[static_cast<std::size_t>(index)].load(std::memory_order_acquire);
}

std::int32_t HostValues::deliver() {
    std::int32_t n = 0;
    for (std::int32_t i = 0; i < count(); ++i)
        if (changed_[static_cast<std::size_t>(i)].exchange(false, std::memory_order_acq_rel)) {
            client_.parameter(i)->notifyListeners();
            ++n;
        }
    return n;
}

} // namespace corvid::host
