#include "corvid/window/headlesswindow.h"

#include "corvid/core/fpcontrol.h"

#include <algorithm>
#include <cstring>

namespace corvid {

HeadlessWindow::HeadlessWindow(IWindowListener* listener, std::int32_t width, std::int32_t height,
                               PixelFormat format)
    : listener_(listener), format_(format), clientWidth_(std::max(width, 0)),
      clientHeight_(std::max(height, 0)) {
    screen_.size(clientWidth_, clientHeight_);
    screen_.fill({0, 0, 0, 0});
}

HeadlessWindow::~HeadlessWindow() = default;

void HeadlessWindow::pumpEvents() {
    advanceTime(kTimerPeriodMs);
    tick();
}

void HeadlessWindow::tick() {
    if (listener_ == nullptr) return;
    FpEnvironmentGuard fp;
    listener_->animateSelf((clockMs_ - lastTickMs_) * 0.001, clockMs_ * 0.001);
    lastTickMs_ = clockMs_;
    afterEvent();
}

void HeadlessWindow::mouseMove(std::int32_t x, std::int32_t y, MouseState state) {
    if (listener_ == nullptr) return;
    FpEnvironmentGuard fp;
    listener_->onMouseMove(x, y, x - lastX_, y - lastY_, state);
    lastX_ = x;
    lastY_ = y;
    afterEvent();
}

bool HeadlessWindow::mouseDown(MouseButton button, bool isDoubleClick, MouseState state) {
    if (listener_ == nullptr) return false;
    FpEnvironmentGuard fp;
    // Like the platform windows, a click is reported where the last move left the
    // pointer.
    const bool handled = listener_->onMouseClick(lastX_, lastY_, button, isDoubleClick, state);
    if (handled) afterEvent();
    return handled;
}

bool HeadlessWindow::mouseUp(MouseButton button, MouseState state) {
    if (listener_ == nullptr) return false;
    FpEnvironmentGuard fp;
    const bool handled = listener_->onMouseUp(lastX_, lastY_, button, state);
    if (handled) afterEvent();
    return handled;
}

bool HeadlessWindow::mouseWheel(float deltaX, float deltaY, MouseState state) {
    if (listener_ == nullptr) return false;
    FpEnvironmentGuard fp;
    const bool handled = listener_->onMouseWheel(lastX_, lastY_, deltaX, deltaY, state);
    if (handled) afterEvent();
    return handled;
}

bool HeadlessWindow::keyDown(Key key) {
    if (listener_ == nullptr) return false;
    FpEnvironmentGuard fp;
    const bool handled = listener_->onKeyDown(key);
    if (handled)
        afterEvent();
    else
        passedOnKeys_.push_back(key);
    return handled;
}

bool HeadlessWindow::keyUp(Key key) {
    if (listener_ == nullptr) return false;
    FpEnvironmentGuard fp;
    const bool handled = listener_->onKeyUp(key);
    if (handled)
        afterEvent();
    else
        passedOnKeys_.push_back(key);
    return handled;
}

void HeadlessWindow::captureLost() {
    if (listener_ == nullptr) return;
    FpEnvironmentGuard fp;
    listener_->onCaptureLost();
}

void HeadlessWindow::resize(std::int32_t width, std::int32_t height) {
    clientWidth_ = std::max(width, 0);
    clientHeight_ = std::max(height, 0);
    OwnedImage<RGBA> grown(clientWidth_, clientHeight_);
    grown.fill({0, 0, 0, 0});
    const std::int32_t w = std::min(screen_.width(), clientWidth_);
    for (std::int32_t y = 0; y < std::min(screen_.height(), clientHeight_); ++y)
        std::memcpy(grown.rowSpan(y).data(), screen_.rowSpan(y).data(),
                    static_cast<std::size_t>(w) * sizeof(RGBA));
    screen_ = std::move(grown);
}

void HeadlessWindow::afterEvent() {
    if (listener_ == nullptr) return;
    listener_->collectDirtyAreas();
    if (batchDepth_ > 0) return;
    const IntRect bounds = listener_->dirtyBounds();
    if (!bounds.isEmpty()) paint(bounds);
}

void HeadlessWindow::paint(const IntRect& requested) {
    if (listener_ == nullptr) return;
    FpEnvironmentGuard fp;
    IntRect area = requested;
    if (clientWidth_ != knownWidth_ || clientHeight_ != knownHeight_) {
        // A new size repaints everything, so everything is shown.
        area = {0, 0, clientWidth_, clientHeight_};
        knownWidth_ = clientWidth_;
        knownHeight_ = clientHeight_;
        windowImage_ = listener_->onWindowResized(clientWidth_, clientHeight_);
        ++resizeCount_;
    }
    listener_->paintWindow(format_);
    ++paintCount_;
    const IntRect r =
        area.intersect(windowImage_.bounds()).intersect({0, 0, screen_.width(), screen_.height()});
    lastBlit_ = r;
    for (std::int32_t y = r.minY; y < r.maxY; ++y)
        std::memcpy(screen_.rowSpan(y).data() + r.minX, windowImage_.row(y) + r.minX,
                    static_cast<std::size_t>(r.width()) * sizeof(RGBA));
}

} // namespace corvid
