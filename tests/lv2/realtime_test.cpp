// The LV2 run() under the real-time rules: counts heap allocations and mutex locks
// made on the audio thread while the host automates every kind of control, and
// checks that listeners hear of port changes only when the UI delivers them.

#include "corvid/lv2/plugin.h"
#include "spatium/lv2/bundle.h"
#include "spatium/params.h"

#include "tests/support/countingalloc.h"
#include "tests/support/countinglocks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

class UridMap {
public:
    UridMap() {
        map_.handle = this;
        map_.map = [](LV2_URID_Map_Handle h, const char* uri) -> LV2_URID {
            auto& ids = static_cast<UridMap*>(h)->ids_;
            return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
        };
        feature_ = {LV2_URID__map, &map_};
        features_[0] = &feature_;
    }
    const LV2_Feature* const* features() const { return features_; }

private:
    std::map<std::string, LV2_URID> ids_;
    LV2_URID_Map map_{};
    LV2_Feature feature_{};
    const LV2_Feature* features_[2] = {nullptr, nullptr};
};

// Records which thread tells it of changes.
class ThreadListener : public corvid::IParameterListener {
public:
    void parameterChanged(corvid::Parameter*) override {
        if (corvid::testing::countingThisThread())
            onAudio.fetch_add(1);
        else
            elsewhere.fetch_add(1);
    }
    void parameterEditBegun(corvid::Parameter*) override {}
    void parameterEditEnded(corvid::Parameter*) override {}
    std::atomic<long> onAudio{0};
    std::atomic<long> elsewhere{0};
};

struct Rig {
    corvid::lv2::BundleDescription bundle = spatium::lv2Bundle();
    UridMap map;
    std::unique_ptr<corvid::lv2::Instance> instance;
    std::vector<float> controls;
    std::vector<std::vector<float>> audio;
    float latency = 0.0f;

    explicit Rig(std::size_t variant) {
        instance = std::make_unique<corvid::lv2::Instance>(bundle, bundle.variants[variant],
                                                           48000.0, map.features());
        const corvid::lv2::PortLayout& ports = instance->ports();
        controls.resize(ports.controls);
        for (std::uint32_t i = 0; i < ports.controls; ++i) {
            controls[i] = static_cast<float>(
                instance->plainValue(static_cast<std::int32_t>(i)).defaultValue());
            instance->connect(i, &controls[i]);
        }
        audio.assign(ports.inputs + ports.outputs, std::vector<float>(4096, 0.0f));
        for (std::uint32_t c = 0; c < ports.inputs + ports.outputs; ++c) {
            for (std::size_t i = 0; i < 4096; ++i)
                audio[c][i] =
                    static_cast<float>(0.3 * std::sin(0.01 * static_cast<double>(i * (c + 1))));
            instance->connect(ports.firstInput() + c, audio[c].data());
        }
        instance->connect(ports.latencyPort(), &latency);
        instance->activate();
    }
};

} // namespace

TEST(Lv2RealTime, RunAllocatesNothingTakesNoLockAndCallsNoListener) {
    for (std::size_t variant : {0u, 1u}) {
        Rig rig(variant);
        ThreadListener listener;
        corvid::Client& client = rig.instance->client();
        for (std::int32_t i = 0; i < client.parameterCount(); ++i)
            client.parameter(i)->addListener(&listener);

        // The counters work: what the counting thread does is seen.
        corvid::testing::countAllocationsOnThisThread(true);
        ::operator delete(::operator new(sizeof(int))); // not elided by Clang
        {
            std::mutex m;
            m.lock();
            m.unlock();
        }
        corvid::testing::countAllocationsOnThisThread(false);
        ASSERT_EQ(corvid::testing::takeCountedAllocations(), 1);
        ASSERT_GE(corvid::testing::takeCountedLocks(), 1);

        rig.instance->run(256); // the first run takes every port
        rig.instance->values().deliver();
        corvid::testing::countAllocationsOnThisThread(true);
        for (int r = 0; r < 20000; ++r) {
            const auto k = static_cast<float>(r);
            rig.controls[spatium::kPan] = -90.0f + std::fmod(7.0f * k, 181.0f);
            rig.controls[spatium::kDistance] = -24.0f + std::fmod(3.0f * k, 30.0f);
            rig.controls[spatium::kMidToSideDelay] = 3.0f + std::fmod(k, 9.0f);
            rig.controls[spatium::kOutputLevel] = r % 3 ? -200.0f : 6.0f;
            rig.controls[spatium::kTestMono] = static_cast<float>(r % 2);
            rig.controls[spatium::kLfoTempo] = static_cast<float>(r % 12);
            rig.controls[spatium::kReserved0] = static_cast<float>(r % 17);
            rig.instance->run(static_cast<std::uint32_t>(1 + (r * 131) % 4096));
        }
        corvid::testing::countAllocationsOnThisThread(false);
        EXPECT_EQ(corvid::testing::takeCountedAllocations(), 0);
        EXPECT_EQ(corvid::testing::takeCountedLocks(), 0);
        EXPECT_EQ(listener.onAudio.load(), 0);
        EXPECT_EQ(rig.latency, 3.0f);

        // The UI side hears of each changed parameter once, however many runs
        // changed it.
        listener.elsewhere = 0;
        rig.instance->values().deliver();
        EXPECT_EQ(listener.elsewhere.load(), 7);
        rig.instance->values().deliver();
        EXPECT_EQ(listener.elsewhere.load(), 7);
        for (std::int32_t i = 0; i < client.parameterCount(); ++i)
            client.parameter(i)->removeListener(&listener);
    }
}

TEST(Lv2RealTime, PortValuesReachTheParametersClampedAndRounded) {
    Rig rig(1);
    corvid::Client& client = rig.instance->client();
    auto& pan = dynamic_cast<corvid::FloatParameter&>(*client.parameter(spatium::kPan));
    auto& gain = dynamic_cast<corvid::FloatParameter&>(*client.parameter(spatium::kOutputLevel));
    auto& tempo = dynamic_cast<corvid::IntegerParameter&>(*client.parameter(spatium::kLfoTempo));
    auto& mono = dynamic_cast<corvid::BoolParameter&>(*client.parameter(spatium::kTestMono));
    rig.controls[spatium::kPan] = 500.0f;
    rig.controls[spatium::kOutputLevel] = -130.0f;
    rig.controls[spatium::kLfoTempo] = 6.6f;
    rig.controls[spatium::kTestMono] = 0.7f;
    rig.instance->run(64);
    EXPECT_EQ(pan.value(), 90.0);
    EXPECT_EQ(gain.value(), -INFINITY); // at or below the floor: silence
    EXPECT_EQ(tempo.value(), 7);
    EXPECT_TRUE(mono.value());
    // A NaN from a broken host changes nothing.
    rig.controls[spatium::kPan] = NAN;
    rig.instance->run(64);
    EXPECT_EQ(pan.value(), 90.0);
    // A value set by the editor is not undone by ports that did not move.
    pan.setFromEditor(-10.0);
    rig.instance->run(64);
    EXPECT_EQ(pan.value(), -10.0);
}
