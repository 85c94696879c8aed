#include "corvid/core/init.h"

#include "corvid/core/cpu.h"

#include <atomic>
#include <mutex>

namespace corvid {

namespace {
std::once_flag gInitOnce;
std::atomic<bool> gInitialized{false};
std::atomic<int> gInitializationRuns{0};
} // namespace

void globalInitialize() {
    std::call_once(gInitOnce, [] {
        gInitializationRuns.fetch_add(1, std::memory_order_relaxed);
        // Processor features are probed once so that run-time dispatch never
        // queries CPUID on an audio or paint path.
        (void)cpuFeatures();
        gInitialized.store(true, std::memory_order_release);
    });
}

bool isGloballyInitialized() {
    return gInitialized.load(std::memory_order_acquire);
}

int globalInitializationRuns() {
    return gInitializationRuns.load(std::memory_order_relaxed);
}

} // namespace corvid
