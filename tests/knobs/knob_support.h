#pragma once
// A window with one knob in it, a parameter reporting to a recording host, and
// maps to draw into directly.

#include "tests/client/test_client.h"

#include "corvid/client/params.h"
#include "corvid/graphics/image.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/knob.h"

#include <memory>
#include <utility>

namespace knob_testing {

class Root : public corvid::GUIGraphics {
public:
    Root(std::int32_t w, std::int32_t h) : GUIGraphics(w, h, 1) {}
    void arrange(const corvid::IntRect& space) override { position = space; }
    template <typename T>
    T& place(std::unique_ptr<T> element, const corvid::IntRect& box) {
        element->setPosition(box);
        T& ref = *element;
        addChild(std::move(element));
        return ref;
    }
};

struct Bound {
    Bound() : client(corvid::createClient<testing_support::TestClient>()) {
        client->setHostCommand(&host);
        value.setClient(client.get());
    }
    std::unique_ptr<testing_support::TestClient> client;
    testing_support::RecordingHost host;
    corvid::LinearFloatParameter value{3, "Amount", "%", 0.0, 100.0, 25.0};
};

// The three maps of one element, filled with a recognisable background.
struct Maps {
    Maps(std::int32_t w, std::int32_t h) : diffuse(w, h), depth(w, h), material(w, h) {
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                diffuse.pixelAt(x, y) = {std::uint8_t(x * 7), std::uint8_t(y * 5), 90, 3};
                depth.pixelAt(x, y) = corvid::L16(std::uint16_t(1000 + x * 31 + y * 17));
                material.pixelAt(x, y) = {10, std::uint8_t(x + y), 30, 200};
            }
    }
    corvid::OwnedImage<corvid::RGBA> diffuse;
    corvid::OwnedImage<corvid::L16> depth;
    corvid::OwnedImage<corvid::RGBA> material;
};

} // namespace knob_testing
