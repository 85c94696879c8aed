#include "corvid/client/params.h"
#include "test_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>

using namespace corvid;

namespace {

std::string text(Parameter& p) {
    char buffer[64];
    p.formatValue(buffer, sizeof buffer);
    return buffer;
}

std::string textFor(Parameter& p, double n) {
    char buffer[64];
    p.textForNormalized(n, buffer, sizeof buffer);
    return buffer;
}

class CountingListener : public IParameterListener {
public:
    void parameterChanged(Parameter*) override { ++changed; }
    void parameterEditBegun(Parameter*) override { ++begun; }
    void parameterEditEnded(Parameter*) override { ++ended; }
    int changed = 0, begun = 0, ended = 0;
};

TEST(FloatMappings, LinearClampsAtBothEnds) {
    LinearFloatParameter p(0, "Distance", "", -24, 6, 0);
    EXPECT_DOUBLE_EQ(p.toNormalized(-24), 0.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(6), 1.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(100), 1.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(-100), 0.0);
    EXPECT_DOUBLE_EQ(p.fromNormalized(0.8), -24 + 30 * 0.8);
    EXPECT_DOUBLE_EQ(p.fromNormalized(1.5), 6.0);
    EXPECT_DOUBLE_EQ(p.fromNormalized(-0.5), -24.0);
    EXPECT_DOUBLE_EQ(p.normalizedDefault(), 0.8);
}

TEST(FloatMappings, LogIsGeometricAndUnclampedFromNormalized) {
    LogFloatParameter p(0, "Delay", "ms", 3, 12, 6);
    EXPECT_DOUBLE_EQ(p.toNormalized(6), 0.5);
    EXPECT_DOUBLE_EQ(p.fromNormalized(0.5), 3 * std::exp(std::log(4.0) * 0.5));
    EXPECT_DOUBLE_EQ(p.toNormalized(1), 0.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(48), 1.0);
    EXPECT_GT(p.fromNormalized(1.5), 12.0); // callers keep n in [0, 1]
}

TEST(FloatMappings, PowAppliesShape) {
    PowFloatParameter p(0, "P", "", 0, 100, 25, 2.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(25), 0.5);
    EXPECT_DOUBLE_EQ(p.fromNormalized(0.5), 25.0);
    EXPECT_DOUBLE_EQ(p.fromNormalized(2.0), 100.0);
}

TEST(FloatMappings, GainCurveEnds) {
    GainParameter g(0, "Gain", 12, 0);
    EXPECT_DOUBLE_EQ(g.toNormalized(12), 1.0);
    EXPECT_DOUBLE_EQ(g.toNormalized(-std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_NEAR(g.fromNormalized(1.0), 12.0, 1e-12);
    EXPECT_NEAR(g.toNormalized(0), 0.5012, 1e-4);
    EXPECT_TRUE(std::isinf(g.fromNormalized(0.0)));
    EXPECT_STREQ(g.formatString(), "%2.1f");
    EXPECT_EQ(text(g), "0.0");
    EXPECT_EQ(g.label(), "dB");
    // What a host stores (a 32-bit float) comes back as the same normalised value
    // after the trip through decibels, to the last bits a libm may differ in.
    for (int i = 1; i <= 1000; ++i) {
        const double stored = static_cast<double>(static_cast<float>(i / 1000.0));
        g.storeNormalized(stored);
        EXPECT_NEAR(g.toNormalized(g.value()), stored, 1e-12) << stored;
        EXPECT_NEAR(g.valueForHost(), stored, 1e-12) << stored;
    }
}

TEST(FloatMappings, DecimalsReplaceTheDigitAfterThePoint) {
    LinearFloatParameter p(0, "P", "", 0, 1, 0.123456);
    EXPECT_EQ(text(p), "0.12");
    p.setDecimals(4);
    EXPECT_EQ(text(p), "0.1235");
}

TEST(IntegerParameter, RoundsHalfAwayFromZeroAndClamps) {
    IntegerParameter p(0, "I", "", 0, 4, 0);
    EXPECT_EQ(p.integerForNormalized(0.625), 3);
    EXPECT_EQ(p.integerForNormalized(0.375), 2);
    EXPECT_EQ(p.integerForNormalized(1.2), 4);
    IntegerParameter negative(0, "N", "", -4, 0, 0);
    EXPECT_EQ(negative.integerForNormalized(0.375), -3); // -2.5 rounds away from zero
    p.storeNormalized(0.625);
    EXPECT_EQ(p.value(), 3);
    EXPECT_EQ(textFor(p, 0.375), "2");
}

TEST(IntegerParameter, DefaultIsClampedIntoRange) {
    IntegerParameter p(0, "I", "", 1, 12, 40);
    EXPECT_EQ(p.defaultValue(), 12);
    EXPECT_EQ(p.value(), 12);
}

TEST(EnumParameter, TextsAndExactParsing) {
    EnumParameter e(0, "Wave", {"sine", "tri"}, 0);
    double n = -1;
    EXPECT_TRUE(e.parseNormalized("tri", n));
    EXPECT_EQ(n, 1.0);
    EXPECT_FALSE(e.parseNormalized("TRI", n));
    EXPECT_FALSE(e.parseNormalized("tri ", n));
    EXPECT_FALSE(e.parseNormalized("tr", n));
    EXPECT_EQ(textFor(e, 1.0), "tri");
    EXPECT_EQ(text(e), "sine");
    EXPECT_TRUE(e.label().empty());
    char small[3] = {'x', 'x', 'x'};
    e.formatValue(small, sizeof small);
    EXPECT_STREQ(small, "si");
    char none = 'x';
    e.formatValue(&none, 0);
    EXPECT_EQ(none, 'x');
}

TEST(BoolParameter, ThresholdAndWords) {
    BoolParameter b(0, "B", false);
    b.storeNormalized(0.5);
    EXPECT_TRUE(b.value());
    b.storeNormalized(0.49);
    EXPECT_FALSE(b.value());
    double n = -1;
    EXPECT_TRUE(b.parseNormalized("yes", n));
    EXPECT_EQ(n, 1.0);
    EXPECT_TRUE(b.parseNormalized("no", n));
    EXPECT_EQ(n, 0.0);
    EXPECT_FALSE(b.parseNormalized("yes ", n));
    EXPECT_FALSE(b.parseNormalized("Yes", n));
    EXPECT_EQ(textFor(b, 0.5), "yes");
    EXPECT_EQ(textFor(b, 0.2), "no");
}

TEST(Parsing, LengthLimitAndScanRules) {
    LinearFloatParameter p(0, "P", "", -100, 100, 0);
    double n = -1;
    std::string ok63 = "50" + std::string(61, ' ');
    ASSERT_EQ(ok63.size(), 63u);
    EXPECT_TRUE(p.parseNormalized(ok63, n));
    EXPECT_DOUBLE_EQ(n, 0.75);
    std::string bad64 = "50" + std::string(62, ' ');
    n = -1;
    EXPECT_FALSE(p.parseNormalized(bad64, n));
    EXPECT_EQ(n, -1);
    EXPECT_TRUE(p.parseNormalized("5e1", n));
    EXPECT_DOUBLE_EQ(n, 0.75);
    EXPECT_TRUE(p.parseNormalized("  -25dB", n)); // sscanf skips spaces, stops at junk
    EXPECT_DOUBLE_EQ(n, 0.375);
    EXPECT_FALSE(p.parseNormalized("dB 5", n));
    EXPECT_FALSE(p.parseNormalized("", n));
    EXPECT_TRUE(p.parseNormalized("1e9", n)); // out of range clamps
    EXPECT_EQ(n, 1.0);
    EXPECT_EQ(p.value(), 0.0); // parsing never touches the value
}

TEST(Parsing, IntegersClampAndNeverOverflow) {
    IntegerParameter p(0, "I", "", 1, 12, 6);
    double n = -1;
    EXPECT_TRUE(p.parseNormalized("12", n));
    EXPECT_EQ(n, 1.0);
    EXPECT_TRUE(p.parseNormalized("-7", n));
    EXPECT_EQ(n, 0.0);
    EXPECT_TRUE(p.parseNormalized("99999999999999999999999", n));
    EXPECT_EQ(n, 1.0);
    EXPECT_FALSE(p.parseNormalized("six", n));
}

TEST(StoreNormalized, NanIsIgnoredAndOutOfRangeClamps) {
    LogFloatParameter log(0, "L", "Hz", 0.05, 10, 1);
    log.storeNormalized(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(log.value(), 1.0);
    log.storeNormalized(3.0);
    EXPECT_DOUBLE_EQ(log.value(), 10.0);
    IntegerParameter i(1, "I", "", 0, 4, 2);
    i.storeNormalized(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(i.value(), 2);
    GainParameter g(2, "G", 18, 0);
    g.storeNormalized(-1.0);
    EXPECT_TRUE(std::isinf(g.value()));
}

TEST(Listeners, RemovalMovesTheLastIntoThePlace) {
    LinearFloatParameter p(0, "P", "", 0, 1, 0);
    CountingListener a, b, c;
    p.addListener(&a);
    p.addListener(&b);
    p.addListener(&c);
    p.removeListener(&a);
    ASSERT_EQ(p.listenerCount(), 2u);
    EXPECT_EQ(p.listenerAt(0), &c);
    EXPECT_EQ(p.listenerAt(1), &b);
    CountingListener absent;
    p.removeListener(&absent);
    EXPECT_EQ(p.listenerCount(), 2u);
    p.applyFromHost(0.5);
    EXPECT_EQ(a.changed, 0);
    EXPECT_EQ(b.changed, 1);
    EXPECT_EQ(c.changed, 1);
}

class SelfRemovingListener : public IParameterListener {
public:
    void parameterChanged(Parameter* p) override {
        ++calls;
        p->removeListener(this);
    }
    void parameterEditBegun(Parameter*) override {}
    void parameterEditEnded(Parameter*) override {}
    int calls = 0;
};

TEST(Listeners, ListenerMayRemoveItselfWhileNotified) {
    LinearFloatParameter p(0, "P", "", 0, 1, 0);
    SelfRemovingListener self;
    CountingListener other;
    p.addListener(&self);
    p.addListener(&other);
    p.notifyListeners();
    EXPECT_EQ(self.calls, 1);
    EXPECT_EQ(p.listenerCount(), 1u);
}

TEST(EditorGestures, ReportToHostThenListeners) {
    auto client = corvid::createClient<testing_support::TestClient>();
    testing_support::RecordingHost host;
    client->setHostCommand(&host);
    auto* p = static_cast<FloatParameter*>(client->parameter(3));
    CountingListener listener;
    p->addListener(&listener);

    p->beginEdit();
    p->setFromEditor(25.0); // above max 10
    p->endEdit();
    EXPECT_EQ(p->value(), 10.0);
    EXPECT_EQ(host.lastValue, 1.0f);
    EXPECT_EQ(host.log, (std::vector<std::string>{"begin 3", "automate 3", "end 3"}));
    EXPECT_EQ(listener.begun, 1);
    EXPECT_EQ(listener.changed, 1);
    EXPECT_EQ(listener.ended, 1);

    p->setFromEditor(-4.0);
    EXPECT_EQ(p->value(), 0.0);
    EXPECT_EQ(host.lastValue, 0.0f);
}

// The writer starts only once the reader runs and keeps storing until the reader
// has seen both values many times, so the two really overlap; under
// ThreadSanitizer a value that is not stored atomically is reported as a race.
TEST(Concurrency, ReadersSeeWholeValuesWhileWritersStore) {
    LinearFloatParameter p(0, "P", "", 0, 1000, 0);
    constexpr int kSightings = 200;
    std::atomic<bool> readerRunning{false};
    std::atomic<bool> seenBoth{false};
    std::atomic<bool> stop{false};
    int writes = 0;
    std::thread writer([&] {
        while (!readerRunning.load()) std::this_thread::yield();
        for (; writes < 20000 || !seenBoth.load(); ++writes)
            p.storeNormalized((writes % 2) ? 1.0 : 0.0);
        stop = true;
    });
    int bad = 0, zeros = 0, fulls = 0;
    readerRunning = true;
    while (!stop) {
        const double v = p.value();
        if (v == 0.0)
            ++zeros;
        else if (v == 1000.0)
            ++fulls;
        else
            ++bad;
        if (zeros >= kSightings && fulls >= kSightings) seenBoth = true;
    }
    writer.join();
    EXPECT_EQ(bad, 0);
    EXPECT_GE(zeros, kSightings);
    EXPECT_GE(fulls, kSightings);
    EXPECT_GE(writes, 20000);
}

} // namespace
