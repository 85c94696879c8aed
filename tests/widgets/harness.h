#pragma once
// Shared set-up of the widget tests: a test font, maps with a noisy background and
// guard bands, an editor root driven through a headless window, and a client whose
// host records every gesture.

#include "corvid/client/params.h"
#include "corvid/graphics/image.h"
#include "corvid/graphics/text/font.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/urlopener.h"
#include "tests/client/test_client.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace widgettest {

corvid::Font& testFont();

// Window-sized maps filled with a deterministic pattern, so a widget that leaves a
// pixel alone and one that writes the background's value apart are told apart.
struct Maps {
    Maps(std::int32_t width, std::int32_t height, std::uint32_t seed = 1);
    corvid::OwnedImage<corvid::RGBA> diffuse;
    corvid::OwnedImage<corvid::L16> depth;
    corvid::OwnedImage<corvid::RGBA> material;
    // Paints e as the redraw does: cropped to the element, rectangles in window pixels.
    void paint(corvid::UIElement& e, const std::vector<corvid::IntRect>& windowRects);
    bool operator==(const Maps& o) const;
    // First differing pixel as text, for failure messages; empty when equal.
    std::string firstDifference(const Maps& o) const;
    // Whether every pixel outside `box` equals the other maps' pixel.
    bool sameOutside(const Maps& o, const corvid::IntRect& box) const;
};

// An editor root that leaves its children where the test puts them.
class TestEditor : public corvid::GUIGraphics {
public:
    TestEditor(std::int32_t w = 200, std::int32_t h = 400) : GUIGraphics(w, h, 1) {}
    void arrange(const corvid::IntRect& space) override { position = space; }
};

// A client with a recording host; parameters made here report to that host.
struct Host {
    Host();
    ~Host();
    std::unique_ptr<testing_support::TestClient> client;
    testing_support::RecordingHost recorder;
    std::unique_ptr<corvid::IntegerParameter> integer(std::int32_t index, std::int32_t min,
                                                      std::int32_t max, std::int32_t def);
};

// Records addresses instead of opening them while alive.
struct UrlRecorder {
    UrlRecorder();
    ~UrlRecorder();
    std::vector<std::string> opened;
    corvid::UrlOpener previous;
};

} // namespace widgettest
