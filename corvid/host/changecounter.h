#pragma once
// Counts parameter changes so a host can tell that the plug-in's state is dirty.

#include "corvid/client/params.h"

#include <atomic>
#include <cstdint>

namespace corvid::host {

class ChangeCounter : public IParameterListener {
public:
    void parameterChanged(Parameter*) override { count_.fetch_add(1); }
    void parameterEditBegun(Parameter*) override {}
    void parameterEditEnded(Parameter*) override {}
    // Never negative, whatever the number of changes.
    std::int32_t count() const { return count_.load() & 0x7FFFFFFF; }

private:
    std::atomic<std::int32_t> count_{0};
};

} // namespace corvid::host
