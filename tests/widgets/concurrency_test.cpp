// Parameter changes and meter levels from two other threads while the widgets are
// animated, drawn and destroyed. Meant for ThreadSanitizer as much as for the
// plain build: the listeners may only touch atomics, and a widget's removal from
// its parameter must be complete before its memory goes.

#include "corvid/pbrwidgets/bargraph.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "tests/widgets/harness.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/radiobutton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace corvid;
using namespace widgettest;

TEST(Concurrency, ChangesFromOtherThreadsWhileWidgetsLiveAndDie) {
    Host host;
    auto ip = host.integer(0, 0, 11, 3);
    LinearFloatParameter fp(1, "F", "dB", 0.0, 1.0, 0.5);
    std::atomic<bool> stop{false};
    std::thread hostThread([&] {
        for (int i = 0; !stop; ++i) {
            ip->applyFromHost((i % 12) / 11.0);
            fp.applyFromHost((i % 100) / 100.0);
        }
    });
    std::thread audioThread([&] {
        for (int i = 0; !stop; ++i) {
            fp.beginEdit();
            fp.notifyListeners();
            fp.endEdit();
            ip->notifyListeners();
        }
    });
    for (int round = 0; round < 20; ++round) {
        TestEditor gui(120, 340);
        auto& dd = static_cast<vireo::VireoDropdown&>(gui.addChild(
            std::make_unique<vireo::VireoDropdown>(gui.getContext(), ip.get(), &testFont())));
        dd.setPosition({0, 0, 47, 320});
        dd.labels = {"a", "b", "c"};
        dd.open = true;
        auto& radio = gui.addChild(vireo::VireoRadioButtonSet::create(ip.get(), gui.getContext()));
        radio.setPosition({50, 0, 109, 140});
        auto& hint =
            gui.addChild(std::make_unique<UIParamHint>(gui.getContext(), &fp, &testFont()));
        hint.setPosition({50, 150, 90, 172});
        auto& window = gui.openHeadlessEditor();
        for (int i = 0; i < 10; ++i) {
            window.advanceTime(15);
            window.tick();
        }
    }
    stop = true;
    hostThread.join();
    audioThread.join();
    EXPECT_EQ(ip->listenerCount(), 0u);
    EXPECT_EQ(fp.listenerCount(), 0u);
}

TEST(Concurrency, MeterLevelsFromTheAudioThreadWhileDrawn) {
    TestEditor gui(60, 120);
    auto& bars = static_cast<UIBargraph&>(gui.addChild(std::make_unique<UIBargraph>(
        gui.getContext(), 2, std::vector<RGBA>(12, RGBA{200, 40, 40, 0}))));
    bars.setPosition({5, 5, 35, 115});
    auto& window = gui.openHeadlessEditor();
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        for (int i = 0; !stop; ++i) {
            const float lv[] = {float(i % 50) / 50.0f, 1.0f - float(i % 50) / 50.0f};
            bars.setLevels(lv);
        }
    });
    for (int i = 0; i < 50; ++i) {
        window.advanceTime(15);
        window.tick();
    }
    stop = true;
    audio.join();
    EXPECT_GE(bars.readLevel(1), 0.0f);
}

} // namespace
