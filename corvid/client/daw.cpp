#include "corvid/client/daw.h"

#include <array>
#include <utility>

namespace corvid {

DawKind identifyHost(std::string_view productString) {
    // The order decides ties between names that contain each other's words.
    static constexpr std::array<std::pair<std::string_view, DawKind>, 24> kNames{{
        {"reaper", DawKind::reaper},
        {"cubase", DawKind::cubase},
        {"nuendo", DawKind::nuendo},
        {"cakewalk", DawKind::cakewalk},
        {"samplitude", DawKind::samplitude},
        {"fruity", DawKind::fruity},
        {"live", DawKind::live},
        {"melodyne", DawKind::melodyne},
        {"vstmanlib", DawKind::vstmanlib},
        {"aulab", DawKind::aulab},
        {"garageband", DawKind::garageband},
        {"forte", DawKind::forte},
        {"chainer", DawKind::chainer},
        {"audition", DawKind::audition},
        {"orion", DawKind::orion},
        {"sawstudio", DawKind::sawstudio},
        {"logic", DawKind::logic},
        {"digital", DawKind::digital},
        {"audiomulch", DawKind::audiomulch},
        {"presonus", DawKind::presonus},
        {"vst3plugintesthost", DawKind::vst3plugintesthost},
        {"protools", DawKind::protools},
        {"ardour", DawKind::ardour},
        {"standalone", DawKind::standalone},
    }};
    for (const auto& [name, kind] : kNames) {
        if (productString.find(name) != std::string_view::npos) return kind;
    }
    return DawKind::unknown;
}

} // namespace corvid
