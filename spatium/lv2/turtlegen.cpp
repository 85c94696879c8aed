// Writes the bundle's Turtle files into the folder given as the only argument,
// from what the product client declares.

#include "corvid/lv2/turtle.h"
#include "spatium/lv2/bundle.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "spatium_lv2_turtle: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: spatium_lv2_turtle BUNDLE_FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    const corvid::lv2::BundleDescription bundle = spatium::lv2Bundle();
    const auto client = bundle.create();
    const bool ok =
        writeFile(dir + "/manifest.ttl", corvid::lv2::manifestTurtle(bundle, *client)) &&
        writeFile(dir + "/" + corvid::lv2::kPluginsFile,
                  corvid::lv2::pluginsTurtle(bundle, *client)) &&
        writeFile(dir + "/" + corvid::lv2::kPresetsFile,
                  corvid::lv2::presetsTurtle(bundle, *client));
    return ok ? 0 : 1;
}
