#include "tests/widgets/harness.h"

#include "tests/font/fontdata.h"

#include <gtest/gtest.h>

#include <sstream>

namespace widgettest {

using namespace corvid;

Font& testFont() {
    static const std::vector<std::uint8_t> data = testfont::readDejaVuSans();
    static Font font(data);
    return font;
}

Maps::Maps(std::int32_t width, std::int32_t height, std::uint32_t seed)
    : diffuse(width, height), depth(width, height), material(width, height) {
    std::uint32_t s = seed * 2654435761u + 12345u;
    auto next = [&] {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    };
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t a = next(), b = next();
            diffuse.pixelAt(x, y) = {std::uint8_t(a), std::uint8_t(a >> 8), std::uint8_t(a >> 16),
                                     std::uint8_t(a >> 24)};
            material.pixelAt(x, y) = {std::uint8_t(b), std::uint8_t(b >> 8), std::uint8_t(b >> 16),
                                      std::uint8_t(b >> 24)};
            depth.pixelAt(x, y) = L16(std::uint16_t(next()));
        }
}

void Maps::paint(UIElement& e, const std::vector<IntRect>& windowRects) {
    e.paintElement(diffuse.asView(), depth.asView(), material.asView(), windowRects);
}

std::string Maps::firstDifference(const Maps& o) const {
    for (std::int32_t y = 0; y < diffuse.height(); ++y)
        for (std::int32_t x = 0; x < diffuse.width(); ++x) {
            const RGBA a = diffuse.pixelAt(x, y), b = o.diffuse.pixelAt(x, y);
            const RGBA m = material.pixelAt(x, y), n = o.material.pixelAt(x, y);
            const int d = depth.pixelAt(x, y).l, e = o.depth.pixelAt(x, y).l;
            if (a == b && m == n && d == e) continue;
            std::ostringstream s;
            s << "at (" << x << ", " << y << ") diffuse " << int(a.r) << ',' << int(a.g) << ','
              << int(a.b) << ',' << int(a.a) << " vs " << int(b.r) << ',' << int(b.g) << ','
              << int(b.b) << ',' << int(b.a) << " depth " << d << " vs " << e << " material "
              << int(m.r) << ',' << int(m.g) << ',' << int(m.b) << ',' << int(m.a) << " vs "
              << int(n.r) << ',' << int(n.g) << ',' << int(n.b) << ',' << int(n.a);
            return s.str();
        }
    return {};
}

bool Maps::operator==(const Maps& o) const {
    return firstDifference(o).empty();
}

bool Maps::sameOutside(const Maps& o, const IntRect& box) const {
    for (std::int32_t y = 0; y < diffuse.height(); ++y)
        for (std::int32_t x = 0; x < diffuse.width(); ++x) {
            if (box.contains(x, y)) continue;
            if (!(diffuse.pixelAt(x, y) == o.diffuse.pixelAt(x, y)) ||
                !(material.pixelAt(x, y) == o.material.pixelAt(x, y)) ||
                depth.pixelAt(x, y).l != o.depth.pixelAt(x, y).l)
                return false;
        }
    return true;
}

Host::Host() : client(createClient<testing_support::TestClient>()) {
    client->setHostCommand(&recorder);
}

Host::~Host() = default;

std::unique_ptr<IntegerParameter> Host::integer(std::int32_t index, std::int32_t min,
                                                std::int32_t max, std::int32_t def) {
    auto p =
        std::make_unique<IntegerParameter>(index, "I" + std::to_string(index), "", min, max, def);
    p->setClient(client.get());
    return p;
}

UrlRecorder::UrlRecorder() {
    previous = setUrlOpener([this](std::string_view url) { opened.emplace_back(url); });
}

UrlRecorder::~UrlRecorder() {
    setUrlOpener(previous);
}

} // namespace widgettest

namespace {
// No test may start a browser: until a test installs its own recorder, any
// address that reaches the opener fails the running test.
struct NoBrowser {
    NoBrowser() {
        corvid::setUrlOpener([](std::string_view url) {
            ADD_FAILURE() << "a test tried to open " << std::string(url);
        });
    }
} noBrowser;
} // namespace
