// Counts heap allocations made by the views' feed calls on an "audio" thread while
// the editor animates and paints them on another, and checks that the two sides
// share the queues safely (run it under ThreadSanitizer too).

#include "spatium/gui/panorama.h"
#include "spatium/gui/phasedisplay.h"

#include "tests/views/view_support.h"

#include "tests/support/countingalloc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

namespace {

using spatium::Panorama;
using spatium::PhaseDisplay;

struct Editor {
    Editor() {
        panorama =
            &root.place(std::make_unique<Panorama>(root.getContext(), &params.pan, &params.distance,
                                                   &params.tilt, &params.output),
                        view_testing::kPanoramaBox);
        scope =
            &root.place(std::make_unique<PhaseDisplay>(root.getContext()), view_testing::kPhaseBox);
        // What the product's editor does when it is built, before audio can reach it.
        scope->reserveFeedFrames(512);
        window = &root.openHeadlessEditor();
        window->paint();
    }
    view_testing::PlacementParameters params;
    view_testing::Root root;
    Panorama* panorama = nullptr;
    PhaseDisplay* scope = nullptr;
    corvid::HeadlessWindow* window = nullptr;
};

TEST(ViewFeedRealTime, FeedingAllocatesNothingWhileTheEditorAnimatesAndPaints) {
    Editor e;

    // The counter works, and sees the one growth a sub-block larger than the
    // sized buffer would cause.
    {
        std::vector<float> big(1024, 0.25f);
        corvid::testing::countAllocationsOnThisThread(true);
        e.scope->feed(big.data(), big.data(), 1024, 48000.0f);
        corvid::testing::countAllocationsOnThisThread(false);
        ASSERT_EQ(corvid::testing::takeCountedAllocations(), 1);
    }

    std::atomic<bool> done{false};
    std::atomic<long> fed{0};
    std::thread audio([&] {
        std::vector<float> l(512), r(512);
        corvid::testing::countAllocationsOnThisThread(true);
        for (int block = 0; block < 4000; ++block) {
            const int frames = 1 + (block * 37) % 512;
            for (int i = 0; i < frames; ++i) {
                const float t = static_cast<float>(block * 512 + i) * 0.01f;
                l[static_cast<std::size_t>(i)] = std::sin(t);
                r[static_cast<std::size_t>(i)] = block % 50 < 10 ? 0.0f : 0.5f * std::cos(1.3f * t);
            }
            const float pan = std::sin(static_cast<float>(block) * 0.01f);
            e.panorama->feed(pan, -12.0f + 10.0f * pan, 3.0f * pan, 1.0f, 48000.0f);
            e.scope->feed(l.data(), r.data(), frames, 48000.0f);
            fed.fetch_add(1, std::memory_order_relaxed);
            if (block % 64 == 0) std::this_thread::yield();
        }
        corvid::testing::countAllocationsOnThisThread(false);
        done.store(true);
    });

    // The editor side: animation ticks, pointer movement over the panorama and a
    // click that changes the parameters, each followed by its repaint.
    int frame = 0;
    while (!done.load()) {
        e.window->advanceTime(15);
        e.window->tick();
        const int x = view_testing::kPanoramaBox.minX + 20 + frame % 200;
        e.window->mouseMove(x, view_testing::kPanoramaBox.minY + 60);
        if (frame % 40 == 0) {
            e.window->mouseDown(corvid::MouseButton::left);
            e.window->mouseUp(corvid::MouseButton::left);
        }
        ++frame;
    }
    audio.join();
    EXPECT_EQ(corvid::testing::countedAllocations(), 0);
    EXPECT_EQ(fed.load(), 4000);
    EXPECT_GT(frame, 0);
}

} // namespace
