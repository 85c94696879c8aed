// The demo program in a real X11 window: what the X server shows must be what the
// same scene renders to headless, pixel for pixel, away from the animated lamps.

#include <gtest/gtest.h>

#include "xvfb.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

bool readPng(const std::string& path, Picture& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

TEST(GuidemoX11, WindowShowsTheSameLitPixelsAsTheHeadlessRender) {
    corvid::testing::XvfbServer server;
    if (!server.available()) GTEST_SKIP() << "Xvfb is not available";
    const std::string dir = ::testing::TempDir();
    const std::string headless = dir + "guidemo_headless.png";
    const std::string captured = dir + "guidemo_x11.png";
    const std::string program = GUIDEMO_PATH;
    ASSERT_EQ(std::system((program + " --screenshot " + headless).c_str()), 0);
    ASSERT_EQ(std::system(("DISPLAY=" + server.display() + " " + program +
                           " --seconds 0.5 --capture " + captured)
                              .c_str()),
              0);

    Picture a, b;
    ASSERT_TRUE(readPng(headless, a));
    ASSERT_TRUE(readPng(captured, b));
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    int differing = 0, lit = 0;
    for (int y = 0; y < 250; ++y)
        for (int x = 0; x < 450; ++x) {
            const size_t i =
                (static_cast<size_t>(y) * static_cast<size_t>(a.width) + static_cast<size_t>(x)) *
                3;
            differing += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] ||
                         a.rgb[i + 2] != b.rgb[i + 2];
            lit += b.rgb[i] > 150; // the gold and silver domes are bright
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(lit, 5000);
    std::remove(headless.c_str());
    std::remove(captured.c_str());
}

} // namespace
