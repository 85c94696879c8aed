#include "corvid/host/gestures.h"

namespace corvid::host {

Gestures::Gestures(std::int32_t parameterCount, HostValues* values, DawKind host)
    : values_(values), host_(host), open_(static_cast<std::size_t>(parameterCount), false) {}

Gestures::~Gestures() {
    endAll();
}

void Gestures::attach(IEditSink* sink) {
    if (sink == sink_) return;
    endAll();
    sink_ = sink;
}

void Gestures::endAll() {
    for (std::size_t i = 0; i < open_.size(); ++i)
        if (open_[i]) endParameterEdit(static_cast<std::int32_t>(i));
}

bool Gestures::isOpen(std::int32_t index) const {
    return valid(index) && open_[static_cast<std::size_t>(index)];
}

void Gestures::beginParameterEdit(std::int32_t index) {
    if (!valid(index) || open_[static_cast<std::size_t>(index)]) return;
    open_[static_cast<std::size_t>(index)] = true;
    if (values_) values_->hold(index, true);
    if (sink_) sink_->beginEdit(index);
}

void Gestures::automateParameter(std::int32_t index, float normalized) {
    if (!valid(index)) return;
    if (sink_) sink_->performEdit(index, static_cast<double>(normalized));
}

void Gestures::endParameterEdit(std::int32_t index) {
    if (!valid(index) || !open_[static_cast<std::size_t>(index)]) return;
    open_[static_cast<std::size_t>(index)] = false;
    if (values_) values_->hold(index, false);
    if (sink_) sink_->endEdit(index);
}

bool Gestures::requestEditorResize(std::int32_t, std::int32_t) {
    return false;
}

} // namespace corvid::host
