#include "corvid/host/editqueue.h"

namespace corvid::host {

EditQueue::EditQueue(std::int32_t parameterCount, std::size_t capacity)
    : begun_(static_cast<std::size_t>(parameterCount > 0 ? parameterCount : 0), false),
      reserve_(begun_.size()) {
    ring_.resize(capacity + reserve_ + 1);
}

std::size_t EditQueue::used() const {
    return write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
}

bool EditQueue::push(const Edit& edit, std::size_t keepFree) {
    if (used() + keepFree + 1 > ring_.size()) return false;
    const std::size_t at = write_.load(std::memory_order_relaxed);
    ring_[at % ring_.size()] = edit;
    write_.store(at + 1, std::memory_order_release);
    return true;
}

void EditQueue::beginEdit(std::int32_t index) {
    if (!valid(index) || begun_[static_cast<std::size_t>(index)]) return;
    if (push({Edit::Kind::begin, index, 0.0}, reserve_))
        begun_[static_cast<std::size_t>(index)] = true;
}

void EditQueue::performEdit(std::int32_t index, double normalized) {
    if (!valid(index)) return;
    push({Edit::Kind::value, index, normalized}, reserve_);
}

void EditQueue::endEdit(std::int32_t index) {
    if (!valid(index) || !begun_[static_cast<std::size_t>(index)]) return;
    begun_[static_cast<std::size_t>(index)] = false;
    // The reserve holds one end per parameter, so this always fits.
    push({Edit::Kind::end, index, 0.0}, 0);
}

const Edit* EditQueue::front() const {
    const std::size_t at = read_.load(std::memory_order_relaxed);
    if (at == write_.load(std::memory_order_acquire)) return nullptr;
    return &ring_[at % ring_.size()];
}

void EditQueue::pop() {
    const std::size_t at = read_.load(std::memory_order_relaxed);
    if (at != write_.load(std::memory_order_acquire))
        read_.store(at + 1, std::memory_order_release);
}

} // namespace corvid::host
