#include "tests/vst3/render.h"

#include "tools/spatium/audiofile.h"
#include "tools/aaxhost/host.h"

#include <algorithm>
#include <cmath>

namespace vst3host {

Audio readAudio(const std::string& path) {
    try {
        spatium::host::AudioReader reader(path);
        Audio audio;
        audio.channels = reader.channels();
        audio.rate = reader.sampleRate();
        audio.samples.resize(static_cast<std::size_t>(reader.frames() * audio.channels));
        reader.read(audio.samples.data(), reader.frames());
        return audio;
    } catch (const spatium::host::HostError& e) {
        throw Error(e.what());
    }
}

void writeAudio(const std::string& path, const Audio& audio) {
    try {
        spatium::host::AudioWriter writer(path, audio.channels, audio.rate);
        writer.write(audio.samples.data(), audio.frames());
        writer.commit();
    } catch (const spatium::host::HostError& e) {
        throw Error(e.what());
    }
}

Audio testSignal(std::int32_t channels, std::int32_t rate, double seconds) {
    Audio a;
    a.channels = channels;
    a.rate = rate;
    const auto frames = static_cast<std::int64_t>(std::lround(seconds * rate));
    std::uint32_t seed = 12345;
    for (std::int64_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        const double sweep = std::sin(2.0 * 3.141592653589793 * (100.0 + 3000.0 * t) * t);
        for (std::int32_t c = 0; c < channels; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.2;
            const double side = c == 0 ? std::cos(3.0 * t) : std::sin(3.0 * t);
            a.samples.push_back(static_cast<float>(0.5 * sweep * side + noise));
        }
    }
    return a;
}

Audio render(Plugin& plugin, const Audio& input, std::int32_t block,
             const std::vector<Change>& changes, Delivery delivery) {
    if (block < 1 || block > kMaxBlock) throw Error("block size out of range");
    if (input.channels != plugin.inputChannels()) throw Error("the input has the wrong channels");
    std::vector<Change> pending = changes;
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Change& a, const Change& b) { return a.frame < b.frame; });
    const std::int64_t total =
        input.frames() + static_cast<std::int64_t>(std::lround(0.1 * input.rate));
    Audio output;
    output.channels = 2;
    output.rate = input.rate;
    output.samples.assign(static_cast<std::size_t>(total * 2), 0.0f);
    const auto size = static_cast<std::size_t>(block);
    std::vector<float> in(size * 2), out(size * 2);
    const float* inPtr[2] = {in.data(), in.data() + size};
    float* outPtr[2] = {out.data(), out.data() + size};
    ParameterChanges queue;
    std::size_t next = 0;
    for (std::int64_t pos = 0; pos < total;) {
        // Cut blocks keep the regular grid and add a cut at each change frame, as
        // a plug-in splitting its block at change offsets would.
        std::int64_t end = std::min<std::int64_t>((pos / block + 1) * block, total);
        if (delivery == Delivery::cutBlocks)
            for (std::size_t k = next; k < pending.size(); ++k)
                if (pending[k].frame > pos) {
                    end = std::min(end, pending[k].frame);
                    break;
                }
        const auto n = static_cast<std::int32_t>(end - pos);
        std::fill(in.begin(), in.end(), 0.0f);
        for (std::int64_t f = pos; f < std::min(end, input.frames()); ++f)
            for (std::int32_t c = 0; c < input.channels; ++c)
                in[static_cast<std::size_t>(c) * size + static_cast<std::size_t>(f - pos)] =
                    input.samples[static_cast<std::size_t>(f * input.channels + c)];
        queue.clear();
        for (; next < pending.size() && pending[next].frame < end; ++next)
            queue.add(
                pending[next].id,
                static_cast<std::int32_t>(std::max<std::int64_t>(pending[next].frame - pos, 0)),
                pending[next].value);
        plugin.process(inPtr, outPtr, n, queue.empty() ? nullptr : &queue);
        for (std::int32_t f = 0; f < n; ++f)
            for (std::size_t c = 0; c < 2; ++c)
                output.samples[static_cast<std::size_t>((pos + f) * 2) + c] =
                    out[c * size + static_cast<std::size_t>(f)];
        pos = end;
    }
    return output;
}

} // namespace vst3host
