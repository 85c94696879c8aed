#pragma once
// The editor of the plug-in linked into the command-line host, drawn without a
// display. Everything else still goes through the plug-in's entry points and
// host interfaces.

#include "corvid/graphics/color.h"
#include "corvid/graphics/image.h"
#include "tools/aaxhost/linkedplugin.h"

#include <cstdint>
#include <memory>

namespace corvid {
class GUIGraphics;
class HeadlessWindow;
} // namespace corvid

namespace spatium::host {

// The editor of an instance of the linked plug-in, opened on a window without a
// display. Throws HostError when the instance is not of the linked plug-in.
class HeadlessEditor {
public:
    explicit HeadlessEditor(Instance& instance);
    ~HeadlessEditor();
    HeadlessEditor(const HeadlessEditor&) = delete;
    HeadlessEditor& operator=(const HeadlessEditor&) = delete;

    // One 15 ms animation tick and the redraw it causes.
    void frame();
    // Repaints the whole window and returns what it shows (RGBA).
    const corvid::OwnedImage<corvid::RGBA>& picture();

private:
    corvid::GUIGraphics* editor_ = nullptr;
    corvid::HeadlessWindow* window_ = nullptr;
};

} // namespace spatium::host
