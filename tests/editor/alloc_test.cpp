// The audio thread with the real editor attached and animating on its own
// thread: rendering allocates nothing, whatever the editor is doing.

#include "tests/audio/raw_alloc.h"
#include "tests/audio/test_support.h"
#include "tests/editor/editor_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

namespace {

thread_local bool tCounting = false;
std::atomic<long> gAudioAllocations{0};

void* countedAlloc(std::size_t size, std::size_t align) {
    if (tCounting) gAudioAllocations.fetch_add(1, std::memory_order_relaxed);
    return spatium::testing::rawAlloc(size, align);
}

} // namespace

void* operator new(std::size_t size) {
    return countedAlloc(size, 0);
}
void* operator new[](std::size_t size) {
    return countedAlloc(size, 0);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return countedAlloc(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return countedAlloc(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAlloc(size, 0);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAlloc(size, 0);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    spatium::testing::rawFree(p);
}
void operator delete[](void* p) noexcept {
    spatium::testing::rawFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    spatium::testing::rawFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    spatium::testing::rawFree(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    spatium::testing::rawFree(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    spatium::testing::rawFree(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    spatium::testing::rawFree(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    spatium::testing::rawFree(p);
}

using namespace spatium;
using namespace spatium::testing;

TEST(EditorRealTime, RenderingWithTheEditorAnimatingAllocatesNothing) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    client->hostReset(48000.0, 1024, 2, 2);

    tCounting = true;
    // Called directly: Clang may drop a new-expression whose result is unused.
    ::operator delete(::operator new(sizeof(int)));
    tCounting = false;
    ASSERT_EQ(gAudioAllocations.exchange(0), 1);

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
    tCounting = true;
    // Through the host entry, so host blocks larger than a sub-block are cut too.
    for (int i = 0; i < 20000 || frames.load() < 20; ++i) {
        float* inCopy[2] = {ins[0], ins[1]};
        float* outCopy[2] = {outs[0], outs[1]};
        client->hostProcess(inCopy, outCopy, 1 + (i * 97) % 1024, corvid::TransportInfo{});
    }
    tCounting = false;
    stop.store(true);
    editorThread.join();
    EXPECT_EQ(gAudioAllocations.load(), 0);
    EXPECT_GE(frames.load(), 20);
}
