#include "corvid/client/client.h"

#include <algorithm>
#include <thread>

namespace corvid {

void Client::initialize() {
    info_ = declarePluginInfo();
    channelLayouts_ = declareChannelLayouts();
    parameters_ = declareParameters();
    for (auto& p : parameters_) p->setClient(this);
    // Presets come after the parameters: the default preset is built from them.
    presetBank_ = std::make_unique<PresetBank>(*this, declarePresets());
    maxSubBlock_ = maxSubBlockFrames();
    maxInputs_ = 0;
    maxOutputs_ = 0;
    for (const ChannelLayout& layout : channelLayouts_) {
        maxInputs_ = std::max(maxInputs_, layout.numInputs);
        maxOutputs_ = std::max(maxOutputs_, layout.numOutputs);
    }
    framesElapsed_ = 0;
    midiCount_ = 0;
    midiOut_.reserve(kMidiQueueCapacity);
}

Client::~Client() {
    if (editor_) {
        // Take the token for good: the audio thread may be feeding the editor.
        bool expected = true;
        while (
            !editorAvailable_.compare_exchange_weak(expected, false, std::memory_order_acquire)) {
            expected = true;
            std::this_thread::yield();
        }
        editor_.reset();
    }
}

void Client::hostSetParameter(std::int32_t index, float normalized) {
    parameters_[static_cast<std::size_t>(index)]->applyFromHost(static_cast<double>(normalized));
}

std::int32_t Client::latencyInSamples(double) {
    return 0;
}
float Client::tailLengthSeconds() {
    return 0.0f;
}
std::int32_t Client::maxSubBlockFrames() {
    return 0;
}

void Client::hostEnqueueMidi(MidiMessage message) {
    message.offset += framesElapsed_;
    if (midiCount_ >= kMidiQueueCapacity) return;
    std::int32_t slot = ++midiCount_;
    midiHeap_[static_cast<std::size_t>(slot)] = message;
    // Sift up; an equal parent stops the move so equal offsets keep arrival order.
    while (slot >= 2) {
        const std::int32_t parent = slot / 2;
        auto& p = midiHeap_[static_cast<std::size_t>(parent)];
        auto& c = midiHeap_[static_cast<std::size_t>(slot)];
        if (p.offset <= c.offset) break;
        std::swap(p, c);
        slot = parent;
    }
}

MidiMessage Client::popMidi() {
    const MidiMessage top = midiHeap_[1];
    midiHeap_[1] = midiHeap_[static_cast<std::size_t>(midiCount_)];
    --midiCount_;
    std::int32_t slot = 1;
    for (;;) {
        const std::int32_t left = slot * 2;
        if (left > midiCount_) break;
        std::int32_t child = left;
        if (left + 1 <= midiCount_ && midiHeap_[static_cast<std::size_t>(left + 1)].offset <
                                          midiHeap_[static_cast<std::size_t>(left)].offset) {
            child = left + 1;
        }
        auto& s = midiHeap_[static_cast<std::size_t>(slot)];
        auto& c = midiHeap_[static_cast<std::size_t>(child)];
        if (s.offset <= c.offset) break;
        std::swap(s, c);
        slot = child;
    }
    return top;
}

void Client::drainMidi(std::int32_t frames) {
    midiOut_.clear();
    const std::int32_t end = framesElapsed_ + frames;
    while (midiCount_ > 0 && midiHeap_[1].offset < end) {
        MidiMessage m = popMidi();
        m.offset = std::max(0, m.offset - framesElapsed_);
        midiOut_.push_back(m); // capacity reserved for the whole queue: never allocates
    }
    framesElapsed_ = end;
}

void Client::hostProcess(float** inputs, float** outputs, std::int32_t frames,
                         TransportInfo transport) {
    if (maxSubBlock_ == 0) {
        drainMidi(frames);
        processSubBlock(inputs, outputs, frames, transport);
    } else {
        while (frames > 0) {
            const std::int32_t n = std::min(frames, maxSubBlock_);
            drainMidi(n);
            processSubBlock(inputs, outputs, n, transport);
            for (std::int32_t c = 0; c < currentInputs_; ++c) inputs[c] += n;
            for (std::int32_t c = 0; c < currentOutputs_; ++c) outputs[c] += n;
            transport.samplePosition += n;
            frames -= n;
        }
    }
    // Keep queued offsets relative to the next host block, so the frame counter never
    // grows without bound over a long session.
    for (std::int32_t i = 1; i <= midiCount_; ++i) {
        midiHeap_[static_cast<std::size_t>(i)].offset -= framesElapsed_;
    }
    framesElapsed_ = 0;
}

void Client::hostReset(double sampleRate, std::int32_t maxFrames, std::int32_t numInputs,
                       std::int32_t numOutputs) {
    framesElapsed_ = 0;
    midiCount_ = 0;
    midiOut_.clear();
    currentInputs_ = numInputs;
    currentOutputs_ = numOutputs;
    const std::int32_t effectiveMax =
        (maxSubBlock_ > 0 && maxSubBlock_ <= maxFrames) ? maxSubBlock_ : maxFrames;
    resetState(sampleRate, effectiveMax, numInputs, numOutputs);
}

std::unique_ptr<Preset> Client::defaultPreset() {
    auto preset = std::make_unique<Preset>();
    preset->name = "Default";
    preset->normalizedValues.reserve(parameters_.size());
    for (auto& p : parameters_) {
        preset->normalizedValues.push_back(static_cast<float>(p->normalizedDefault()));
    }
    return preset;
}

IGraphics* Client::ensureEditor() {
    if (!editor_ && info_.hasEditor) {
        editor_ = createEditor();
        if (editor_) editorAvailable_.store(true, std::memory_order_release);
    }
    return editor_.get();
}

IGraphics* Client::tryTakeEditor() {
    bool expected = true;
    if (!editorAvailable_.compare_exchange_strong(expected, false, std::memory_order_acquire)) {
        return nullptr;
    }
    return editor_.get();
}

void Client::releaseEditor() {
    editorAvailable_.store(true, std::memory_order_release);
}

} // namespace corvid
