#pragma once
// A small editor around the views: a root that keeps its children's boxes, the
// four parameters the panorama binds, and a host that records every gesture.

#include "tests/client/test_client.h"

#include "corvid/client/params.h"
#include "corvid/gui/graphics.h"

#include <memory>
#include <utility>

namespace view_testing {

// Window size and the boxes the product places its views in.
inline constexpr corvid::IntRect kPanoramaBox{143, 88, 381, 229};
inline constexpr corvid::IntRect kPhaseBox{492, 318, 631, 452};
inline constexpr std::int32_t kWindowWidth = 763;
inline constexpr std::int32_t kWindowHeight = 494;

// Keeps the boxes its children were given instead of stretching them over the window.
class Root : public corvid::GUIGraphics {
public:
    Root() : GUIGraphics(kWindowWidth, kWindowHeight, 2) {}
    void arrange(const corvid::IntRect& space) override { position = space; }

    template <typename T>
    T& place(std::unique_ptr<T> element, const corvid::IntRect& box) {
        element->setPosition(box);
        T& ref = *element;
        addChild(std::move(element));
        return ref;
    }
};

// Pan, Distance, Tilt and Output Level at the indices the product gives them,
// reporting to a recording host.
struct PlacementParameters {
    static constexpr std::int32_t kPan = 1, kDistance = 0, kTilt = 5, kOutput = 18;

    PlacementParameters()
        : client(corvid::createClient<testing_support::TestClient>()),
          pan(kPan, "Pan", "deg", -90.0, 90.0, 0.0),
          distance(kDistance, "Distance", "dB", -24.0, 6.0, 0.0),
          tilt(kTilt, "Tilt", "dB", -12.0, 12.0, 0.0), output(kOutput, "Output Level", 6.0, 0.0) {
        client->setHostCommand(&host);
        for (corvid::Parameter* p :
             {static_cast<corvid::Parameter*>(&pan), static_cast<corvid::Parameter*>(&distance),
              static_cast<corvid::Parameter*>(&tilt), static_cast<corvid::Parameter*>(&output)})
            p->setClient(client.get());
    }

    std::unique_ptr<testing_support::TestClient> client;
    testing_support::RecordingHost host;
    corvid::LinearFloatParameter pan, distance, tilt;
    corvid::GainParameter output;
};

} // namespace view_testing
