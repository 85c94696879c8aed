#pragma once
// Looking up what a host offers in the null-terminated feature list it passes to
// a plug-in or a UI.

#include <lv2/core/lv2.h>

#include <cstring>

namespace corvid::lv2 {

// The data of the feature with this URI, or null when the host does not offer it.
inline const void* findFeature(const LV2_Feature* const* features, const char* uri) {
    if (!features) return nullptr;
    for (const LV2_Feature* const* f = features; *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

} // namespace corvid::lv2
