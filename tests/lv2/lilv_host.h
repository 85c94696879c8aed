#pragma once
// A small LV2 host over lilv, as real hosts load plug-ins: a world, a URID map,
// instances told their block bounds and with every port connected to host-owned
// buffers.

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace lv2test {

class World {
public:
    // Loads one bundle folder, or every installed bundle when bundle is empty.
    explicit World(const std::string& bundle = "");
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    LilvWorld* get() const { return world_; }
    // Adds one bundle folder, e.g. a freshly built one next to the installed ones.
    void loadBundle(const std::string& bundle);
    // Null when the plug-in is not known.
    const LilvPlugin* plugin(const std::string& uri) const;
    LV2_URID_Map* map() { return &map_; }
    LV2_URID_Unmap* unmap() { return &unmap_; }
    const LV2_Feature* const* features() const { return features_.data(); }
    LV2_URID mapUri(const char* uri);
    const char* unmapUrid(LV2_URID urid);

private:
    LilvWorld* world_;
    std::mutex lock_;
    std::map<std::string, LV2_URID> ids_;
    std::vector<std::string> names_;
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};
    LV2_Feature mapFeature_{};
    LV2_Feature unmapFeature_{};
    std::vector<const LV2_Feature*> features_;
};

// One instance with its control values, audio buffers of up to maxFrames and the
// control outputs, all owned by the host.
class Plugin {
public:
    Plugin(World& world, const std::string& uri, double rate, std::uint32_t maxFrames = 4096);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const LilvPlugin* plugin() const { return plugin_; }
    LilvInstance* instance() const { return instance_; }
    std::uint32_t portCount() const { return static_cast<std::uint32_t>(values_.size()); }
    // Control port value (inputs are set to their defaults at the start).
    float& control(std::uint32_t port) { return values_[port]; }
    // Index of the port with this symbol; throws when there is none.
    std::uint32_t port(const std::string& symbol) const;
    std::uint32_t inputs() const { return static_cast<std::uint32_t>(audioIn_.size()); }
    std::uint32_t outputs() const { return static_cast<std::uint32_t>(audioOut_.size()); }
    std::vector<float>& input(std::uint32_t c) { return audioIn_[c].buffer; }
    const std::vector<float>& output(std::uint32_t c) const { return audioOut_[c].buffer; }
    void run(std::uint32_t frames);

    // Every channel of input (inputs() of them) in blocks cycling through
    // blockSizes, calling between(block number) before each block.
    template <class F>
    std::vector<std::vector<float>> render(const std::vector<std::vector<float>>& input,
                                           const std::vector<std::uint32_t>& blockSizes,
                                           F&& between);

private:
    struct Audio {
        std::uint32_t port;
        std::vector<float> buffer;
    };
    // An atom port's buffer, in 64-bit words because atoms are 8-byte aligned.
    struct Atoms {
        bool input;
        std::vector<std::uint64_t> buffer;
        LV2_Atom* atom() { return reinterpret_cast<LV2_Atom*>(buffer.data()); }
    };
    void connectPorts();
    void resetAtoms();

    World& world_;
    const LilvPlugin* plugin_;
    LilvInstance* instance_ = nullptr;
    std::vector<float> values_;
    std::vector<Audio> audioIn_;
    std::vector<Audio> audioOut_;
    std::vector<Atoms> atoms_;
    std::uint32_t maxFrames_;
    std::int32_t blockBounds_[2];
    float rate_;
    std::vector<LV2_Options_Option> options_;
    LV2_Feature optionsFeature_{};
    LV2_Feature boundedFeature_{};
    std::vector<const LV2_Feature*> features_;
    LV2_URID sequenceType_ = 0;
    LV2_URID chunkType_ = 0;
};

template <class F>
std::vector<std::vector<float>> Plugin::render(const std::vector<std::vector<float>>& input,
                                               const std::vector<std::uint32_t>& blockSizes,
                                               F&& between) {
    const std::size_t frames = input.at(0).size();
    std::vector<std::vector<float>> out(outputs(), std::vector<float>(frames));
    std::size_t pos = 0;
    for (std::size_t b = 0; pos < frames; ++b) {
        const auto n = static_cast<std::uint32_t>(
            std::min<std::size_t>(blockSizes[b % blockSizes.size()], frames - pos));
        if (n > maxFrames_) throw std::runtime_error("block larger than the host's buffers");
        between(b);
        for (std::uint32_t c = 0; c < inputs(); ++c)
            std::copy(input[c].begin() + static_cast<long>(pos),
                      input[c].begin() + static_cast<long>(pos + n), audioIn_[c].buffer.begin());
        run(n);
        for (std::uint32_t c = 0; c < outputs(); ++c)
            std::copy(audioOut_[c].buffer.begin(), audioOut_[c].buffer.begin() + n,
                      out[c].begin() + static_cast<long>(pos));
        pos += n;
    }
    return out;
}

// Noise with a tone on top, reproducible from the seed.
std::vector<float> noiseAndTone(std::size_t frames, std::uint32_t seed, double toneStep);

} // namespace lv2test
