// The editor's gestures held for a host that takes them only while processing:
// order kept across threads, and a ring that fills without ever losing the end
// of a gesture that went in.

#include "corvid/host/editqueue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using corvid::host::Edit;
using corvid::host::EditQueue;

std::vector<std::string> drain(EditQueue& queue) {
    std::vector<std::string> out;
    while (const Edit* e = queue.front()) {
        const char* kind = e->kind == Edit::Kind::begin ? "begin"
                           : e->kind == Edit::Kind::end ? "end"
                                                        : "value";
        out.push_back(std::string(kind) + " " + std::to_string(e->index));
        queue.pop();
    }
    return out;
}

TEST(EditQueue, KeepsOrderAndPairsAndIgnoresUnknownParameters) {
    EditQueue queue(4, 16);
    queue.performEdit(1, 0.5); // a switch clicked: a value outside any gesture
    queue.beginEdit(2);
    queue.beginEdit(2); // already open
    queue.performEdit(2, 0.25);
    queue.endEdit(2);
    queue.endEdit(2); // none open
    queue.endEdit(3); // never begun
    queue.beginEdit(4);
    queue.performEdit(-1, 0.0);
    EXPECT_EQ(drain(queue), (std::vector<std::string>{"value 1", "begin 2", "value 2", "end 2"}));
    EXPECT_TRUE(queue.empty());
    queue.pop(); // nothing to pop: no harm
    EXPECT_TRUE(queue.empty());
}

TEST(EditQueue, AFullRingDropsNewWorkButKeepsEveryEndOfWhatWentIn) {
    EditQueue queue(3, 4);
    queue.beginEdit(0);
    queue.beginEdit(1);
    for (int i = 0; i < 100; ++i) queue.performEdit(0, i / 100.0);
    queue.beginEdit(2); // no room: dropped, and so are its values and end
    queue.performEdit(2, 0.5);
    queue.endEdit(2);
    queue.endEdit(0);
    queue.endEdit(1);
    const std::vector<std::string> got = drain(queue);
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(got[0], "begin 0");
    EXPECT_EQ(got[1], "begin 1");
    EXPECT_EQ(got[got.size() - 2], "end 0");
    EXPECT_EQ(got.back(), "end 1");
    for (const std::string& e : got) EXPECT_EQ(e.find(" 2"), std::string::npos) << e;
    // Emptied, it takes gestures again.
    queue.beginEdit(2);
    queue.endEdit(2);
    EXPECT_EQ(drain(queue), (std::vector<std::string>{"begin 2", "end 2"}));
}

TEST(EditQueue, AReaderOnAnotherThreadSeesValuesInOrderAndTheEnd) {
    EditQueue queue(1, 64);
    constexpr int kValues = 200000;
    queue.beginEdit(0);
    int seen = 0;
    double last = -1.0;
    bool ordered = true;
    std::thread reader([&] {
        for (;;) {
            const Edit* e = queue.front();
            if (!e) continue;
            const Edit edit = *e;
            queue.pop();
            if (edit.kind == Edit::Kind::end) return;
            if (edit.kind != Edit::Kind::value) continue;
            ordered = ordered && edit.normalized > last;
            last = edit.normalized;
            ++seen;
        }
    });
    for (int i = 0; i < kValues; ++i) queue.performEdit(0, i);
    queue.endEdit(0);
    reader.join();
    EXPECT_TRUE(ordered);
    EXPECT_GT(seen, 0);
}

} // namespace
