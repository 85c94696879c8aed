#pragma once
// The AAX editor object: opens the client's editor in the host's view container
// and reports its size.

#include "corvid/aax/acf.h"
#include "corvid/aax/client.h"
#include "corvid/host/editorsession.h"

namespace corvid::aax {

class AAX_VViewContainer {
public:
    explicit AAX_VViewContainer(AAX_IACFViewContainer* container = nullptr)
        : container_(container) {}
    bool valid() const { return container_ != nullptr; }
    void* GetPtr() const { return container_ ? container_->GetPtr() : nullptr; }

private:
    AAX_IACFViewContainer* container_;
};

class AAX_CEffectGUI : public AAX_CACFUnknown<AAX_IACFEffectGUI> {
public:
    AAX_Result Initialize(AAX_IACFController* controller) override;
    AAX_Result Uninitialize() override;
    AAX_Result SetViewContainer(AAX_IACFViewContainer* container) override;
    AAX_Result GetViewSize(AAX_Point* size) const override;
    AAX_Result TimerWakeup() override;

protected:
    const AAX_VController& controller() const { return controller_; }

private:
    AAX_VController controller_;
};

class AAXEffectGUI : public AAX_CEffectGUI {
public:
    ~AAXEffectGUI() override;
    AAX_Result Initialize(AAX_IACFController* controller) override;
    AAX_Result Uninitialize() override;
    AAX_Result SetViewContainer(AAX_IACFViewContainer* container) override;
    AAX_Result GetViewSize(AAX_Point* size) const override;
    // Lets the editor's window handle its queued input and animation.
    AAX_Result TimerWakeup() override;

private:
    void close();

    // The parameters object of the same instance; the host keeps it alive for as
    // long as the editor, and the reference taken here makes sure of it.
    AAXClient* effect_ = nullptr;
    host::EditorSession session_;
};

} // namespace corvid::aax
