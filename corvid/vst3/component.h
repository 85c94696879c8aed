#pragma once
// One Spatium-style plug-in instance as a VST3 host sees it: a single object that
// is the audio component, its processor and its edit controller (hosts find the
// controller on the component itself, so there is nothing to connect), with the
// factory presets as a program list.
//
// Threads, as the host calls them: process() and the calls marked audio run on
// the audio thread, and take no lock, allocate nothing and call no system
// function; everything else runs on the main (UI) thread and never waits for the
// audio thread.

#include "corvid/client/client.h"
#include "corvid/host/blockrunner.h"
#include "corvid/host/bypass.h"
#include "corvid/host/gestures.h"
#include "corvid/host/hostvalues.h"
#include "corvid/vst3/abi.h"
#include "corvid/vst3/parameters.h"

#include <atomic>
#include <memory>
#include <vector>

namespace corvid::vst3 {

// Largest block handed to the client at once; the block runner slices longer ones.
inline constexpr std::int32_t kMaxHostFrames = 1024;
// The bypass fades over this long.
inline constexpr double kBypassFadeSeconds = 0.005;
// Queues of one block whose frames are followed; more are applied at its start.
inline constexpr std::size_t kMaxQueues = 256;

class Component final : public IComponent,
                        public IAudioProcessor,
                        public IEditController,
                        public IUnitInfo,
                        public IProcessContextRequirements,
                        public host::IEditSink {
public:
    explicit Component(std::unique_ptr<Client> client);
    ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    Client& client() { return *client_; }
    host::HostValues& values() { return values_; }
    host::Gestures& gestures() { return gestures_; }
    // The editor's timer: tells the widgets what the host changed.
    void deliverHostValues() { values_.deliver(); }

    // FUnknown
    tresult CORVID_VST3_CALL queryInterface(const TUID iid, void** obj) override;
    uint32 CORVID_VST3_CALL addRef() override;
    uint32 CORVID_VST3_CALL release() override;
    // IPluginBase
    tresult CORVID_VST3_CALL initialize(FUnknown* context) override;
    tresult CORVID_VST3_CALL terminate() override;
    // IComponent
    tresult CORVID_VST3_CALL getControllerClassId(TUID classId) override;
    tresult CORVID_VST3_CALL setIoMode(IoMode mode) override;
    int32 CORVID_VST3_CALL getBusCount(MediaType type, BusDirection dir) override;
    tresult CORVID_VST3_CALL getBusInfo(MediaType type, BusDirection dir, int32 index,
                                        BusInfo& bus) override;
    tresult CORVID_VST3_CALL getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
    tresult CORVID_VST3_CALL activateBus(MediaType type, BusDirection dir, int32 index,
                                         TBool state) override;
    tresult CORVID_VST3_CALL setActive(TBool state) override;
    tresult CORVID_VST3_CALL setState(IBStream* state) override;
    tresult CORVID_VST3_CALL getState(IBStream* state) override;
    // IAudioProcessor
    tresult CORVID_VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                SpeakerArrangement* outputs,
                                                int32 numOuts) override;
    tresult CORVID_VST3_CALL getBusArrangement(BusDirection dir, int32 index,
                                               SpeakerArrangement& arr) override;
    tresult CORVID_VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) override;
    uint32 CORVID_VST3_CALL getLatencySamples() override;
    tresult CORVID_VST3_CALL setupProcessing(ProcessSetup& setup) override;
    tresult CORVID_VST3_CALL setProcessing(TBool state) override;
    tresult CORVID_VST3_CALL process(ProcessData& data) override; // audio
    uint32 CORVID_VST3_CALL getTailSamples() override;
    // IProcessContextRequirements
    uint32 CORVID_VST3_CALL getProcessContextRequirements() override;
    // IEditController
    tresult CORVID_VST3_CALL setComponentState(IBStream* state) override;
    int32 CORVID_VST3_CALL getParameterCount() override;
    tresult CORVID_VST3_CALL getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
    tresult CORVID_VST3_CALL getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                   String128 string) override;
    tresult CORVID_VST3_CALL getParamValueByString(ParamID id, TChar* string,
                                                   ParamValue& valueNormalized) override;
    ParamValue CORVID_VST3_CALL normalizedParamToPlain(ParamID id,
                                                       ParamValue valueNormalized) override;
    ParamValue CORVID_VST3_CALL plainParamToNormalized(ParamID id, ParamValue plainValue) override;
    ParamValue CORVID_VST3_CALL getParamNormalized(ParamID id) override;
    tresult CORVID_VST3_CALL setParamNormalized(ParamID id, ParamValue value) override;
    tresult CORVID_VST3_CALL setComponentHandler(IComponentHandler* handler) override;
    IPlugView* CORVID_VST3_CALL createView(FIDString name) override;
    // IUnitInfo
    int32 CORVID_VST3_CALL getUnitCount() override;
    tresult CORVID_VST3_CALL getUnitInfo(int32 unitIndex, UnitInfo& info) override;
    int32 CORVID_VST3_CALL getProgramListCount() override;
    tresult CORVID_VST3_CALL getProgramListInfo(int32 listIndex, ProgramListInfo& info) override;
    tresult CORVID_VST3_CALL getProgramName(ProgramListID listId, int32 programIndex,
                                            String128 name) override;
    tresult CORVID_VST3_CALL getProgramInfo(ProgramListID listId, int32 programIndex,
                                            const char* attributeId,
                                            String128 attributeValue) override;
    tresult CORVID_VST3_CALL hasProgramPitchNames(ProgramListID listId,
                                                  int32 programIndex) override;
    tresult CORVID_VST3_CALL getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                 int16 midiPitch, String128 name) override;
    UnitID CORVID_VST3_CALL getSelectedUnit() override;
    tresult CORVID_VST3_CALL selectUnit(UnitID unitId) override;
    tresult CORVID_VST3_CALL getUnitByBus(MediaType type, BusDirection dir, int32 busIndex,
                                          int32 channel, UnitID& unitId) override;
    tresult CORVID_VST3_CALL setUnitProgramData(int32 listOrUnitId, int32 programIndex,
                                                IBStream* data) override;

    // host::IEditSink: the editor's gestures, to the host's component handler.
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, double normalized) override;
    void endEdit(std::int32_t index) override;

private:
    class BlockEvents;
    friend class BlockEvents;

    // A state is the client's chunk, then this tag and the bypass as a float: the
    // chunk's reader ignores what follows its values, so other formats read the
    // same bytes and a plain chunk loads here with bypass off.
    static constexpr std::uint8_t kBypassTag[4] = {'B', 'y', 'p', 's'};

    bool known(BusDirection dir, MediaType type, int32 index) const;
    void applyProgram(std::int32_t preset);
    void processAudio(ProcessData& data, BlockEvents& events);
    static void clearOutputs(ProcessData& data);
    void flagSilence(ProcessData& data) const;

    std::atomic<uint32> references_{1};
    std::unique_ptr<Client> client_;
    host::HostValues values_;
    host::Gestures gestures_;
    Parameters parameters_;
    host::BlockRunner runner_;
    host::Bypass bypass_;
    IComponentHandler* handler_ = nullptr;

    std::int32_t inputChannels_ = 2; // 1 or 2: the arrangement the host chose
    double sampleRate_ = 44100.0;
    std::int32_t maxBlock_ = kMaxHostFrames;
    bool active_ = false;
    std::atomic<bool> processing_{false};
    std::atomic<bool> bypassed_{false};
    // Audio thread: the cursor of each followed queue within the block.
    std::vector<int32> cursors_;
};

} // namespace corvid::vst3
