#pragma once
// Host values that reach the plug-in on the audio thread, whatever the format:
// LV2 ports read once per run, VST3 and CLAP events at their frames. Each is
// stored with the parameter's lock-free store and marked; the parameter's
// listeners (the editor's widgets, which lock) hear of it later, on the editor
// thread, from deliver(). Two kinds of value are not taken:
// - while the editor holds a parameter (a gesture is under way), the host can
//   only send values the editor wrote before its latest one: taking them would
//   pull the knob back under the hand;
// - a value equal, at the precision the host carries, to what the parameter
//   holds is the host's echo of the editor's own write: the parameter has it
//   already at full precision, which the echo would cut.
// Nothing here allocates, locks, waits or calls a listener on the audio thread.

#include "corvid/client/client.h"
#include "corvid/host/hostparams.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvid::host {

class HostValues {
public:
    // Main thread; sizes everything for the client's parameters.
    explicit HostValues(Client& client);

    std::int32_t count() const { return static_cast<std::int32_t>(plain_.size()); }
    const PlainValue& plain(std::int32_t index) const {
        return plain_[static_cast<std::size_t>(index)];
    }

    // Audio thread. A normalised value; false when it was not taken (out of range
    // index, NaN, held, or an echo).
    bool takeNormalized(std::int32_t index, double normalized);
    // Audio thread. A value in plain units, as LV2 and CLAP carry them.
    bool takePlain(std::int32_t index, double plain);

    // Editor thread. The same rules for a value a format delivers there (an LV2
    // UI's port event): stored and told to the listeners at once.
    bool applyPlainNow(std::int32_t index, double plain);
    bool applyNormalizedNow(std::int32_t index, double normalized);

    // Editor thread: while held, host values for the parameter are ignored.
    void hold(std::int32_t index, bool held);
    bool isHeld(std::int32_t index) const;

    // Editor (or main) thread: tells the listeners of every value taken since the
    // last call. Answers how many parameters changed.
    std::int32_t deliver();

private:
    bool valid(std::int32_t index) const { return index >= 0 && index < count(); }
    void store(std::int32_t index, double normalized);

    Client& client_;
    std::vector<PlainValue> plain_;
    // Set on the audio thread, cleared by deliver().
    std::unique_ptr<std::atomic<bool>[]> changed_;
    // Set and cleared by the editor, read on the audio thread.
    std::unique_ptr<std::atomic<bool>[]> held_;
};

// The echo test: equal at the 32-bit float precision the host side carries.
inline bool sameAtHostPrecision(double a, double b) {
    return static_cast<float>(a) == static_cast<float>(b);
}

} // namespace corvid::host
