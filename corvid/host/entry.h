#pragma once
// What every exported entry point of a plug-in library does first and undoes last:
// the framework's one-time initialisation and its floating-point environment.

#include "corvid/core/fpcontrol.h"
#include "corvid/core/init.h"

#if defined(_WIN32)
#define CORVID_EXPORT extern "C" __declspec(dllexport)
#else
#define CORVID_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace corvid::host {

class EntryScope {
public:
    EntryScope() { globalInitialize(); }
    EntryScope(const EntryScope&) = delete;
    EntryScope& operator=(const EntryScope&) = delete;

private:
    // Set before the initialisation runs, restored after everything else.
    FpEnvironmentGuard fpGuard_;
};

} // namespace corvid::host
