#include "corvid/host/blockrunner.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace corvid::host {

BlockRunner::BlockRunner(Client& client, std::int32_t maxHostFrames)
    : client_(client), maxHostFrames_(maxHostFrames) {
    outputStorage_.assign(static_cast<std::size_t>(client_.maxOutputs()) *
                              static_cast<std::size_t>(maxHostFrames_),
                          0.0f);
    inputPointers_.assign(static_cast<std::size_t>(client_.maxInputs()), nullptr);
    outputPointers_.assign(static_cast<std::size_t>(client_.maxOutputs()), nullptr);
}

void BlockRunner::restart(double rate) {
    resetPending_.store(1);
    lastRate_ = rate;
    latency_ = client_.latencyInSamples(rate);
}

BlockRunner::Prepared BlockRunner::prepare(double rate, std::int32_t inputs, std::int32_t outputs,
                                           const float* const* in, float* const* out) {
    Prepared result;
    // The product reads and writes exactly the channels of a declared layout;
    // anything else would run it past its buffers.
    const auto& layouts = client_.channelLayouts();
    const bool declared = std::any_of(layouts.begin(), layouts.end(), [&](const ChannelLayout& l) {
        return l.numInputs == inputs && l.numOutputs == outputs;
    });
    if (!declared || !(rate > 0.0) || !in || !out) return result;
    for (std::int32_t c = 0; c < inputs; ++c)
        if (!in[c]) return result;
    for (std::int32_t c = 0; c < outputs; ++c)
        if (!out[c]) return result;

    int expected = 1;
    const bool pending = resetPending_.compare_exchange_strong(expected, 0);
    if (pending || rate != lastRate_ || inputs != lastInputs_ || outputs != lastOutputs_) {
        client_.hostReset(rate, maxHostFrames_, inputs, outputs);
        if (rate != lastRate_) {
            latency_ = client_.latencyInSamples(rate);
            result.latencyChanged = true;
        }
        lastRate_ = rate;
        lastInputs_ = inputs;
        lastOutputs_ = outputs;
    }
    result.ready = true;
    return result;
}

void BlockRunner::process(const float* const* in, float* const* out, std::int32_t frames,
                          TransportInfo transport) {
    processRange(in, out, 0, frames, transport);
}

void BlockRunner::process(const float* const* in, float* const* out, std::int32_t frames,
                          TransportInfo transport, IBlockEvents& events) {
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t next = std::clamp(events.applyUntil(done), done + 1, frames);
        processRange(in, out, done, next - done, transport);
        transport.samplePosition += next - done;
        done = next;
    }
    events.applyUntil(std::numeric_limits<std::int32_t>::max());
}

void BlockRunner::processRange(const float* const* in, float* const* out, std::int32_t offset,
                               std::int32_t frames, TransportInfo transport) {
    const std::int32_t inputs = lastInputs_;
    const std::int32_t outputs = lastOutputs_;
    const auto stride = static_cast<std::size_t>(maxHostFrames_);
    // A block longer than promised is taken in slices rather than written past the
    // private buffers.
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t n = std::min(frames - done, maxHostFrames_);
        const std::int32_t at = offset + done;
        for (std::int32_t c = 0; c < inputs; ++c)
            inputPointers_[static_cast<std::size_t>(c)] = const_cast<float*>(in[c]) + at;
        for (std::int32_t c = 0; c < outputs; ++c)
            outputPointers_[static_cast<std::size_t>(c)] =
                outputStorage_.data() + static_cast<std::size_t>(c) * stride;
        client_.hostProcess(inputPointers_.data(), outputPointers_.data(), n, transport);
        for (std::int32_t c = 0; c < outputs; ++c)
            std::memcpy(out[c] + at, outputStorage_.data() + static_cast<std::size_t>(c) * stride,
                        static_cast<std::size_t>(n) * sizeof(float));
        transport.samplePosition += n;
        done += n;
    }
}

} // namespace corvid::host
