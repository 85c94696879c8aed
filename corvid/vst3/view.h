#pragma once
// The editor as a VST3 view: the client's editor embedded in the host's window,
// at its one size. On Linux the host's run loop drives it: one handler on the
// X connection and one timer, both registered while the view is attached and
// gone after removed(); the timer also drains what Xlib has already queued, which
// would never wake the descriptor. On Windows the window runs from the host's
// message loop, and a timer on it brings the host's values to the widgets.
//
// Main (UI) thread only.

#include "corvid/host/editorsession.h"
#include "corvid/vst3/abi.h"

#include <atomic>

namespace corvid::vst3 {

class Component;

inline constexpr uint64 kEditorTimerMs = 15;

class View final : public IPlugView,
                   public linux_ui::IEventHandler,
                   public linux_ui::ITimerHandler {
public:
    explicit View(Component& component);
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    tresult CORVID_VST3_CALL queryInterface(const TUID iid, void** obj) override;
    uint32 CORVID_VST3_CALL addRef() override;
    uint32 CORVID_VST3_CALL release() override;

    tresult CORVID_VST3_CALL isPlatformTypeSupported(FIDString type) override;
    tresult CORVID_VST3_CALL attached(void* parent, FIDString type) override;
    tresult CORVID_VST3_CALL removed() override;
    tresult CORVID_VST3_CALL onWheel(float distance) override;
    tresult CORVID_VST3_CALL onKeyDown(char16 key, int16 keyCode, int16 modifiers) override;
    tresult CORVID_VST3_CALL onKeyUp(char16 key, int16 keyCode, int16 modifiers) override;
    tresult CORVID_VST3_CALL getSize(ViewRect* size) override;
    tresult CORVID_VST3_CALL onSize(ViewRect* newSize) override;
    tresult CORVID_VST3_CALL onFocus(TBool state) override;
    tresult CORVID_VST3_CALL setFrame(IPlugFrame* frame) override;
    tresult CORVID_VST3_CALL canResize() override;
    tresult CORVID_VST3_CALL checkSizeConstraint(ViewRect* rect) override;

    void CORVID_VST3_CALL onFDIsSet(linux_ui::FileDescriptor fd) override;
    void CORVID_VST3_CALL onTimer() override;

    // The periodic work: the host's values to the widgets, the window's queue.
    void tick();

private:
    ViewRect editorRect();
    bool attachRunLoop();
    void detachRunLoop();

    std::atomic<uint32> references_{1};
    Component& component_;
    host::EditorSession session_;
    IPlugFrame* frame_ = nullptr;
    linux_ui::IRunLoop* runLoop_ = nullptr;
    bool handlerRegistered_ = false;
    bool timerRegistered_ = false;
    void* window_ = nullptr;
};

} // namespace corvid::vst3
