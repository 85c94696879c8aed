// Generated and committed inputs of the widget fuzz target: random boxes, fields and
// input on every widget, none of which may draw outside its box.

#include "fuzz/widgets/playwidgets.h"
#include "tests/font/fontdata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

TEST(WidgetFuzzReplay, GeneratedAndCommittedInputs) {
    const std::vector<std::uint8_t> font = testfont::readDejaVuSans();
    auto fail = [](const std::string& what) { ADD_FAILURE() << what; };
    std::mt19937 rng(5);
    for (int run = 0; run < 600; ++run) {
        SCOPED_TRACE(run);
        std::vector<std::uint8_t> input(1 + rng() % 120);
        for (auto& b : input) b = static_cast<std::uint8_t>(rng());
        input[0] = static_cast<std::uint8_t>(run % 10); // every widget kind in turn
        widgetfuzz::playWidgets(input.data(), input.size(), font, fail);
        if (HasFailure()) return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(SPATIUM_WIDGET_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in), {}};
        widgetfuzz::playWidgets(input.data(), input.size(), font, fail);
    }
}
