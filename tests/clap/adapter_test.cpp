// The CLAP adapter's own rules, in process: the editor's gestures reach the
// host as events of the next process or flush, a flush is asked for when the
// host is not processing, and calls made on the wrong thread are refused.

#include "spatium/params.h"
#include "tests/clap/rig.h"

#include <gtest/gtest.h>

namespace {

using namespace clapadapter;

TEST(ClapAdapter, GesturesGoOutFromTheNextProcessInOrderAsPlainValues) {
    Rig rig(2);
    auto& pan =
        dynamic_cast<corvid::FloatParameter&>(*rig.adapter().client().parameter(spatium::kPan));
    std::vector<std::vector<float>> in(2, std::vector<float>(64)), out = in;
    pan.beginEdit();
    pan.setFromEditor(45.0);
    EXPECT_EQ(rig.side.flushRequests, 0) << "processing: the next block takes them";
    EventList sent;
    rig.process(in, out, 64, nullptr, &sent);
    ASSERT_EQ(sent.count, 2u);
    EXPECT_EQ(sent.type(0), kEventParamGestureBegin);
    EXPECT_EQ(sent.type(1), kEventParamValue);
    EXPECT_EQ(sent.id(1), static_cast<clap_id>(spatium::kPan));
    EXPECT_DOUBLE_EQ(sent.values[1].value, 45.0);
    EXPECT_EQ(sent.values[1].note_id, -1);

    // While the gesture is open the host's own values for it are not taken.
    EventList host;
    host.add(0, spatium::kPan, -80.0);
    rig.process(in, out, 64, &host, nullptr);
    double value = 0.0;
    rig.params().get_value(rig.plugin, spatium::kPan, &value);
    EXPECT_DOUBLE_EQ(value, 45.0);

    // A host list with no room keeps the rest for later.
    rig.stop();
    pan.endEdit();
    EXPECT_EQ(rig.side.flushRequests, 1) << "not processing: the host is asked to flush";
    EventList full;
    full.room = 0;
    rig.params().flush(rig.plugin, nullptr, &full.out);
    EXPECT_EQ(full.count, 0u);
    EventList flushed;
    rig.params().flush(rig.plugin, nullptr, &flushed.out);
    ASSERT_EQ(flushed.count, 1u);
    EXPECT_EQ(flushed.type(0), kEventParamGestureEnd);
}

TEST(ClapAdapter, MainThreadCallsFromTheAudioThreadAreRefused) {
    Rig rig(2);
    rig.side.inAudio = true;
    const auto* state =
        static_cast<const clap_plugin_state*>(rig.plugin->get_extension(rig.plugin, kExtState));
    clap_ostream sink{nullptr, [](const clap_ostream*, const void*, std::uint64_t n) {
                          return static_cast<std::int64_t>(n);
                      }};
    EXPECT_FALSE(state->save(rig.plugin, &sink));
    rig.side.inAudio = false;
    EXPECT_TRUE(state->save(rig.plugin, &sink));
}

TEST(ClapAdapter, TheEditorNeedsTheHostsTimerAndEmbedsOnly) {
    Rig rig(2);
    const auto* gui =
        static_cast<const clap_plugin_gui*>(rig.plugin->get_extension(rig.plugin, kExtGui));
    ASSERT_NE(gui, nullptr);
    EXPECT_FALSE(gui->is_api_supported(rig.plugin, kWindowApiX11, true));
    EXPECT_FALSE(gui->is_api_supported(rig.plugin, "cocoa", false));
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui->get_preferred_api(rig.plugin, &api, &floating));
    EXPECT_FALSE(floating);
    EXPECT_TRUE(gui->is_api_supported(rig.plugin, api, false));
    // This host offers no timer-support: nothing would run the window.
    EXPECT_FALSE(gui->create(rig.plugin, api, false));
}

} // namespace
