// Counts heap allocations made on the audio thread while it renders with changing
// parameters, another thread automating them and an editor double taking the feed.

#include "tests/audio/test_support.h"

#include "corvid/client/client.h"

#include "tests/support/countingalloc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

using namespace spatium;
using namespace spatium::testing;

TEST(RealTime, RenderingAllocatesNothing) {
    auto c = corvid::createClient<FeedClient>();
    c->hostReset(48000.0, 512, 2, 2);
    RecordingEditor* editor = c->recorder();
    ASSERT_NE(editor, nullptr);

    // The counter works: an allocation on a counting thread is seen. A direct call
    // of the operator, since a compiler may leave out a new-expression whose
    // result is only deleted (Clang does).
    corvid::testing::countAllocationsOnThisThread(true);
    ::operator delete(::operator new(sizeof(int)));
    corvid::testing::countAllocationsOnThisThread(false);
    ASSERT_EQ(corvid::testing::takeCountedAllocations(), 1);

    std::atomic<bool> stop{false};
    std::thread automation([&] {
        double x = 0.0;
        while (!stop.load()) {
            x += 0.013;
            const double s = std::sin(x);
            c->floatParameter(kPan)->applyFromHost(0.5 + 0.5 * s);
            c->floatParameter(kDistance)->applyFromHost(0.5 + 0.4 * std::cos(x));
            c->floatParameter(kStereoWidth)->applyFromHost(0.5 + 0.5 * s * s);
            c->floatParameter(kOutputLevel)->applyFromHost(0.2 + 0.3 * s * s);
            c->boolParameter(kTestMono)->applyFromHost(s > 0.9 ? 1.0 : 0.0);
            c->floatParameter(kHeadSize)->applyFromHost(0.5 + 0.5 * std::cos(3 * x));
            c->floatParameter(kSpectralPan)->applyFromHost(0.5 + 0.5 * std::sin(5 * x));
            c->floatParameter(kDryWet)->applyFromHost(s < -0.8 ? 0.3 : 1.0);
            std::this_thread::yield();
        }
    });
    // Something else (the host asking the editor size) keeps taking the token.
    std::thread holder([&] {
        while (!stop.load()) {
            if (corvid::IGraphics* g = c->tryTakeEditor()) {
                std::int32_t w = 0, h = 0;
                g->editorSize(&w, &h);
                c->releaseEditor();
            }
            std::this_thread::yield();
        }
    });

    const auto in = noise(512, 31);
    std::vector<float> l(512), r(512);
    const float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {l.data(), r.data()};
    corvid::testing::countAllocationsOnThisThread(true);
    for (int i = 0; i < 100000; ++i) {
        const int frames = 1 + (i * 37) % 512;
        c->processSubBlock(ins, outs, frames, corvid::TransportInfo{});
    }
    corvid::testing::countAllocationsOnThisThread(false);
    stop.store(true);
    automation.join();
    holder.join();
    EXPECT_EQ(corvid::testing::countedAllocations(), 0);
    EXPECT_GT(editor->phaseCalls, 0);
}
