// The widget fuzz target: every input picks a widget, its box and fields, and a
// run of input and host changes, and nothing may be drawn outside the box.

#include "fuzz/widgets/playwidgets.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const std::vector<std::uint8_t>& font() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
        return std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    }();
    if (bytes.empty()) {
        std::fprintf(stderr, "fuzz_widgets needs fonts-dejavu-core\n");
        std::abort();
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    widgetfuzz::playWidgets(data, size, font(), [](const std::string& what) {
        std::fprintf(stderr, "widget fuzz: %s\n", what.c_str());
        std::abort();
    });
    return 0;
}
