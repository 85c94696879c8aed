// The editor through CLAP's gui extension on Windows (run under Wine): a child
// of the host's own top-level window, driven by that window's message loop; it
// paints, closes without leaving anything behind and opens again. Skips when
// there is no display to make windows on.

#include "tests/clap/testhost.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>

namespace {

using namespace claptest;

void pump(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

int children(HWND parent) {
    int n = 0;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
    return n;
}

TEST(ClapWin32Ui, OpensAsAChildOfTheHostsWindowClosesAndOpensAgain) {
    HWND frame = CreateWindowExW(0, L"STATIC", L"claptest", WS_OVERLAPPEDWINDOW, 0, 0, 800, 560,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!frame) GTEST_SKIP() << "no display for windows";
    ShowWindow(frame, SW_SHOW);
    Library library(SPATIUM_CLAP_LIBRARY);
    Host host;
    Instance instance(library, host);
    const clap_plugin_t* p = instance.plugin();
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(instance.gui->get_preferred_api(p, &api, &floating));
    EXPECT_STREQ(api, "win32");
    EXPECT_FALSE(floating);
    EXPECT_FALSE(instance.gui->is_api_supported(p, "x11", false));
    clap_window_t window{};
    window.api = "win32";
    window.handle.win32 = frame;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(instance.gui->create(p, "win32", false)) << round;
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(instance.gui->get_size(p, &w, &h));
        EXPECT_EQ(w, 763u);
        EXPECT_EQ(h, 494u);
        ASSERT_TRUE(instance.gui->set_parent(p, &window)) << round;
        EXPECT_TRUE(instance.gui->show(p));
        pump(0.5);
        EXPECT_EQ(children(frame), 1) << round;
        RECT r{};
        GetClientRect(GetWindow(frame, GW_CHILD), &r);
        EXPECT_EQ(r.right - r.left, 763) << round;
        instance.gui->destroy(p);
        pump(0.1);
        EXPECT_EQ(children(frame), 0) << round;
    }
    DestroyWindow(frame);
}

} // namespace
