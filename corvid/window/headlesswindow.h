#pragma once
// A window without a display. It drives its listener exactly as a platform window
// does (resize noticed at paint time, input followed by the repaint of whatever
// became dirty, timer ticks) and "blits" into an image of its own, so tests,
// benchmarks and screenshots exercise the whole GUI without a screen.

#include "corvid/graphics/image.h"
#include "corvid/window/window.h"

#include <cstdint>
#include <vector>

namespace corvid {

class HeadlessWindow : public IWindow {
public:
    static constexpr std::uint32_t kTimerPeriodMs = 15;

    HeadlessWindow(IWindowListener* listener, std::int32_t width, std::int32_t height,
                   PixelFormat format = PixelFormat::RGBA8);
    ~HeadlessWindow() override;

    // One timer period passes on the window's own clock and the animation ticks.
    void pumpEvents() override;
    bool isClosed() override { return closed_; }
    // The window's own clock: starts at 0 and moves only by advanceTime/pumpEvents.
    std::uint32_t timeMs() override { return clockMs_; }
    void* nativeHandle() override { return this; }

    void advanceTime(std::uint32_t ms) { clockMs_ += ms; }
    // Animation tick at the current clock, then the repaint of what it dirtied.
    void tick();

    // Input, as the platform would deliver it. Each handled event is followed by
    // the repaint of the dirty area; the result says whether the GUI handled it.
    void mouseMove(std::int32_t x, std::int32_t y, MouseState state = {});
    bool mouseDown(MouseButton button, bool isDoubleClick = false, MouseState state = {});
    bool mouseUp(MouseButton button, MouseState state = {});
    bool mouseWheel(float deltaX, float deltaY, MouseState state = {});
    bool keyDown(Key key);
    bool keyUp(Key key);
    void captureLost();
    void close() { closed_ = true; }

    // The client area changes; the listener hears of it at the next paint.
    void resize(std::int32_t width, std::int32_t height);
    // An expose of the given window area (the whole window by default).
    void paint(const IntRect& area);
    void paint() { paint({0, 0, clientWidth_, clientHeight_}); }

    // Events delivered while a batch is held only collect their dirty areas; the
    // batch's end repaints them once, as a platform window does for all the events
    // it drains in one round (a drag's motion and the timer tick make one frame).
    class PaintBatch {
    public:
        explicit PaintBatch(HeadlessWindow& window) : window_(window) { ++window_.batchDepth_; }
        ~PaintBatch() {
            if (--window_.batchDepth_ == 0) window_.afterEvent();
        }
        PaintBatch(const PaintBatch&) = delete;
        PaintBatch& operator=(const PaintBatch&) = delete;

    private:
        HeadlessWindow& window_;
    };

    // What has reached the "screen" so far, in the window's pixel format.
    const OwnedImage<RGBA>& screen() const { return screen_; }
    PixelFormat pixelFormat() const { return format_; }
    std::int32_t width() const { return clientWidth_; }
    std::int32_t height() const { return clientHeight_; }
    int paintCount() const { return paintCount_; }
    int resizeCount() const { return resizeCount_; }
    const IntRect& lastBlit() const { return lastBlit_; }
    // Keys the GUI did not handle; a platform window hands these to the host.
    const std::vector<Key>& passedOnKeys() const { return passedOnKeys_; }

private:
    void afterEvent();

    IWindowListener* listener_;
    PixelFormat format_;
    std::int32_t clientWidth_, clientHeight_;
    std::int32_t knownWidth_ = -1, knownHeight_ = -1;
    WindowImageView windowImage_;
    OwnedImage<RGBA> screen_;
    std::uint32_t clockMs_ = 0;
    std::uint32_t lastTickMs_ = 0;
    std::int32_t lastX_ = 0, lastY_ = 0;
    bool closed_ = false;
    int batchDepth_ = 0;
    int paintCount_ = 0;
    int resizeCount_ = 0;
    IntRect lastBlit_;
    std::vector<Key> passedOnKeys_;
};

} // namespace corvid
