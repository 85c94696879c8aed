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
    session_.close();
    // A drag cut short by the closing must not leave the host holding the parameter.
    if (effect_) effect_->gestures().endAll();
}

AAX_Result AAXEffectGUI::SetViewContainer(AAX_IACFViewContainer* container) {
    if (!effect_) return AAX_ERROR_NULL_ARGUMENT;
    FpEnvironmentGuard fpGuard;
    if (!container) {
        close();
        return AAX_SUCCESS;
    }
    if (!session_.open(effect_->client(), AAX_VViewContainer(container).GetPtr(),
                       DawKind::protools))
        return AAX_ERROR_UNIMPLEMENTED;
    return AAX_SUCCESS;
}

AAX_Result AAXEffectGUI::TimerWakeup() {
    if (!session_.isOpen()) return AAX_SUCCESS;
    FpEnvironmentGuard fpGuard;
    session_.idle();
    return AAX_SUCCESS;
}

AAX_Result AAXEffectGUI::GetViewSize(AAX_Point* size) const {
    if (!effect_) return AAX_ERROR_NULL_ARGUMENT;
    if (!size) return AAX_ERROR_NULL_ARGUMENT;
    // Never wait for the editor: when someone else holds it, the host keeps the
    // size it already has.
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (host::editorSizeWithToken(effect_->client(), width, height)) {
        size->horz = static_cast<float>(width);
        size->vert = static_cast<float>(height);
    }
    return AAX_SUCCESS;
}

} // namespace corvid::aax
