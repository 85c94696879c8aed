#pragma once
// The LV2 adapter of one plug-in instance, and the descriptors a bundle exports.
//
// LV2 hands control values to the plug-in on the audio thread, through ports the
// host writes between runs. run() reads them once per run and hands what changed
// to the shared host values, which the UI delivers to the listeners later.

#include "corvid/client/client.h"
#include "corvid/host/blockrunner.h"
#include "corvid/host/gestures.h"
#include "corvid/host/hostvalues.h"
#include "corvid/lv2/bundle.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvid::lv2 {

// Largest block handed to the client at once; longer host blocks are sliced.
inline constexpr std::int32_t kMaxHostFrames = 1024;

class Instance {
public:
    Instance(const BundleDescription& bundle, const Variant& variant, double sampleRate,
             const LV2_Feature* const* features);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    Client& client() { return *client_; }
    const BundleDescription& bundle() const { return bundle_; }
    const PortLayout& ports() const { return ports_; }
    const host::PlainValue& plainValue(std::int32_t index) const { return values_.plain(index); }
    host::HostValues& values() { return values_; }
    host::Gestures& gestures() { return gestures_; }

    void connect(std::uint32_t port, void* data);
    void activate();
    // Audio thread.
    void run(std::uint32_t frames);

    // Main thread.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

private:
    void readControls();

    const BundleDescription& bundle_;
    std::unique_ptr<Client> client_;
    PortLayout ports_;
    double sampleRate_;
    host::BlockRunner runner_;
    host::HostValues values_;
    host::Gestures gestures_;
    LV2_URID chunkType_ = 0;
    LV2_URID stateKey_ = 0;

    // Audio thread, apart from restore(), which hosts never run beside it.
    std::vector<const float*> controls_;
    std::vector<float> lastSeen_;
    std::vector<const float*> inputs_;
    std::vector<float*> outputs_;
    float* latencyOut_ = nullptr;
};

// The LV2_Descriptor of each variant of a bundle, with addresses that stay put for
// as long as the library is loaded.
class Descriptors {
public:
    explicit Descriptors(BundleDescription bundle);
    Descriptors(const Descriptors&) = delete;
    Descriptors& operator=(const Descriptors&) = delete;

    const BundleDescription& bundle() const { return bundle_; }
    // Null past the last variant.
    const LV2_Descriptor* descriptor(std::uint32_t index) const;

    struct Entry {
        LV2_Descriptor descriptor; // first: the host's pointer is the entry's
        const Descriptors* owner;
        std::size_t variant;
    };

private:
    BundleDescription bundle_;
    std::vector<std::string> uris_;
    std::vector<std::unique_ptr<Entry>> entries_;
};

} // namespace corvid::lv2
