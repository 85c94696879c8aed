#include "corvid/client/client.h"
#include "test_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using testing_support::TestClient;

namespace {

TEST(Construction, DeclarationsRunInTheirFixedOrder) {
    auto c = corvid::createClient<TestClient>(512, 4);
    EXPECT_EQ(c->order, "info layouts parameters presets ");
    EXPECT_EQ(c->maxInputs(), 2);
    EXPECT_EQ(c->maxOutputs(), 2);
    EXPECT_EQ(c->maxSubBlock(), 512);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c->parameter(i)->client(), c.get());
    EXPECT_EQ(c->presetBank().currentPreset(), 0);
}

struct Buffers {
    std::vector<float> in0, in1, out0, out1;
    float* ins[2];
    float* outs[2];
    explicit Buffers(std::size_t n) : in0(n), in1(n), out0(n), out1(n) {
        ins[0] = in0.data();
        ins[1] = in1.data();
        outs[0] = out0.data();
        outs[1] = out1.data();
    }
};

TEST(HostProcess, SplitsIntoSubBlocksAndAdvancesPointers) {
    auto c = corvid::createClient<TestClient>(512);
    c->hostReset(48000, 2048, 2, 2);
    Buffers b(1300);
    corvid::TransportInfo t;
    t.samplePosition = 1000;
    c->hostProcess(b.ins, b.outs, 1300, t);
    ASSERT_EQ(c->calls.size(), 3u);
    EXPECT_EQ(c->calls[0].frames, 512);
    EXPECT_EQ(c->calls[1].frames, 512);
    EXPECT_EQ(c->calls[2].frames, 276);
    EXPECT_EQ(c->calls[1].samplePosition, 1512);
    EXPECT_EQ(c->calls[2].samplePosition, 2024);
    EXPECT_EQ(c->calls[1].in0, b.in0.data() + 512);
    EXPECT_EQ(c->calls[2].out0, b.out0.data() + 1024);
    EXPECT_EQ(b.ins[0], b.in0.data() + 1300);
    EXPECT_EQ(b.ins[1], b.in1.data() + 1300);
    EXPECT_EQ(b.outs[1], b.out1.data() + 1300);
}

TEST(HostProcess, BoundariesAndEmptyBlocks) {
    auto c = corvid::createClient<TestClient>(512);
    c->hostReset(48000, 1024, 2, 2);
    Buffers b(1024);
    c->hostProcess(b.ins, b.outs, 512, {});
    EXPECT_EQ(c->calls.size(), 1u);
    c->calls.clear();
    Buffers b2(1024);
    c->hostProcess(b2.ins, b2.outs, 513, {});
    ASSERT_EQ(c->calls.size(), 2u);
    EXPECT_EQ(c->calls[1].frames, 1);
    EXPECT_EQ(c->calls[1].samplePosition, 512);
    c->calls.clear();
    c->hostProcess(b2.ins, b2.outs, 0, {});
    c->hostProcess(b2.ins, b2.outs, -5, {});
    EXPECT_TRUE(c->calls.empty());
}

TEST(HostProcess, ZeroSubBlockPassesWholeBlocksEvenEmptyOnes) {
    auto c = corvid::createClient<TestClient>(0);
    c->hostReset(48000, 4096, 2, 2);
    Buffers b(4096);
    c->hostProcess(b.ins, b.outs, 4096, {});
    c->hostProcess(b.ins, b.outs, 0, {});
    ASSERT_EQ(c->calls.size(), 2u);
    EXPECT_EQ(c->calls[0].frames, 4096);
    EXPECT_EQ(c->calls[1].frames, 0);
}

TEST(HostReset, EffectiveMaximum) {
    auto c = corvid::createClient<TestClient>(512);
    c->hostReset(44100, 1024, 1, 2);
    c->hostReset(44100, 256, 1, 2);
    ASSERT_EQ(c->resets.size(), 2u);
    EXPECT_EQ(c->resets[0].maxFrames, 512);
    EXPECT_EQ(c->resets[1].maxFrames, 256);
    EXPECT_EQ(c->resets[0].ins, 1);
}

TEST(MidiQueue, DropsThe512thMessageAndKeepsArrivalOrderForEqualOffsets) {
    auto c = corvid::createClient<TestClient>(512);
    c->hostReset(48000, 512, 2, 2);
    corvid::MidiMessage a{10, 0x90, 1, 0}, b{10, 0x90, 2, 0};
    c->hostEnqueueMidi(a);
    c->hostEnqueueMidi(b);
    EXPECT_EQ(c->midiSlot(1).data1, 1);
    EXPECT_EQ(c->midiSlot(2).data1, 2);
    for (int i = 0; i < 600; ++i) c->hostEnqueueMidi({i % 37, 0x80, 0, 0});
    EXPECT_EQ(c->queuedMidiCount(), 511);
    for (int i = 2; i <= 511; ++i) EXPECT_LE(c->midiSlot(i / 2).offset, c->midiSlot(i).offset);
}

TEST(MidiQueue, DrainedInOffsetOrderPerSubBlock) {
    auto c = corvid::createClient<TestClient>(512);
    c->hostReset(48000, 1024, 2, 2);
    c->hostEnqueueMidi({700, 0x90, 3, 0});
    c->hostEnqueueMidi({5, 0x90, 1, 0});
    c->hostEnqueueMidi({1500, 0x90, 9, 0});
    Buffers b(1024);
    c->hostProcess(b.ins, b.outs, 600, {});
    // 600 frames end before the message at 700.
    EXPECT_EQ(c->queuedMidiCount(), 2);
    Buffers b2(1024);
    c->hostProcess(b2.ins, b2.outs, 512, {});
    // 700 - 600 = 100 falls in the first sub-block of this host block.
    EXPECT_EQ(c->queuedMidiCount(), 1);
    EXPECT_EQ(c->midiSlot(1).offset, 1500 - 600 - 512);
}

class FakeEditor : public corvid::IGraphics {
public:
    explicit FakeEditor(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
    ~FakeEditor() override { ++*destroyed_; }
    void* openEditor(void*, void*, corvid::DawKind, std::int32_t) override { return nullptr; }
    void closeEditor() override {}
    void editorSize(std::int32_t* w, std::int32_t* h) override {
        *w = 763;
        *h = 494;
    }

private:
    std::atomic<int>* destroyed_;
};

class EditorClient : public TestClient {
public:
    explicit EditorClient(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
    corvid::PluginDescription declarePluginInfo() override {
        auto d = TestClient::declarePluginInfo();
        d.hasEditor = true;
        return d;
    }
    std::unique_ptr<corvid::IGraphics> createEditor() override {
        ++created;
        return std::make_unique<FakeEditor>(destroyed_);
    }
    int created = 0;

private:
    std::atomic<int>* destroyed_;
};

TEST(EditorToken, LazyCreationAndNonBlockingTake) {
    std::atomic<int> destroyed{0};
    {
        auto c = corvid::createClient<EditorClient>(&destroyed);
        EXPECT_EQ(c->tryTakeEditor(), nullptr); // nothing to take yet
        corvid::IGraphics* e = c->ensureEditor();
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(c->ensureEditor(), e);
        EXPECT_EQ(c->created, 1);
        EXPECT_EQ(c->tryTakeEditor(), e);
        EXPECT_EQ(c->tryTakeEditor(), nullptr); // held: fails at once
        c->releaseEditor();
        EXPECT_EQ(c->tryTakeEditor(), e);
        c->releaseEditor();
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(EditorToken, DestructionWaitsForTheHolder) {
    std::atomic<int> destroyed{0};
    auto c = corvid::createClient<EditorClient>(&destroyed);
    c->ensureEditor();
    ASSERT_NE(c->tryTakeEditor(), nullptr);
    std::atomic<bool> released{false};
    EditorClient* raw = c.release();
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        released = true;
        raw->releaseEditor();
    });
    delete raw; // spins until the holder gives the token back
    EXPECT_TRUE(released);
    EXPECT_EQ(destroyed, 1);
    holder.join();
}

TEST(HostIdentification, FirstHitInTableOrderCaseSensitive) {
    using corvid::DawKind;
    EXPECT_EQ(corvid::identifyHost("reaper"), DawKind::reaper);
    EXPECT_EQ(corvid::identifyHost("cubase live"), DawKind::cubase);
    EXPECT_EQ(corvid::identifyHost("ableton live"), DawKind::live);
    EXPECT_EQ(corvid::identifyHost("garageband forte"), DawKind::garageband);
    EXPECT_EQ(corvid::identifyHost("protools standalone"), DawKind::protools);
    EXPECT_EQ(corvid::identifyHost("Reaper"), DawKind::unknown);
    EXPECT_EQ(corvid::identifyHost(""), DawKind::unknown);
}

} // namespace
