#pragma once
// The editor's layout as data: every child's box and bound parameter and every
// value hint's anchor, read from layout.inc so the editor, its tests and the
// artwork share one list.

#include "corvid/graphics/rect.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace spatium::layout {

inline constexpr std::int32_t kEditorWidth = 763;
inline constexpr std::int32_t kEditorHeight = 494;

struct ChildPlace {
    std::string_view name;
    std::string_view widget;
    // The parameter the widget is bound to; empty for none. The panorama names the
    // first of the four it follows.
    std::string_view parameter;
    corvid::IntRect box;
};

struct HintPlace {
    std::string_view parameter;
    std::int32_t x, y;

    // The hint's plate sits just right of and below its anchor.
    constexpr corvid::IntRect box() const { return {x - 2, y, x + 38, y + 22}; }
};

#define SPATIUM_CHILD(name, widget, parameter, x0, y0, x1, y1)                                     \
    inline constexpr ChildPlace name{#name, #widget, parameter, {x0, y0, x1, y1}};
#define SPATIUM_HINT(parameter, x, y)
#include "spatium/gui/layout.inc"
#undef SPATIUM_CHILD
#undef SPATIUM_HINT

// In creation order.
inline constexpr std::array kChildren = {
#define SPATIUM_CHILD(name, widget, parameter, x0, y0, x1, y1) name,
#define SPATIUM_HINT(parameter, x, y)
#include "spatium/gui/layout.inc"
#undef SPATIUM_CHILD
#undef SPATIUM_HINT
};

inline constexpr std::array kHints = {
#define SPATIUM_CHILD(name, widget, parameter, x0, y0, x1, y1)
#define SPATIUM_HINT(parameter, x, y) HintPlace{parameter, x, y},
#include "spatium/gui/layout.inc"
#undef SPATIUM_CHILD
#undef SPATIUM_HINT
};

} // namespace spatium::layout
