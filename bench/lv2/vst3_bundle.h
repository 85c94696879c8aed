#pragma once
// A VST3 bundle loaded the way a host loads it, for the benchmark: the library
// from the bundle's Linux folder, its factory, one instance set up for stereo out
// and run through process().

#include "corvid/vst3/abi.h"
#include "tests/vst3adapter/host_objects.h"

#include <string>
#include <vector>

namespace vst3bench {

using namespace corvid::vst3;

class Bundle {
public:
    // Throws std::runtime_error when the bundle cannot be loaded.
    Bundle(const std::string& path, double rate, int32 maxBlock, int32 inputs);
    ~Bundle();
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // Sets a parameter from its plain value before processing starts.
    void setPlain(ParamID id, double plain);
    double normalizedFor(ParamID id, double plain);
    void process(const float* const* in, float* const* out, int32 frames,
                 IParameterChanges* changes);

private:
    void* library_ = nullptr;
    IComponent* component_ = nullptr;
    IAudioProcessor* processor_ = nullptr;
    IEditController* controller_ = nullptr;
    int32 inputs_;
};

} // namespace vst3bench
