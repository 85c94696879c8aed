// The rules every format shares for host values and editor gestures: what the
// audio thread takes, what it leaves to the editor's hand, and the echo of the
// editor's own writes.

#include "corvid/host/gestures.h"
#include "corvid/host/hostvalues.h"
#include "corvid/host/state.h"
#include "tests/client/test_client.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using testing_support::TestClient;

class CountingListener : public corvid::IParameterListener {
public:
    void parameterChanged(corvid::Parameter*) override { ++changes; }
    void parameterEditBegun(corvid::Parameter*) override {}
    void parameterEditEnded(corvid::Parameter*) override {}
    int changes = 0;
};

class RecordingSink : public corvid::host::IEditSink {
public:
    void beginEdit(std::int32_t i) override { log.push_back("begin " + std::to_string(i)); }
    void performEdit(std::int32_t i, double v) override {
        log.push_back("perform " + std::to_string(i));
        last = v;
    }
    void endEdit(std::int32_t i) override { log.push_back("end " + std::to_string(i)); }
    std::vector<std::string> log;
    double last = -1.0;
};

corvid::FloatParameter& floatParameter(corvid::Client& c, int i) {
    return dynamic_cast<corvid::FloatParameter&>(*c.parameter(i));
}

TEST(HostValues, TakenOnTheAudioThreadAndToldLaterOnTheEditorThread) {
    auto c = corvid::createClient<TestClient>(512, 4, 1);
    corvid::host::HostValues values(*c);
    CountingListener listener;
    c->parameter(1)->addListener(&listener);

    EXPECT_TRUE(values.takeNormalized(1, 0.25));
    EXPECT_TRUE(values.takePlain(2, 7.5));
    EXPECT_DOUBLE_EQ(floatParameter(*c, 1).value(), 2.5);
    EXPECT_DOUBLE_EQ(floatParameter(*c, 2).value(), 7.5);
    EXPECT_EQ(listener.changes, 0) << "no listener may run on the audio thread";
    EXPECT_EQ(values.deliver(), 2);
    EXPECT_EQ(listener.changes, 1);
    EXPECT_EQ(values.deliver(), 0) << "each change is told once";

    // Nothing a host can send reaches the parameter out of range or as NaN.
    EXPECT_FALSE(values.takeNormalized(1, std::nan("")));
    EXPECT_FALSE(values.takeNormalized(-1, 0.5));
    EXPECT_FALSE(values.takeNormalized(4, 0.5));
    EXPECT_TRUE(values.takeNormalized(1, 7.0));
    EXPECT_DOUBLE_EQ(floatParameter(*c, 1).value(), 10.0);
    c->parameter(1)->removeListener(&listener);
}

TEST(HostValues, TheEditorsHoldWinsOverALaggingHost) {
    auto c = corvid::createClient<TestClient>(512, 4, 1);
    corvid::host::HostValues values(*c);
    corvid::host::Gestures gestures(c->parameterCount(), &values);
    c->setHostCommand(&gestures);
    RecordingSink sink;
    gestures.attach(&sink);
    auto& p = floatParameter(*c, 0);

    p.beginEdit();
    p.setFromEditor(4.0);
    p.setFromEditor(6.0);
    // The host sends back what the editor wrote a moment ago: the knob stays put,
    // on both the audio and the UI side.
    EXPECT_FALSE(values.takeNormalized(0, 0.4));
    EXPECT_FALSE(values.takePlain(0, 4.0));
    EXPECT_FALSE(values.applyPlainNow(0, 4.0));
    EXPECT_DOUBLE_EQ(p.value(), 6.0);
    p.endEdit();
    // Released, the host's values count again.
    EXPECT_TRUE(values.takePlain(0, 4.0));
    EXPECT_DOUBLE_EQ(p.value(), 4.0);
    c->setHostCommand(nullptr);
}

TEST(HostValues, AnEchoKeepsTheEditorsFullPrecisionAndTellsNoOne) {
    auto c = corvid::createClient<TestClient>(512, 4, 1);
    corvid::host::HostValues values(*c);
    CountingListener listener;
    auto& p = floatParameter(*c, 3);
    p.addListener(&listener);
    // A value a float cannot hold: the host carries it cut to 32 bits.
    const double precise = 1.0 / 3.0 * 10.0;
    p.storeNormalized(p.toNormalized(precise));
    const double normalizedEcho = static_cast<float>(p.toNormalized(precise));
    const double plainEcho = static_cast<float>(precise);
    EXPECT_FALSE(values.takeNormalized(3, normalizedEcho));
    EXPECT_FALSE(values.takePlain(3, plainEcho));
    EXPECT_FALSE(values.applyPlainNow(3, plainEcho));
    EXPECT_EQ(p.value(), precise);
    EXPECT_EQ(values.deliver(), 0);
    EXPECT_EQ(listener.changes, 0);
    // One step away at the host's precision is a real change.
    EXPECT_TRUE(values.applyPlainNow(3, std::nextafter(static_cast<float>(precise), 20.0f)));
    EXPECT_EQ(listener.changes, 1);
    p.removeListener(&listener);
}

TEST(Gestures, PairsReachTheHostOnceAndOpenOnesEndWhenTheEditorGoes) {
    auto c = corvid::createClient<TestClient>(512, 4, 1);
    corvid::host::HostValues values(*c);
    RecordingSink sink;
    {
        corvid::host::Gestures gestures(c->parameterCount(), &values);
        gestures.attach(&sink);
        gestures.beginParameterEdit(1);
        gestures.beginParameterEdit(1);
        gestures.automateParameter(1, 0.5f);
        gestures.endParameterEdit(2);        // never begun
        gestures.automateParameter(3, 1.0f); // a click outside any gesture
        gestures.beginParameterEdit(2);
        gestures.beginParameterEdit(9); // no such parameter
        EXPECT_TRUE(values.isHeld(1));
        EXPECT_EQ(sink.log,
                  (std::vector<std::string>{"begin 1", "perform 1", "perform 3", "begin 2"}));
        sink.log.clear();
        // The editor closes mid-drag: the host hears the ends, the hold is let go.
        gestures.attach(nullptr);
        EXPECT_EQ(sink.log, (std::vector<std::string>{"end 1", "end 2"}));
        EXPECT_FALSE(values.isHeld(1));
        EXPECT_FALSE(values.isHeld(2));
        gestures.attach(&sink);
        gestures.beginParameterEdit(0);
        sink.log.clear();
    }
    // ...and so does an instance that goes away with a gesture open.
    EXPECT_EQ(sink.log, (std::vector<std::string>{"end 0"}));
}

TEST(State, AFailedRestoreLeavesEveryValueAndThePreset) {
    auto c = corvid::createClient<TestClient>(512, 4, 3);
    for (int i = 0; i < 4; ++i) c->parameter(i)->applyFromHost(0.125 * (i + 1));
    const std::vector<std::uint8_t> good = corvid::host::saveState(*c);
    auto other = corvid::createClient<TestClient>(512, 4, 3);
    std::vector<std::uint8_t> damaged = good;
    damaged[16] = 2;                    // another preset...
    damaged.resize(damaged.size() - 3); // ...but the last value is cut
    EXPECT_EQ(corvid::host::restoreState(*other, damaged.data(), damaged.size()),
              "Expected a byte, but found end of input");
    EXPECT_EQ(other->presetBank().currentPreset(), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(other->parameter(i)->normalizedValue(), other->parameter(i)->normalizedDefault());
    EXPECT_EQ(corvid::host::restoreState(*other, good.data(), good.size()), "");
    EXPECT_EQ(corvid::host::saveState(*other), good);
}

TEST(State, NamesAreCutAtWholeCharacters) {
    using corvid::host::truncateUtf8;
    EXPECT_EQ(truncateUtf8("Distance", 4), "Dist");
    EXPECT_EQ(truncateUtf8("Distance", 40), "Distance");
    EXPECT_EQ(truncateUtf8("Gr\xC3\xB6\xC3\x9F"
                           "e",
                           3),
              "Gr");
    EXPECT_EQ(truncateUtf8("Gr\xC3\xB6\xC3\x9F"
                           "e",
                           4),
              "Gr\xC3\xB6");
    EXPECT_EQ(truncateUtf8("\xE2\x99\xAB", 2), "");
}

} // namespace
