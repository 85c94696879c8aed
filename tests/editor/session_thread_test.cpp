// A whole session at once: several instances rendering on their own audio threads,
// a host thread automating every parameter and saving state, and an editor thread
// animating and repainting an open editor, for a fixed count of blocks. Run under
// ThreadSanitizer in CI, where any unguarded sharing shows.

#include "tests/editor/editor_support.h"

#include "corvid/core/fpcontrol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace spatium;
using namespace spatium::testing;

TEST(SessionThreads, InstancesRenderWhileTheHostAutomatesAndTheEditorAnimates) {
    constexpr int kInstances = 3;
    constexpr int kBlocks = 3000;
    std::vector<std::unique_ptr<SpatiumClient>> clients;
    for (int i = 0; i < kInstances; ++i) {
        clients.push_back(clientWithEditor());
        clients.back()->hostReset(48000.0, 512, 2, 2);
    }
    SpatiumGUI& gui = editorOf(*clients[0]);
    corvid::HeadlessWindow& window = gui.openHeadlessEditor();
    window.paint();

    std::atomic<int> audioRunning{kInstances};
    std::atomic<bool> nonFinite{false};
    std::vector<std::thread> audio;
    for (int i = 0; i < kInstances; ++i)
        audio.emplace_back([&, i] {
            corvid::FpEnvironmentGuard guard;
            std::vector<float> inL(512), inR(512), outL(512), outR(512);
            std::uint32_t seed = 1u + static_cast<std::uint32_t>(i);
            for (int b = 0; b < kBlocks; ++b) {
                for (std::size_t k = 0; k < 512; ++k) {
                    seed = seed * 1664525u + 1013904223u;
                    inL[k] = static_cast<float>(seed >> 9) / 8388608.0f - 0.5f;
                    inR[k] = 0.5f * inL[k];
                }
                float* in[2] = {inL.data(), inR.data()};
                float* out[2] = {outL.data(), outR.data()};
                clients[static_cast<std::size_t>(i)]->hostProcess(in, out, 512, {});
                for (std::size_t k = 0; k < 512; ++k)
                    if (!std::isfinite(outL[k]) || !std::isfinite(outR[k])) nonFinite = true;
            }
            --audioRunning;
        });
    std::thread host([&] {
        std::uint32_t seed = 99;
        while (audioRunning > 0) {
            for (auto& client : clients) {
                seed = seed * 1664525u + 1013904223u;
                const auto p = static_cast<std::int32_t>(seed % 42u);
                client->parameter(p)->applyFromHost(static_cast<double>(seed >> 8) / 16777216.0);
                const std::vector<std::uint8_t> state = client->presetBank().writeStateChunk();
                EXPECT_FALSE(state.empty());
            }
        }
    });
    // The editor thread is this one: ticks, repaints and a drag on the pan knob.
    int frames = 0;
    while (audioRunning > 0) {
        window.mouseMove(398, 330);
        window.mouseDown(corvid::MouseButton::left);
        window.mouseMove(398, 320 - (frames % 20));
        window.mouseUp(corvid::MouseButton::left);
        window.pumpEvents();
        ++frames;
    }
    for (auto& t : audio) t.join();
    host.join();
    gui.closeEditor();
    EXPECT_FALSE(nonFinite);
    EXPECT_GT(frames, 0);
}
