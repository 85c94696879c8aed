#pragma once
// A client with the real editor, and helpers to look at what it drew.

#include "corvid/client/client.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/window/headlesswindow.h"
#include "spatium/gui/editor.h"
#include "spatium/gui/layout.h"
#include "spatium/spatium.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace spatium::testing {

inline std::unique_ptr<SpatiumClient> clientWithEditor() {
    return corvid::createClient<SpatiumClient>(&createSpatiumEditor);
}

inline SpatiumGUI& editorOf(SpatiumClient& client) {
    return *static_cast<SpatiumGUI*>(client.ensureEditor());
}

inline corvid::Parameter* parameterNamed(corvid::Client& client, std::string_view name) {
    for (std::int32_t i = 0; i < client.parameterCount(); ++i)
        if (client.parameter(i)->name() == name) return client.parameter(i);
    return nullptr;
}

// Names of the parameters an element listens to.
inline std::set<std::string> boundNames(corvid::Client& client, const corvid::UIElement& e) {
    std::set<std::string> names;
    const auto* listener = dynamic_cast<const corvid::IParameterListener*>(&e);
    // A knob registers a hook of its own rather than itself.
    if (const auto* knob = dynamic_cast<const corvid::UIKnob*>(&e))
        listener = knob->parameterHook();
    if (!listener) return names;
    for (std::int32_t i = 0; i < client.parameterCount(); ++i) {
        corvid::Parameter* p = client.parameter(i);
        for (std::size_t k = 0; k < p->listenerCount(); ++k)
            if (p->listenerAt(k) == listener) names.emplace(p->name());
    }
    return names;
}

// Runs the editor headless until its animations have settled, then repaints the
// whole window and returns what it shows.
inline corvid::OwnedImage<corvid::RGBA>
fullPicture(corvid::GUIGraphics& gui, corvid::HeadlessWindow& window, int settleFrames = 120) {
    for (int i = 0; i < settleFrames; ++i) window.pumpEvents();
    gui.getContext().addDirtyRect({0, 0, layout::kEditorWidth, layout::kEditorHeight});
    window.tick();
    window.paint();
    const auto& screen = window.screen();
    corvid::OwnedImage<corvid::RGBA> copy(screen.width(), screen.height());
    for (std::int32_t y = 0; y < screen.height(); ++y)
        std::copy(screen.rowSpan(y).begin(), screen.rowSpan(y).end(), copy.rowSpan(y).begin());
    return copy;
}

inline corvid::IntRect grown(const corvid::IntRect& r, std::int32_t by) {
    return {r.minX - by, r.minY - by, r.maxX + by, r.maxY + by};
}

// Pixels that differ between a and b outside every allowed rectangle.
inline int differencesOutside(const corvid::OwnedImage<corvid::RGBA>& a,
                              const corvid::OwnedImage<corvid::RGBA>& b,
                              const std::vector<corvid::IntRect>& allowed) {
    int count = 0;
    for (std::int32_t y = 0; y < a.height(); ++y)
        for (std::int32_t x = 0; x < a.width(); ++x) {
            const bool inside = std::any_of(allowed.begin(), allowed.end(), [&](const auto& r) {
                return x >= r.minX && x < r.maxX && y >= r.minY && y < r.maxY;
            });
            if (!inside && !(a.rowSpan(y)[std::size_t(x)] == b.rowSpan(y)[std::size_t(x)])) ++count;
        }
    return count;
}

} // namespace spatium::testing
