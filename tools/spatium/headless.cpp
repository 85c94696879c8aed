#include "tools/spatium/headless.h"

#include "corvid/aax/client.h"
#include "corvid/gui/graphics.h"
#include "corvid/window/headlesswindow.h"

namespace spatium::host {

HeadlessEditor::HeadlessEditor(Instance& instance) {
    auto* adapter = dynamic_cast<corvid::aax::AAXClient*>(&instance.parameters());
    if (!adapter) throw HostError("the instance is not one of the plug-in linked into spatium");
    editor_ = dynamic_cast<corvid::GUIGraphics*>(adapter->client().ensureEditor());
    if (!editor_) throw HostError("the plug-in has no editor to draw");
    window_ = &editor_->openHeadlessEditor(corvid::PixelFormat::RGBA8);
}

HeadlessEditor::~HeadlessEditor() {
    editor_->closeEditor();
}

void HeadlessEditor::frame() {
    window_->pumpEvents();
}

const corvid::OwnedImage<corvid::RGBA>& HeadlessEditor::picture() {
    window_->paint();
    return window_->screen();
}

} // namespace spatium::host
