#include "corvid/vst3/view.h"

#include "corvid/core/fpcontrol.h"
#include "corvid/host/entry.h"
#include "corvid/vst3/component.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace corvid::vst3 {

namespace {

#if defined(_WIN32)
constexpr const char* kPlatformType = kPlatformTypeHWND;
constexpr UINT_PTR kTimerId = 0x56535433; // "VST3"

void CALLBACK timerProc(HWND window, UINT, UINT_PTR, DWORD) {
    if (auto* view = reinterpret_cast<View*>(GetPropW(window, L"CorvidVst3View"))) view->tick();
}
#else
constexpr const char* kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif

} // namespace

View::View(Component& component) : component_(component) {
    component_.addRef();
}

View::~View() {
    removed();
    component_.release();
}

tresult View::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kInvalidArgument;
    if (FUnknown::iid.matches(iid) || IPlugView::iid.matches(iid))
        *obj = static_cast<IPlugView*>(this);
    else if (linux_ui::IEventHandler::iid.matches(iid))
        *obj = static_cast<linux_ui::IEventHandler*>(this);
    else if (linux_ui::ITimerHandler::iid.matches(iid))
        *obj = static_cast<linux_ui::ITimerHandler*>(this);
    else
        return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 View::addRef() {
    return references_.fetch_add(1) + 1;
}

uint32 View::release() {
    const uint32 left = references_.fetch_sub(1) - 1;
    if (left == 0) {
        host::EntryScope scope;
        delete this;
    }
    return left;
}

tresult View::isPlatformTypeSupported(FIDString type) {
    return type && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult View::attached(void* parent, FIDString type) {
    if (isPlatformTypeSupported(type) != kResultTrue || !parent) return kResultFalse;
    host::EntryScope scope;
    removed();
    if (!session_.open(component_.client(), parent, DawKind::unknown, &window_))
        return kResultFalse;
    if (!attachRunLoop()) {
        session_.close();
        window_ = nullptr;
        return kResultFalse;
    }
    // Values the host set before the editor existed have listeners now.
    component_.deliverHostValues();
    return kResultOk;
}

bool View::attachRunLoop() {
#if defined(_WIN32)
    auto* window = static_cast<HWND>(window_);
    SetPropW(window, L"CorvidVst3View", this);
    return SetTimer(window, kTimerId, static_cast<UINT>(kEditorTimerMs), &timerProc) != 0;
#else
    if (!frame_) return false;
    void* loop = nullptr;
    if (frame_->queryInterface(linux_ui::IRunLoop::iid.bytes, &loop) != kResultOk || !loop)
        return false;
    runLoop_ = static_cast<linux_ui::IRunLoop*>(loop);
    IGraphics* editor = component_.client().ensureEditor();
    const int fd = editor ? editor->editorEventDescriptor() : -1;
    if (fd >= 0)
        handlerRegistered_ = runLoop_->registerEventHandler(
                                 static_cast<linux_ui::IEventHandler*>(this), fd) == kResultOk;
    timerRegistered_ = runLoop_->registerTimer(static_cast<linux_ui::ITimerHandler*>(this),
                                               kEditorTimerMs) == kResultOk;
    if (!timerRegistered_) detachRunLoop();
    return timerRegistered_;
#endif
}

void View::detachRunLoop() {
#if defined(_WIN32)
    if (window_) {
        KillTimer(static_cast<HWND>(window_), kTimerId);
        RemovePropW(static_cast<HWND>(window_), L"CorvidVst3View");
    }
#else
    if (!runLoop_) return;
    if (handlerRegistered_)
        runLoop_->unregisterEventHandler(static_cast<linux_ui::IEventHandler*>(this));
    if (timerRegistered_) runLoop_->unregisterTimer(static_cast<linux_ui::ITimerHandler*>(this));
    handlerRegistered_ = timerRegistered_ = false;
    runLoop_->release();
    runLoop_ = nullptr;
#endif
}

tresult View::removed() {
    if (!session_.isOpen() && !runLoop_) return kResultOk;
    host::EntryScope scope;
    detachRunLoop();
    session_.close();
    window_ = nullptr;
    // A drag cut short by the closing must not leave the host holding a parameter.
    component_.gestures().endAll();
    return kResultOk;
}

void View::tick() {
    if (!session_.isOpen()) return;
    FpEnvironmentGuard fpGuard;
    component_.deliverHostValues();
    session_.idle();
}

void View::onFDIsSet(linux_ui::FileDescriptor) {
    tick();
}

void View::onTimer() {
    tick();
}

tresult View::onWheel(float) {
    return kResultFalse; // the window takes its own wheel events
}

tresult View::onKeyDown(char16, int16, int16) {
    return kResultFalse;
}

tresult View::onKeyUp(char16, int16, int16) {
    return kResultFalse;
}

ViewRect View::editorRect() {
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (IGraphics* editor = component_.client().ensureEditor()) editor->editorSize(&width, &height);
    return ViewRect{0, 0, width, height};
}

tresult View::getSize(ViewRect* size) {
    if (!size) return kInvalidArgument;
    host::EntryScope scope;
    *size = editorRect();
    return kResultOk;
}

tresult View::onSize(ViewRect* newSize) {
    if (!newSize) return kInvalidArgument;
    const ViewRect rect = editorRect();
    // The editor has one size; a host that sizes it otherwise is told so.
    return newSize->right - newSize->left == rect.right &&
                   newSize->bottom - newSize->top == rect.bottom
               ? kResultOk
               : kResultFalse;
}

tresult View::onFocus(TBool) {
    return kResultOk;
}

tresult View::setFrame(IPlugFrame* frame) {
    frame_ = frame;
    return kResultOk;
}

tresult View::canResize() {
    return kResultFalse;
}

tresult View::checkSizeConstraint(ViewRect* rect) {
    if (!rect) return kInvalidArgument;
    const ViewRect size = editorRect();
    rect->right = rect->left + size.right;
    rect->bottom = rect->top + size.bottom;
    return kResultTrue;
}

} // namespace corvid::vst3
