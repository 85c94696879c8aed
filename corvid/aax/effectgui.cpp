#include "corvid/aax/effectgui.h"

#include "corvid/core/fpcontrol.h"

namespace corvid::aax {

AAX_Result AAX_CEffectGUI::Initialize(AAX_IACFController* controller) {
    controller_ = AAX_VController(controller);
    return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI::Uninitialize() {
    controller_ = AAX_VController();
    return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI::SetViewContainer(AAX_IACFViewContainer*) {
    return AAX_ERROR_UNIMPLEMENTED;
}

AAX_Result AAX_CEffectGUI::GetViewSize(AAX_Point*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}

AAX_Result AAX_CEffectGUI::TimerWakeup() {
    return AAX_SUCCESS;
}

AAXEffectGUI::~AAXEffectGUI() {
    Uninitialize();
}

AAX_Result AAXEffectGUI::Initialize(AAX_IACFController* controller) {
    AAX_CEffectGUI::Initialize(controller);
    // Both objects of an instance live in this library, so the host's parameters
    // object is known to be ours when the cast succeeds.
    auto* effect = dynamic_cast<AAXClient*>(this->controller().GetEffectParameters());
    if (!effect) return AAX_ERROR_NULL_ARGUMENT;
    if (effect_) effect_->Release();
    effect->AddRef();
    effect_ = effect;
    return AAX_SUCCESS;
}

AAX_Result AAXEffectGUI::Uninitialize() {
    close();
    if (effect_) {
        effect_->Release();
        effect_ = nullptr;
    }
    return AAX_CEffectGUI::Uninitialize();
}

void AAXEffectGUI::close() {
    if (!open_ || !effect_) return;
    if (IGraphics* editor = effect_->client().ensureEditor()) editor->closeEditor();
    open_ = false;
}

AAX_Result AAXEffectGUI::SetViewContainer(AAX_IACFViewContainer* container) {
    if (!effect_) return AAX_ERROR_NULL_ARGUMENT;
    FpEnvironmentGuard fpGuard;
    if (!container) {
        close();
        return AAX_SUCCESS;
    }
    IGraphics* editor = effect_->client().ensureEditor();
    if (!editor) return AAX_ERROR_UNIMPLEMENTED;
    // A second container without a clear in between replaces the first window.
    close();
    editor->openEditor(AAX_VViewContainer(container).GetPtr(), nullptr, DawKind::protools, 0);
    open_ = true;
    return AAX_SUCCESS;
}

AAX_Result AAXEffectGUI::TimerWakeup() {
    if (!open_ || !effect_) return AAX_SUCCESS;
    FpEnvironmentGuard fpGuard;
    if (IGraphics* editor = effect_->client().ensureEditor()) editor->idleEditor();
    return AAX_SUCCESS;
}

AAX_Result AAXEffectGUI::GetViewSize(AAX_Point* size) const {
    if (!effect_) return AAX_ERROR_NULL_ARGUMENT;
    if (!size) return AAX_ERROR_NULL_ARGUMENT;
    Client& client = effect_->client();
    // Never wait for the editor: when someone else holds it, the host keeps the
    // size it already has.
    if (IGraphics* editor = client.tryTakeEditor()) {
        std::int32_t width = 0;
        std::int32_t height = 0;
        editor->editorSize(&width, &height);
        client.releaseEditor();
        size->horz = static_cast<float>(width);
        size->vert = static_cast<float>(height);
    }
    return AAX_SUCCESS;
}

} // namespace corvid::aax
