#include "tools/spatium/linked.h"

#include "corvid/aax/client.h"
#include "corvid/gui/graphics.h"
#include "corvid/window/headlesswindow.h"

extern "C" {
AAX_Result ACFStartup(AAX_IACFHost* host);
AAX_Result ACFShutdown(AAX_IACFHost* host);
AAX_Result ACFCanUnloadNow(AAX_IACFHost* host);
AAX_Result ACFGetSDKVersion(std::uint64_t* version);
AAX_Result ACFGetClassFactory(AAX_IACFHost* host, const acfUID* classID, const acfUID* interfaceID,
                              void** factory);
AAX_Result ACFRegisterComponent(AAX_IACFHost* host, std::uint32_t index, void** definition);
AAX_Result ACFRegisterPlugin(AAX_IACFHost* host, AAX_IACFCollection** definition);
AAX_Result CorvidEnumerateTFX(CorvidTFXCallback callback, void* userData);
}

namespace spatium::host {

Exports linkedPluginExports() {
    Exports e;
    e.startup = &ACFStartup;
    e.shutdown = &ACFShutdown;
    e.canUnloadNow = &ACFCanUnloadNow;
    e.getSDKVersion = &ACFGetSDKVersion;
    e.getClassFactory = &ACFGetClassFactory;
    e.registerComponent = &ACFRegisterComponent;
    e.registerPlugin = &ACFRegisterPlugin;
    e.enumerateTFX = &CorvidEnumerateTFX;
    return e;
}

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
