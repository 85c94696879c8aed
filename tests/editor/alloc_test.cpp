// The audio thread with the real editor attached and animating on its own
// thread: rendering allocates nothing, whatever the editor is doing.

#include "tests/audio/test_support.h"
#include "tests/editor/editor_support.h"

#include "tests/support/countingalloc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

using namespace spatium;
using namespace spatium::testing;

TEST(EditorRealTime, RenderingWithTheEditorAnimatingAllocatesNothing) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    client->hostReset(48000.0, 1024, 2, 2);

    corvid::testing::countAllocationsOnThisThread(true);
    // Called directly: Clang may drop a new-expression whose result is unused.
    ::operator delete(::operator new(sizeof(int)));
    corvid::testing::countAllocationsOnThisThread(false);
    ASSERT_EQ(corvid::testing::takeCountedAllocations(), 1);

    // The editor thread: animation ticks, redraws and a user turning the pan knob.
    std::atomic<bool> stop{false};
    std::atomic<long> frames{0};
    std::thread editorThread([&] {
        auto& window = gui.openHeadlessEditor();
        corvid::FloatParameter* pan = client->floatParameter(kPan);
        double x = 0.0;
        while (!stop.load()) {
            x += 0.05;
            pan->beginEdit();
            pan->setFromEditor(80.0 * std::sin(x));
            pan->endEdit();
            window.pumpEvents();
            frames.fetch_add(1);
        }
        gui.closeEditor();
    });

    const auto in = noise(1024, 7);
    std::vector<float> l(1024), r(1024);
    float* ins[2] = {const_cast<float*>(in.data()), const_cast<float*>(in.data())};
    float* outs[2] = {l.data(), r.data()};
    corvid::testing::countAllocationsOnThisThread(true);
    // Through the host entry, so host blocks larger than a sub-block are cut too.
    for (int i = 0; i < 20000 || frames.load() < 20; ++i) {
        float* inCopy[2] = {ins[0], ins[1]};
        float* outCopy[2] = {outs[0], outs[1]};
        client->hostProcess(inCopy, outCopy, 1 + (i * 97) % 1024, corvid::TransportInfo{});
    }
    corvid::testing::countAllocationsOnThisThread(false);
    stop.store(true);
    editorThread.join();
    EXPECT_EQ(corvid::testing::countedAllocations(), 0);
    EXPECT_GE(frames.load(), 20);
}

TEST(EditorRealTime, ADragFrameOnTheEditorThreadAllocatesNothingOnceWarm) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    client->hostReset(48000.0, 512, 2, 2);
    auto& window = gui.openHeadlessEditor();
    const auto& box = layout::pan.box;
    const std::int32_t cx = (box.minX + box.maxX) / 2, cy = (box.minY + box.maxY) / 2;
    const auto in = noise(512, 3);
    std::vector<float> l(512), r(512);
    corvid::MouseState held;
    held.leftButtonDown = true;
    window.mouseMove(cx, cy);
    window.mouseDown(corvid::MouseButton::left, false, held);
    long counted = 0;
    // Frames of a drag with audio feeding the scope and the panorama; the first
    // ones size the frame's lists, after which a frame takes nothing from the heap.
    for (int frame = 0; frame < 200; ++frame) {
        float* ins[2] = {const_cast<float*>(in.data()), const_cast<float*>(in.data())};
        float* outs[2] = {l.data(), r.data()};
        client->hostProcess(ins, outs, 512, corvid::TransportInfo{});
        if (frame == 100) corvid::testing::takeCountedAllocations();
        corvid::testing::countAllocationsOnThisThread(frame >= 100);
        {
            const corvid::HeadlessWindow::PaintBatch batch(window);
            window.mouseMove(cx, cy - frame % 40, held);
            window.pumpEvents();
        }
        corvid::testing::countAllocationsOnThisThread(false);
        counted = corvid::testing::countedAllocations();
    }
    window.mouseUp(corvid::MouseButton::left);
    EXPECT_EQ(counted, 0);
}
