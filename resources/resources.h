#pragma once
// The editor's pictures and fonts, compiled into the program: the plug-in never
// opens a file. Each getter returns the bytes of one file as it was committed.

#include <cstdint>
#include <span>

namespace spatium::resources {

using Bytes = std::span<const std::uint8_t>;

// Panel maps, 763 x 494: colour (JPEG), and the emissive, material, physical and
// height pictures (PNG) that become the alpha of the diffuse map, the material map,
// its alpha and the depth map.
Bytes baseColourJpeg();
Bytes emissivePng();
Bytes materialPng();
Bytes physicalPng();
Bytes depthPng();
// The environment reflected by metal, 1024 x 768.
Bytes skyboxJpeg();
// The maker's mark, 60 x 45 with alpha.
Bytes logoPng();
// TrueType faces: Lato Semibold for values and menus, League Spartan Bold for titles.
Bytes textFont();
Bytes titleFont();

} // namespace spatium::resources
