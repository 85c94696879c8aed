#pragma once
// The LV2 adapter of one plug-in instance, and the descriptors a bundle exports.
//
// LV2 hands control values to the plug-in on the audio thread, through ports the
// host writes between runs. run() reads them once per run, stores what changed in
// the parameters with a lock-free store and marks it; the parameters' listeners
// (the editor's widgets, which lock) hear of it later on the UI thread, from
// deliverChanges(). Nothing in run() allocates, locks, waits or calls a listener.

#include "corvid/client/client.h"
#include "corvid/host/blockrunner.h"
#include "corvid/host/hostparams.h"
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

// Where the client's gestures go: the UI attached to the instance, if any.
class GestureSink : public IHostCommand {
public:
    void attach(IHostCommand* target) { target_ = target; }
    bool attached() const { return target_ != nullptr; }
    void beginParameterEdit(std::int32_t index) override;
    void automateParameter(std::int32_t index, float normalized) override;
    void endParameterEdit(std::int32_t index) override;
    bool requestEditorResize(std::int32_t width, std::int32_t height) override;
    DawKind hostKind() override;

private:
    IHostCommand* target_ = nullptr;
};

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
    const host::PlainValue& plainValue(std::int32_t index) const {
        return plain_[static_cast<std::size_t>(index)];
    }
    GestureSink& gestures() { return gestures_; }

    void connect(std::uint32_t port, void* data);
    void activate();
    // Audio thread.
    void run(std::uint32_t frames);

    // Main thread.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // UI thread: tells the listeners of every value run() took from the ports since
    // the last call.
    void deliverChanges();
    // UI thread: while a control is held by an editor gesture, run() leaves the
    // parameter to the editor and ignores what the port carries.
    void holdControl(std::uint32_t port, bool held);

private:
    void readControls();

    const BundleDescription& bundle_;
    GestureSink gestures_;
    std::unique_ptr<Client> client_;
    PortLayout ports_;
    double sampleRate_;
    host::BlockRunner runner_;
    std::vector<host::PlainValue> plain_;
    LV2_URID chunkType_ = 0;
    LV2_URID stateKey_ = 0;

    // Audio thread, apart from restore(), which hosts never run beside it.
    std::vector<const float*> controls_;
    std::vector<float> lastSeen_;
    std::vector<const float*> inputs_;
    std::vector<float*> outputs_;
    float* latencyOut_ = nullptr;
    // Set by run(), cleared by deliverChanges().
    std::unique_ptr<std::atomic<bool>[]> changed_;
    // Set and cleared by the UI, read by run().
    std::unique_ptr<std::atomic<bool>[]> held_;
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
