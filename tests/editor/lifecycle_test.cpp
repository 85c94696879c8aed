// A host opens and closes an editor many times over a session, and creates and
// destroys instances that each built one: nothing may pile up, neither heap nor
// threads.

#include "tests/editor/editor_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace spatium;
using namespace spatium::testing;

namespace {

std::size_t heapInUse() {
#if defined(__GLIBC__)
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

std::size_t threadCount() {
    std::error_code error;
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
         !error && it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

// Under AddressSanitizer every paint and every editor build is many times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kCycles = 100;
#else
constexpr int kCycles = 1000;
#endif

} // namespace

TEST(EditorLifecycle, OpeningAndClosingOverAndOverLeavesNothingBehind) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    gui.openHeadlessEditor().paint();
    gui.closeEditor();
    const std::size_t heap = heapInUse();
    const std::size_t threads = threadCount();
    for (int i = 0; i < kCycles; ++i) {
        gui.openHeadlessEditor().paint();
        gui.closeEditor();
    }
    EXPECT_EQ(threadCount(), threads);
    // The allocator may keep a little for itself; a leak per open would be far more.
    EXPECT_LT(heapInUse(), heap + 64 * 1024);
}

TEST(EditorLifecycle, InstancesWithAnEditorComeAndGoWithoutATrace) {
    // The first instance warms the allocator and the one-time tables.
    { auto warm = clientWithEditor(); }
    const std::size_t heap = heapInUse();
    const std::size_t threads = threadCount();
    for (int i = 0; i < kCycles; ++i) {
        auto client = clientWithEditor();
        editorOf(*client);
    }
    EXPECT_EQ(threadCount(), threads);
    EXPECT_LT(heapInUse(), heap + 64 * 1024);
}
