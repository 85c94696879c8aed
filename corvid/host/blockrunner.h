#pragma once
// Runs a client from a host's audio callback, whatever the format: skips blocks
// whose channel layout the product did not declare, resets the client when asked
// or when the sample rate or channel counts change (and says when the latency must
// be reported again), and takes the block in slices of at most the largest host
// block, writing into private outputs so hosts that process in place keep their
// input intact while the product reads it.

#include "corvid/client/client.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace corvid::host {

// Audio thread: the host's changes that fall inside one block, in frame order.
class IBlockEvents {
public:
    virtual ~IBlockEvents() = default;
    // Applies every change due at or before frame and answers the frame of the
    // next one after it (anything past the block when there is none).
    virtual std::int32_t applyUntil(std::int32_t frame) = 0;
};

class BlockRunner {
public:
    // Main thread; allocates the private outputs.
    BlockRunner(Client& client, std::int32_t maxHostFrames);

    // Main thread, before the audio starts: the next block resets the client. rate
    // is the one whose latency the host was told, so only another rate re-reports it.
    void restart(double rate);

    struct Prepared {
        bool ready = false;          // false: skip this block
        bool latencyChanged = false; // report latency() to the host again
    };
    // Audio thread. Checks the block (a declared layout, a positive rate, every
    // channel pointer present) and resets the client when needed.
    Prepared prepare(double rate, std::int32_t inputs, std::int32_t outputs, const float* const* in,
                     float* const* out);
    // Audio thread, after prepare answered ready for the same channels.
    void process(const float* const* in, float* const* out, std::int32_t frames,
                 TransportInfo transport);
    // The same, cut at the frames where events has changes, so each takes effect
    // at its frame; changes at or past the block's end are applied after it.
    void process(const float* const* in, float* const* out, std::int32_t frames,
                 TransportInfo transport, IBlockEvents& events);

    std::int32_t maxHostFrames() const { return maxHostFrames_; }
    // The latency at the rate of the last reset (or of restart).
    std::int32_t latency() const { return latency_; }

private:
    void processRange(const float* const* in, float* const* out, std::int32_t offset,
                      std::int32_t frames, TransportInfo transport);

    Client& client_;
    std::int32_t maxHostFrames_;
    std::atomic<int> resetPending_{0};
    double lastRate_ = 0.0;
    std::int32_t lastInputs_ = -1;
    std::int32_t lastOutputs_ = -1;
    std::int32_t latency_ = 0;
    std::vector<float> outputStorage_; // maxOutputs blocks of maxHostFrames
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
};

} // namespace corvid::host
