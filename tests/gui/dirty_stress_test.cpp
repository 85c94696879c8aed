// Dirty rectangles arrive from other threads (parameter changes) while the editor
// thread gathers and paints them. Nothing may be lost and nothing may race; run
// this under ThreadSanitizer too.

#include "corvid/gui/bufferedelement.h"
#include "corvid/gui/graphics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace corvid;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Records every rectangle the root is asked to paint.
class RecordingEditor : public GUIGraphics {
public:
    RecordingEditor() : GUIGraphics(kWidth, kHeight, 2) {}
    void paintMaps(const ImageView<RGBA>& d, const ImageView<L16>& h, const ImageView<RGBA>& m,
                   const std::vector<IntRect>& rects) override {
        GUIGraphics::paintMaps(d, h, m, rects);
        std::lock_guard<std::mutex> lock(mutex);
        for (const IntRect& r : rects)
            for (int y = r.minY; y < r.maxY; ++y)
                for (int x = r.minX; x < r.maxX; ++x) ++painted[y * kWidth + x];
    }
    std::mutex mutex;
    std::vector<int> painted = std::vector<int>(kWidth * kHeight, 0);
};

TEST(DirtyListStress, RectanglesFromManyThreadsAreAllPainted) {
    RecordingEditor gui;
    auto& buffered = static_cast<UIBufferedElement&>(
        gui.addChild(std::make_unique<UIBufferedElement>(gui.getContext())));
    HeadlessWindow& window = gui.openHeadlessEditor();
    buffered.setPosition({30, 30, 90, 80});
    window.tick();
    {
        std::lock_guard<std::mutex> lock(gui.mutex);
        std::fill(gui.painted.begin(), gui.painted.end(), 0);
    }

    constexpr int kThreads = 4;
    constexpr int kFrames = 40;
    std::vector<std::vector<IntRect>> added(kThreads);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 rng(static_cast<unsigned>(t + 1));
            std::uniform_int_distribution<int> pos(0, kWidth - 1), size(1, 12);
            for (int i = 0; !stop.load(); ++i) {
                if (i % 50 == 0) {
                    buffered.markDirty(); // also flags the layers from this thread
                    added[static_cast<size_t>(t)].push_back({30, 30, 90, 80});
                    continue;
                }
                const int x = pos(rng), y = pos(rng) % kHeight;
                const IntRect r{x, y, std::min(x + size(rng), kWidth),
                                std::min(y + size(rng), kHeight)};
                gui.getContext().addDirtyRect(r);
                added[static_cast<size_t>(t)].push_back(r);
                std::this_thread::yield();
            }
        });
    // The editor keeps painting frames while the other threads keep adding.
    for (int frame = 0; frame < kFrames; ++frame) window.pumpEvents();
    stop = true;
    for (auto& th : threads) th.join();
    window.pumpEvents(); // whatever arrived after the last frame

    EXPECT_TRUE(gui.getContext().dirtyList.empty());
    EXPECT_TRUE(gui.getPendingDirtyRects().empty());
    for (const auto& list : added)
        for (const IntRect& r : list)
            for (int y = r.minY; y < r.maxY; ++y)
                for (int x = r.minX; x < r.maxX; ++x)
                    ASSERT_GT(gui.painted[static_cast<size_t>(y * kWidth + x)], 0)
                        << "lost dirty pixel " << x << "," << y;
}

} // namespace
