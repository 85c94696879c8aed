// wavcompare A B [--tolerance T]: prints the largest absolute difference between
// two audio files of the same shape. Exit status 0 when it is at most T (default
// 0, bit-identical), 1 when larger, 2 when the files cannot be compared.

#include "tools/aaxhost/host.h"
#include "tools/spatium/audiofile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: wavcompare A B [--tolerance T]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> paths;
    double tolerance = 0.0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tolerance") == 0 && i + 1 < argc) {
            char* end = nullptr;
            tolerance = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(tolerance >= 0.0)) return usage();
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (paths.size() != 2) return usage();

    try {
        spatium::host::AudioReader a(paths[0]), b(paths[1]);
        if (a.channels() != b.channels() || a.sampleRate() != b.sampleRate() ||
            a.frames() != b.frames()) {
            std::fprintf(stderr,
                         "wavcompare: shapes differ: %d channels, %d Hz, %lld frames against %d "
                         "channels, %d Hz, %lld frames\n",
                         a.channels(), a.sampleRate(), static_cast<long long>(a.frames()),
                         b.channels(), b.sampleRate(), static_cast<long long>(b.frames()));
            return 2;
        }
        constexpr std::int64_t kBlock = 4096;
        const auto channels = static_cast<std::size_t>(a.channels());
        std::vector<float> blockA(kBlock * channels), blockB(kBlock * channels);
        double largest = 0.0;
        std::int64_t at = 0, worstFrame = 0;
        while (at < a.frames()) {
            const std::int64_t n = a.read(blockA.data(), kBlock);
            if (b.read(blockB.data(), n) != n || n == 0) {
                std::fprintf(stderr, "wavcompare: the files end early\n");
                return 2;
            }
            for (std::size_t i = 0; i < static_cast<std::size_t>(n) * channels; ++i) {
                const double d = std::fabs(static_cast<double>(blockA[i]) - blockB[i]);
                // A NaN on one side only is a difference, not a match.
                if (d > largest || (std::isnan(d) && !std::isnan(largest))) {
                    largest = d;
                    worstFrame = at + static_cast<std::int64_t>(i / channels);
                }
            }
            at += n;
        }
        std::printf("%lld frames, %d channels: largest difference %.9g (frame %lld)\n",
                    static_cast<long long>(a.frames()), a.channels(), largest,
                    static_cast<long long>(worstFrame));
        return largest <= tolerance ? 0 : 1;
    } catch (const spatium::host::HostError& e) {
        std::fprintf(stderr, "wavcompare: %s\n", e.what());
        return 2;
    }
}
