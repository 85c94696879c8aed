#pragma once
// The VST3 binary interface as this adapter uses it, declared from the published
// ABI: interface IDs, virtual-table order, structure layouts and result codes.
// Only what a plug-in needs is here; a host's side of an interface appears where
// the plug-in calls it (the component handler, the plug frame, the run loop, the
// parameter queues, the stream).
//
// Every interface derives from FUnknown, whose three entries come first in its
// table; each interface's own entries follow in the order declared below, which
// is the order hosts call them by. Structures use the platform's natural
// alignment, as the ABI is defined for 64-bit builds.

#include <cstdint>

#if defined(_WIN32)
#define CORVID_VST3_CALL __stdcall
#else
#define CORVID_VST3_CALL
#endif

namespace corvid::vst3 {

using int8 = std::int8_t;
using uint8 = std::uint8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using tresult = std::int32_t;
using TBool = std::uint8_t;
using char16 = char16_t;
using TChar = char16;
using String128 = TChar[128];
using FIDString = const char*;
using TUID = char[16];
using ParamID = uint32;
using ParamValue = double;
using SampleRate = double;
using TSamples = int64;
using SpeakerArrangement = uint64;
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using Sample32 = float;
using Sample64 = double;

// Result codes: COM's HRESULTs on Windows, small numbers elsewhere.
#if defined(_WIN32)
inline constexpr tresult kNoInterface = static_cast<tresult>(0x80004002L);
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057L);
inline constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001L);
inline constexpr tresult kInternalError = static_cast<tresult>(0x80004005L);
inline constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFL);
inline constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000EL);
#else
inline constexpr tresult kNoInterface = -1;
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = 2;
inline constexpr tresult kNotImplemented = 3;
inline constexpr tresult kInternalError = 4;
inline constexpr tresult kNotInitialized = 5;
inline constexpr tresult kOutOfMemory = 6;
#endif

// A 128-bit ID written as four 32-bit words. Windows keeps COM's byte order (the
// first word and the two halves of the second little-endian); elsewhere every
// word is stored big-endian.
struct Uid {
    char bytes[16];

    static constexpr Uid of(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
        Uid u{};
#if defined(_WIN32)
        const uint8 head[8] = {static_cast<uint8>(l1),       static_cast<uint8>(l1 >> 8),
                               static_cast<uint8>(l1 >> 16), static_cast<uint8>(l1 >> 24),
                               static_cast<uint8>(l2 >> 16), static_cast<uint8>(l2 >> 24),
                               static_cast<uint8>(l2),       static_cast<uint8>(l2 >> 8)};
#else
        const uint8 head[8] = {static_cast<uint8>(l1 >> 24), static_cast<uint8>(l1 >> 16),
                               static_cast<uint8>(l1 >> 8),  static_cast<uint8>(l1),
                               static_cast<uint8>(l2 >> 24), static_cast<uint8>(l2 >> 16),
                               static_cast<uint8>(l2 >> 8),  static_cast<uint8>(l2)};
#endif
        for (int i = 0; i < 8; ++i) u.bytes[i] = static_cast<char>(head[i]);
        const uint32 tail[2] = {l3, l4};
        for (int w = 0; w < 2; ++w)
            for (int b = 0; b < 4; ++b)
                u.bytes[8 + 4 * w + b] =
                    static_cast<char>(static_cast<uint8>(tail[w] >> (24 - 8 * b)));
        return u;
    }
    bool matches(const char* other) const {
        for (int i = 0; i < 16; ++i)
            if (bytes[i] != other[i]) return false;
        return true;
    }
};

// ---- base

class FUnknown {
public:
    virtual tresult CORVID_VST3_CALL queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32 CORVID_VST3_CALL addRef() = 0;
    virtual uint32 CORVID_VST3_CALL release() = 0;
    static constexpr Uid iid = Uid::of(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

class IPluginBase : public FUnknown {
public:
    virtual tresult CORVID_VST3_CALL initialize(FUnknown* context) = 0;
    virtual tresult CORVID_VST3_CALL terminate() = 0;
    static constexpr Uid iid = Uid::of(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

// ---- factory

struct PFactoryInfo {
    enum {
        kNoFlags = 0,
        kClassesDiscardable = 1,
        kLicenseCheck = 2,
        kComponentNonDiscardable = 8,
        kUnicode = 16
    };
    char vendor[64];
    char url[256];
    char email[128];
    int32 flags;
};

struct PClassInfo {
    enum { kManyInstances = 0x7FFFFFFF };
    TUID cid;
    int32 cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    TUID cid;
    int32 cardinality;
    char category[32];
    char name[64];
    uint32 classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult CORVID_VST3_CALL getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 CORVID_VST3_CALL countClasses() = 0;
    virtual tresult CORVID_VST3_CALL getClassInfo(int32 index, PClassInfo* info) = 0;
    virtual tresult CORVID_VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) = 0;
    static constexpr Uid iid = Uid::of(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult CORVID_VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) = 0;
    static constexpr Uid iid = Uid::of(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

// ---- stream (the host's)

class IBStream : public FUnknown {
public:
    enum { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
    virtual tresult CORVID_VST3_CALL read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
    virtual tresult CORVID_VST3_CALL write(void* buffer, int32 numBytes,
                                           int32* numBytesWritten) = 0;
    virtual tresult CORVID_VST3_CALL seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult CORVID_VST3_CALL tell(int64* pos) = 0;
    static constexpr Uid iid = Uid::of(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

// ---- component

enum MediaTypes : int32 { kAudio = 0, kEvent = 1 };
enum BusDirections : int32 { kInput = 0, kOutput = 1 };
enum BusTypes : int32 { kMain = 0, kAux = 1 };

struct BusInfo {
    enum BusFlags : uint32 { kDefaultActive = 1 };
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

inline constexpr const char* kVstAudioEffectClass = "Audio Module Class";

class IComponent : public IPluginBase {
public:
    virtual tresult CORVID_VST3_CALL getControllerClassId(TUID classId) = 0;
    virtual tresult CORVID_VST3_CALL setIoMode(IoMode mode) = 0;
    virtual int32 CORVID_VST3_CALL getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult CORVID_VST3_CALL getBusInfo(MediaType type, BusDirection dir, int32 index,
                                                BusInfo& bus) = 0;
    virtual tresult CORVID_VST3_CALL getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult CORVID_VST3_CALL activateBus(MediaType type, BusDirection dir, int32 index,
                                                 TBool state) = 0;
    virtual tresult CORVID_VST3_CALL setActive(TBool state) = 0;
    virtual tresult CORVID_VST3_CALL setState(IBStream* state) = 0;
    virtual tresult CORVID_VST3_CALL getState(IBStream* state) = 0;
    static constexpr Uid iid = Uid::of(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

// ---- audio processing

namespace speaker {
inline constexpr SpeakerArrangement kEmpty = 0;
inline constexpr SpeakerArrangement kMono = 1ull << 19; // centre
inline constexpr SpeakerArrangement kStereo = 0x3;      // left, right
} // namespace speaker

enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };

struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags;
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID CORVID_VST3_CALL getParameterId() = 0;
    virtual int32 CORVID_VST3_CALL getPointCount() = 0;
    virtual tresult CORVID_VST3_CALL getPoint(int32 index, int32& sampleOffset,
                                              ParamValue& value) = 0;
    virtual tresult CORVID_VST3_CALL addPoint(int32 sampleOffset, ParamValue value,
                                              int32& index) = 0;
};

class IParameterChanges : public FUnknown {
public:
    virtual int32 CORVID_VST3_CALL getParameterCount() = 0;
    virtual IParamValueQueue* CORVID_VST3_CALL getParameterData(int32 index) = 0;
    virtual IParamValueQueue* CORVID_VST3_CALL addParameterData(const ParamID& id,
                                                                int32& index) = 0;
};

class IEventList; // never read: the plug-in has no event buses

struct Chord {
    uint8 keyNote;
    uint8 rootNote;
    int16 chordMask;
};

struct FrameRate {
    uint32 framesPerSecond;
    uint32 flags;
};

struct ProcessContext {
    enum StatesAndFlags : uint32 {
        kPlaying = 1u << 1,
        kProjectTimeMusicValid = 1u << 9,
        kTempoValid = 1u << 10,
    };
    uint32 state;
    double sampleRate;
    TSamples projectTimeSamples;
    int64 systemTime;
    TSamples continousTimeSamples;
    double projectTimeMusic;
    double barPositionMusic;
    double cycleStartMusic;
    double cycleEndMusic;
    double tempo;
    int32 timeSigNumerator;
    int32 timeSigDenominator;
    Chord chord;
    int32 smpteOffsetSubframes;
    FrameRate frameRate;
    int32 samplesToNextClock;
};

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult CORVID_VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                        SpeakerArrangement* outputs,
                                                        int32 numOuts) = 0;
    virtual tresult CORVID_VST3_CALL getBusArrangement(BusDirection dir, int32 index,
                                                       SpeakerArrangement& arr) = 0;
    virtual tresult CORVID_VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 CORVID_VST3_CALL getLatencySamples() = 0;
    virtual tresult CORVID_VST3_CALL setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult CORVID_VST3_CALL setProcessing(TBool state) = 0;
    virtual tresult CORVID_VST3_CALL process(ProcessData& data) = 0;
    virtual uint32 CORVID_VST3_CALL getTailSamples() = 0;
    static constexpr Uid iid = Uid::of(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

class IProcessContextRequirements : public FUnknown {
public:
    virtual uint32 CORVID_VST3_CALL getProcessContextRequirements() = 0;
    static constexpr Uid iid = Uid::of(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
};

// ---- edit controller

struct ParameterInfo {
    enum ParameterFlags : int32 {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16,
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

enum RestartFlags : int32 {
    kReloadComponent = 1 << 0,
    kIoChanged = 1 << 1,
    kParamValuesChanged = 1 << 2,
    kLatencyChanged = 1 << 3,
    kParamTitlesChanged = 1 << 4,
};

class IComponentHandler : public FUnknown {
public:
    virtual tresult CORVID_VST3_CALL beginEdit(ParamID id) = 0;
    virtual tresult CORVID_VST3_CALL performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult CORVID_VST3_CALL endEdit(ParamID id) = 0;
    virtual tresult CORVID_VST3_CALL restartComponent(int32 flags) = 0;
    static constexpr Uid iid = Uid::of(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

class IPlugView;

class IEditController : public IPluginBase {
public:
    virtual tresult CORVID_VST3_CALL setComponentState(IBStream* state) = 0;
    virtual tresult CORVID_VST3_CALL setState(IBStream* state) = 0;
    virtual tresult CORVID_VST3_CALL getState(IBStream* state) = 0;
    virtual int32 CORVID_VST3_CALL getParameterCount() = 0;
    virtual tresult CORVID_VST3_CALL getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult CORVID_VST3_CALL getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                           String128 string) = 0;
    virtual tresult CORVID_VST3_CALL getParamValueByString(ParamID id, TChar* string,
                                                           ParamValue& valueNormalized) = 0;
    virtual ParamValue CORVID_VST3_CALL normalizedParamToPlain(ParamID id,
                                                               ParamValue valueNormalized) = 0;
    virtual ParamValue CORVID_VST3_CALL plainParamToNormalized(ParamID id,
                                                               ParamValue plainValue) = 0;
    virtual ParamValue CORVID_VST3_CALL getParamNormalized(ParamID id) = 0;
    virtual tresult CORVID_VST3_CALL setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult CORVID_VST3_CALL setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* CORVID_VST3_CALL createView(FIDString name) = 0;
    static constexpr Uid iid = Uid::of(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

inline constexpr const char* kEditorViewName = "editor";

// ---- units and program lists

inline constexpr UnitID kRootUnitId = 0;
inline constexpr UnitID kNoParentUnitId = -1;
inline constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

class IUnitInfo : public FUnknown {
public:
    virtual int32 CORVID_VST3_CALL getUnitCount() = 0;
    virtual tresult CORVID_VST3_CALL getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 CORVID_VST3_CALL getProgramListCount() = 0;
    virtual tresult CORVID_VST3_CALL getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult CORVID_VST3_CALL getProgramName(ProgramListID listId, int32 programIndex,
                                                    String128 name) = 0;
    virtual tresult CORVID_VST3_CALL getProgramInfo(ProgramListID listId, int32 programIndex,
                                                    const char* attributeId,
                                                    String128 attributeValue) = 0;
    virtual tresult CORVID_VST3_CALL hasProgramPitchNames(ProgramListID listId,
                                                          int32 programIndex) = 0;
    virtual tresult CORVID_VST3_CALL getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                         int16 midiPitch, String128 name) = 0;
    virtual UnitID CORVID_VST3_CALL getSelectedUnit() = 0;
    virtual tresult CORVID_VST3_CALL selectUnit(UnitID unitId) = 0;
    virtual tresult CORVID_VST3_CALL getUnitByBus(MediaType type, BusDirection dir, int32 busIndex,
                                                  int32 channel, UnitID& unitId) = 0;
    virtual tresult CORVID_VST3_CALL setUnitProgramData(int32 listOrUnitId, int32 programIndex,
                                                        IBStream* data) = 0;
    static constexpr Uid iid = Uid::of(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

// ---- editor view

inline constexpr const char* kPlatformTypeHWND = "HWND";
inline constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

struct ViewRect {
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;
};

class IPlugFrame : public FUnknown {
public:
    virtual tresult CORVID_VST3_CALL resizeView(IPlugView* view, ViewRect* newSize) = 0;
    static constexpr Uid iid = Uid::of(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

class IPlugView : public FUnknown {
public:
    virtual tresult CORVID_VST3_CALL isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult CORVID_VST3_CALL attached(void* parent, FIDString type) = 0;
    virtual tresult CORVID_VST3_CALL removed() = 0;
    virtual tresult CORVID_VST3_CALL onWheel(float distance) = 0;
    virtual tresult CORVID_VST3_CALL onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult CORVID_VST3_CALL onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult CORVID_VST3_CALL getSize(ViewRect* size) = 0;
    virtual tresult CORVID_VST3_CALL onSize(ViewRect* newSize) = 0;
    virtual tresult CORVID_VST3_CALL onFocus(TBool state) = 0;
    virtual tresult CORVID_VST3_CALL setFrame(IPlugFrame* frame) = 0;
    virtual tresult CORVID_VST3_CALL canResize() = 0;
    virtual tresult CORVID_VST3_CALL checkSizeConstraint(ViewRect* rect) = 0;
    static constexpr Uid iid = Uid::of(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

// Linux hosts run the editor's events from their own loop through these.
namespace linux_ui {

using FileDescriptor = int;
using TimerInterval = uint64;

class IEventHandler : public FUnknown {
public:
    virtual void CORVID_VST3_CALL onFDIsSet(FileDescriptor fd) = 0;
    static constexpr Uid iid = Uid::of(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

class ITimerHandler : public FUnknown {
public:
    virtual void CORVID_VST3_CALL onTimer() = 0;
    static constexpr Uid iid = Uid::of(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

class IRunLoop : public FUnknown {
public:
    virtual tresult CORVID_VST3_CALL registerEventHandler(IEventHandler* handler,
                                                          FileDescriptor fd) = 0;
    virtual tresult CORVID_VST3_CALL unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult CORVID_VST3_CALL registerTimer(ITimerHandler* handler,
                                                   TimerInterval milliseconds) = 0;
    virtual tresult CORVID_VST3_CALL unregisterTimer(ITimerHandler* handler) = 0;
    static constexpr Uid iid = Uid::of(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};

} // namespace linux_ui

} // namespace corvid::vst3
