#pragma once
// The host's side of the VST3 objects an adapter test hands the plug-in: a memory
// stream, parameter change queues and a component handler that records.

#include "corvid/vst3/abi.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vst3test {

using namespace corvid::vst3;

// Objects the test owns on the stack: counting references changes nothing.
template <class Interface>
class Unowned : public Interface {
public:
    tresult CORVID_VST3_CALL queryInterface(const TUID iid, void** obj) override {
        if (FUnknown::iid.matches(iid) || Interface::iid.matches(iid)) {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 CORVID_VST3_CALL addRef() override { return 1; }
    uint32 CORVID_VST3_CALL release() override { return 1; }
};

class MemoryStream final : public Unowned<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}
    tresult CORVID_VST3_CALL read(void* buffer, int32 n, int32* got) override {
        const auto take = static_cast<int32>(
            std::min<std::size_t>(static_cast<std::size_t>(n), bytes.size() - position));
        if (take > 0) std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(take));
        position += static_cast<std::size_t>(take);
        if (got) *got = take;
        return kResultOk;
    }
    tresult CORVID_VST3_CALL write(void* buffer, int32 n, int32* wrote) override {
        const auto* b = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.end(), b, b + n);
        if (wrote) *wrote = n;
        return kResultOk;
    }
    tresult CORVID_VST3_CALL seek(int64 pos, int32, int64* result) override {
        position = static_cast<std::size_t>(pos);
        if (result) *result = pos;
        return kResultOk;
    }
    tresult CORVID_VST3_CALL tell(int64* pos) override {
        *pos = static_cast<int64>(position);
        return kResultOk;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

class Queue final : public Unowned<IParamValueQueue> {
public:
    explicit Queue(ParamID id) : id(id) {}
    ParamID CORVID_VST3_CALL getParameterId() override { return id; }
    int32 CORVID_VST3_CALL getPointCount() override { return static_cast<int32>(points.size()); }
    tresult CORVID_VST3_CALL getPoint(int32 i, int32& offset, ParamValue& value) override {
        if (i < 0 || i >= getPointCount()) return kInvalidArgument;
        offset = points[static_cast<std::size_t>(i)].first;
        value = points[static_cast<std::size_t>(i)].second;
        return kResultOk;
    }
    tresult CORVID_VST3_CALL addPoint(int32 offset, ParamValue value, int32& index) override {
        index = getPointCount();
        points.emplace_back(offset, value);
        return kResultOk;
    }
    ParamID id;
    std::vector<std::pair<int32, ParamValue>> points;
};

class Changes final : public Unowned<IParameterChanges> {
public:
    // Reserve first: queues hand out pointers into the list.
    Changes() { queues.reserve(64); }
    int32 CORVID_VST3_CALL getParameterCount() override {
        return static_cast<int32>(queues.size());
    }
    IParamValueQueue* CORVID_VST3_CALL getParameterData(int32 i) override {
        return i >= 0 && i < getParameterCount() ? &queues[static_cast<std::size_t>(i)] : nullptr;
    }
    IParamValueQueue* CORVID_VST3_CALL addParameterData(const ParamID& id, int32& index) override {
        index = getParameterCount();
        queues.emplace_back(id);
        return &queues.back();
    }
    void add(ParamID id, int32 offset, ParamValue value) {
        for (Queue& q : queues)
            if (q.id == id) {
                q.points.emplace_back(offset, value);
                return;
            }
        queues.emplace_back(id);
        queues.back().points.emplace_back(offset, value);
    }
    std::vector<Queue> queues;
};

// One block on the main buses, stereo out, 32-bit, as a host hands it to process().
struct Block {
    Block(float* const* in, int32 inputs, float* const* out, int32 frames,
          IParameterChanges* changes = nullptr, uint64 inputSilence = 0) {
        inBus.numChannels = inputs;
        inBus.silenceFlags = inputSilence;
        inBus.channelBuffers32 = const_cast<float**>(in);
        outBus.numChannels = 2;
        outBus.channelBuffers32 = const_cast<float**>(out);
        data.processMode = kRealtime;
        data.symbolicSampleSize = kSample32;
        data.numSamples = frames;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        data.inputParameterChanges = changes;
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    AudioBusBuffers inBus{};
    AudioBusBuffers outBus{};
    ProcessData data{};
};

class Handler final : public Unowned<IComponentHandler> {
public:
    tresult CORVID_VST3_CALL beginEdit(ParamID id) override {
        log.push_back("begin " + std::to_string(id));
        return kResultOk;
    }
    tresult CORVID_VST3_CALL performEdit(ParamID id, ParamValue v) override {
        log.push_back("perform " + std::to_string(id));
        last = v;
        return kResultOk;
    }
    tresult CORVID_VST3_CALL endEdit(ParamID id) override {
        log.push_back("end " + std::to_string(id));
        return kResultOk;
    }
    tresult CORVID_VST3_CALL restartComponent(int32 flags) override {
        log.push_back("restart " + std::to_string(flags));
        return kResultOk;
    }
    std::vector<std::string> log;
    double last = -1.0;
};

} // namespace vst3test
