#pragma once
// The part of the VST3 binary interface the test host uses, declared from the
// published ABI on its own, apart from the plug-in's adapter, so that a slip in one
// reading shows up as a disagreement with the other: interface IDs, vtable order,
// struct layouts (natural alignment on x86-64), result codes and UTF-16 strings.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VST3HOST_API __stdcall
#else
#define VST3HOST_API
#endif

namespace vst3host {

using tresult = std::int32_t;
using TBool = std::uint8_t;
using char16 = char16_t;
using String128 = char16[128];
using FIDString = const char*;
using ParamID = std::uint32_t;
using ParamValue = double;
using SpeakerArrangement = std::uint64_t;
using UnitID = std::int32_t;
using ProgramListID = std::int32_t;

// Windows hosts share COM's failure codes; elsewhere they are small numbers.
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002);
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFF);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000E);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

// A 16-byte interface or class ID from its four 32-bit words. Windows keeps COM's
// GUID layout (the first word and the two halves of the second little-endian);
// other systems store all four words big-endian.
struct Uid {
    char bytes[16];
};

constexpr Uid makeUid(std::uint32_t l1, std::uint32_t l2, std::uint32_t l3, std::uint32_t l4) {
    Uid u{};
    const auto put = [&u](int at, std::uint32_t word, int shift) {
        u.bytes[at] = static_cast<char>(static_cast<std::uint8_t>(word >> shift));
    };
#if defined(_WIN32)
    put(0, l1, 0), put(1, l1, 8), put(2, l1, 16), put(3, l1, 24);
    put(4, l2, 16), put(5, l2, 24), put(6, l2, 0), put(7, l2, 8);
#else
    put(0, l1, 24), put(1, l1, 16), put(2, l1, 8), put(3, l1, 0);
    put(4, l2, 24), put(5, l2, 16), put(6, l2, 8), put(7, l2, 0);
#endif
    put(8, l3, 24), put(9, l3, 16), put(10, l3, 8), put(11, l3, 0);
    put(12, l4, 24), put(13, l4, 16), put(14, l4, 8), put(15, l4, 0);
    return u;
}

bool sameUid(const char* a, const Uid& b);

// ---- base

class FUnknown {
public:
    virtual tresult VST3HOST_API queryInterface(const char* iid, void** object) = 0;
    virtual std::uint32_t VST3HOST_API addRef() = 0;
    virtual std::uint32_t VST3HOST_API release() = 0;
};
inline constexpr Uid kFUnknownIid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);

class IPluginBase : public FUnknown {
public:
    virtual tresult VST3HOST_API initialize(FUnknown* context) = 0;
    virtual tresult VST3HOST_API terminate() = 0;
};
inline constexpr Uid kIPluginBaseIid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);

enum SeekMode : std::int32_t { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

class IBStream : public FUnknown {
public:
    virtual tresult VST3HOST_API read(void* buffer, std::int32_t bytes, std::int32_t* done) = 0;
    virtual tresult VST3HOST_API write(void* buffer, std::int32_t bytes, std::int32_t* done) = 0;
    virtual tresult VST3HOST_API seek(std::int64_t position, std::int32_t mode,
                                      std::int64_t* result) = 0;
    virtual tresult VST3HOST_API tell(std::int64_t* position) = 0;
};
inline constexpr Uid kIBStreamIid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);

// ---- factory

struct PFactoryInfo {
    char vendor[64];
    char url[256];
    char email[128];
    std::int32_t flags;
};

struct PClassInfo {
    char cid[16];
    std::int32_t cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    char cid[16];
    std::int32_t cardinality;
    char category[32];
    char name[64];
    std::uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW {
    char cid[16];
    std::int32_t cardinality;
    char category[32];
    char16 name[64];
    std::uint32_t classFlags;
    char subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

constexpr std::int32_t kManyInstances = 0x7FFFFFFF;
constexpr std::int32_t kFactoryUnicode = 1 << 4;

class IPluginFactory : public FUnknown {
public:
    virtual tresult VST3HOST_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual std::int32_t VST3HOST_API countClasses() = 0;
    virtual tresult VST3HOST_API getClassInfo(std::int32_t index, PClassInfo* info) = 0;
    virtual tresult VST3HOST_API createInstance(FIDString cid, FIDString iid, void** object) = 0;
};
inline constexpr Uid kIPluginFactoryIid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult VST3HOST_API getClassInfo2(std::int32_t index, PClassInfo2* info) = 0;
};
inline constexpr Uid kIPluginFactory2Iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult VST3HOST_API getClassInfoUnicode(std::int32_t index, PClassInfoW* info) = 0;
    virtual tresult VST3HOST_API setHostContext(FUnknown* context) = 0;
};
inline constexpr Uid kIPluginFactory3Iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);

// ---- host application

class IHostApplication : public FUnknown {
public:
    virtual tresult VST3HOST_API getName(String128 name) = 0;
    virtual tresult VST3HOST_API createInstance(char* cid, char* iid, void** object) = 0;
};
inline constexpr Uid kIHostApplicationIid = makeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);

// ---- component

enum MediaType : std::int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : std::int32_t { kInput = 0, kOutput = 1 };
enum BusType : std::int32_t { kMain = 0, kAux = 1 };
constexpr std::uint32_t kBusDefaultActive = 1 << 0;

struct BusInfo {
    std::int32_t mediaType;
    std::int32_t direction;
    std::int32_t channelCount;
    String128 name;
    std::int32_t busType;
    std::uint32_t flags;
};

struct RoutingInfo {
    std::int32_t mediaType;
    std::int32_t busIndex;
    std::int32_t channel;
};

class IComponent : public IPluginBase {
public:
    virtual tresult VST3HOST_API getControllerClassId(char* classId) = 0;
    virtual tresult VST3HOST_API setIoMode(std::int32_t mode) = 0;
    virtual std::int32_t VST3HOST_API getBusCount(std::int32_t type, std::int32_t direction) = 0;
    virtual tresult VST3HOST_API getBusInfo(std::int32_t type, std::int32_t direction,
                                            std::int32_t index, BusInfo& bus) = 0;
    virtual tresult VST3HOST_API getRoutingInfo(RoutingInfo& in, RoutingInfo& out) = 0;
    virtual tresult VST3HOST_API activateBus(std::int32_t type, std::int32_t direction,
                                             std::int32_t index, TBool state) = 0;
    virtual tresult VST3HOST_API setActive(TBool state) = 0;
    virtual tresult VST3HOST_API setState(IBStream* state) = 0;
    virtual tresult VST3HOST_API getState(IBStream* state) = 0;
};
inline constexpr Uid kIComponentIid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);

// ---- processing

constexpr SpeakerArrangement kSpeakerL = 1 << 0;
constexpr SpeakerArrangement kSpeakerR = 1 << 1;
constexpr SpeakerArrangement kSpeakerM = 1 << 19;
constexpr SpeakerArrangement kArrMono = kSpeakerM;
constexpr SpeakerArrangement kArrStereo = kSpeakerL | kSpeakerR;

enum ProcessMode : std::int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum SymbolicSampleSize : std::int32_t { kSample32 = 0, kSample64 = 1 };

struct ProcessSetup {
    std::int32_t processMode;
    std::int32_t symbolicSampleSize;
    std::int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers {
    std::int32_t numChannels;
    std::uint64_t silenceFlags;
    union {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID VST3HOST_API getParameterId() = 0;
    virtual std::int32_t VST3HOST_API getPointCount() = 0;
    virtual tresult VST3HOST_API getPoint(std::int32_t index, std::int32_t& sampleOffset,
                                          ParamValue& value) = 0;
    virtual tresult VST3HOST_API addPoint(std::int32_t sampleOffset, ParamValue value,
                                          std::int32_t& index) = 0;
};
inline constexpr Uid kIParamValueQueueIid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);

class IParameterChanges : public FUnknown {
public:
    virtual std::int32_t VST3HOST_API getParameterCount() = 0;
    virtual IParamValueQueue* VST3HOST_API getParameterData(std::int32_t index) = 0;
    virtual IParamValueQueue* VST3HOST_API addParameterData(const ParamID& id,
                                                            std::int32_t& index) = 0;
};
inline constexpr Uid kIParameterChangesIid =
    makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);

class IEventList; // never offered: the plug-in takes no events

struct Chord {
    std::uint8_t keyNote;
    std::uint8_t rootNote;
    std::int16_t chordMask;
};

struct FrameRate {
    std::uint32_t framesPerSecond;
    std::uint32_t flags;
};

struct ProcessContext {
    std::uint32_t state;
    double sampleRate;
    std::int64_t projectTimeSamples;
    std::int64_t systemTime;
    std::int64_t continousTimeSamples;
    double projectTimeMusic;
    double barPositionMusic;
    double cycleStartMusic;
    double cycleEndMusic;
    double tempo;
    std::int32_t timeSigNumerator;
    std::int32_t timeSigDenominator;
    Chord chord;
    std::int32_t smpteOffsetSubframes;
    FrameRate frameRate;
    std::int32_t samplesToNextClock;
};
constexpr std::uint32_t kContextPlaying = 1 << 1;
constexpr std::uint32_t kContextTempoValid = 1 << 10;
constexpr std::uint32_t kContextTimeSigValid = 1 << 13;

struct ProcessData {
    std::int32_t processMode;
    std::int32_t symbolicSampleSize;
    std::int32_t numSamples;
    std::int32_t numInputs;
    std::int32_t numOutputs;
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
    virtual tresult VST3HOST_API setBusArrangements(SpeakerArrangement* inputs,
                                                    std::int32_t inputCount,
                                                    SpeakerArrangement* outputs,
                                                    std::int32_t outputCount) = 0;
    virtual tresult VST3HOST_API getBusArrangement(std::int32_t direction, std::int32_t index,
                                                   SpeakerArrangement& arrangement) = 0;
    virtual tresult VST3HOST_API canProcessSampleSize(std::int32_t size) = 0;
    virtual std::uint32_t VST3HOST_API getLatencySamples() = 0;
    virtual tresult VST3HOST_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult VST3HOST_API setProcessing(TBool state) = 0;
    virtual tresult VST3HOST_API process(ProcessData& data) = 0;
    virtual std::uint32_t VST3HOST_API getTailSamples() = 0;
};
inline constexpr Uid kIAudioProcessorIid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);

// ---- controller

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    std::int32_t stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    std::int32_t flags;
};
constexpr std::int32_t kParamCanAutomate = 1 << 0;
constexpr std::int32_t kParamIsReadOnly = 1 << 1;
constexpr std::int32_t kParamIsList = 1 << 3;
constexpr std::int32_t kParamIsHidden = 1 << 4;
constexpr std::int32_t kParamIsProgramChange = 1 << 15;
constexpr std::int32_t kParamIsBypass = 1 << 16;

class IComponentHandler : public FUnknown {
public:
    virtual tresult VST3HOST_API beginEdit(ParamID id) = 0;
    virtual tresult VST3HOST_API performEdit(ParamID id, ParamValue value) = 0;
    virtual tresult VST3HOST_API endEdit(ParamID id) = 0;
    virtual tresult VST3HOST_API restartComponent(std::int32_t flags) = 0;
};
inline constexpr Uid kIComponentHandlerIid =
    makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);

class IPlugView;

class IEditController : public IPluginBase {
public:
    virtual tresult VST3HOST_API setComponentState(IBStream* state) = 0;
    virtual tresult VST3HOST_API setState(IBStream* state) = 0;
    virtual tresult VST3HOST_API getState(IBStream* state) = 0;
    virtual std::int32_t VST3HOST_API getParameterCount() = 0;
    virtual tresult VST3HOST_API getParameterInfo(std::int32_t index, ParameterInfo& info) = 0;
    virtual tresult VST3HOST_API getParamStringByValue(ParamID id, ParamValue value,
                                                       String128 text) = 0;
    virtual tresult VST3HOST_API getParamValueByString(ParamID id, char16* text,
                                                       ParamValue& value) = 0;
    virtual ParamValue VST3HOST_API normalizedParamToPlain(ParamID id, ParamValue value) = 0;
    virtual ParamValue VST3HOST_API plainParamToNormalized(ParamID id, ParamValue plain) = 0;
    virtual ParamValue VST3HOST_API getParamNormalized(ParamID id) = 0;
    virtual tresult VST3HOST_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult VST3HOST_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* VST3HOST_API createView(FIDString name) = 0;
};
inline constexpr Uid kIEditControllerIid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);

// ---- editor

struct ViewRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

inline constexpr const char* kPlatformTypeHWND = "HWND";
inline constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

class IPlugFrame;

class IPlugView : public FUnknown {
public:
    virtual tresult VST3HOST_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult VST3HOST_API attached(void* parent, FIDString type) = 0;
    virtual tresult VST3HOST_API removed() = 0;
    virtual tresult VST3HOST_API onWheel(float distance) = 0;
    virtual tresult VST3HOST_API onKeyDown(char16 key, std::int16_t keyCode,
                                           std::int16_t modifiers) = 0;
    virtual tresult VST3HOST_API onKeyUp(char16 key, std::int16_t keyCode,
                                         std::int16_t modifiers) = 0;
    virtual tresult VST3HOST_API getSize(ViewRect* size) = 0;
    virtual tresult VST3HOST_API onSize(ViewRect* size) = 0;
    virtual tresult VST3HOST_API onFocus(TBool state) = 0;
    virtual tresult VST3HOST_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult VST3HOST_API canResize() = 0;
    virtual tresult VST3HOST_API checkSizeConstraint(ViewRect* rect) = 0;
};
inline constexpr Uid kIPlugViewIid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);

class IPlugFrame : public FUnknown {
public:
    virtual tresult VST3HOST_API resizeView(IPlugView* view, ViewRect* size) = 0;
};
inline constexpr Uid kIPlugFrameIid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);

// The run loop a Linux host hands its editors: they watch descriptors and run
// timers on the host's GUI thread instead of a thread of their own.
class IEventHandler : public FUnknown {
public:
    virtual void VST3HOST_API onFDIsSet(int fd) = 0;
};
inline constexpr Uid kIEventHandlerIid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);

class ITimerHandler : public FUnknown {
public:
    virtual void VST3HOST_API onTimer() = 0;
};
inline constexpr Uid kITimerHandlerIid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

class IRunLoop : public FUnknown {
public:
    virtual tresult VST3HOST_API registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult VST3HOST_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult VST3HOST_API registerTimer(ITimerHandler* handler,
                                               std::uint64_t milliseconds) = 0;
    virtual tresult VST3HOST_API unregisterTimer(ITimerHandler* handler) = 0;
};
inline constexpr Uid kIRunLoopIid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);

// ---- programs

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    std::int32_t programCount;
};

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

class IUnitInfo : public FUnknown {
public:
    virtual std::int32_t VST3HOST_API getUnitCount() = 0;
    virtual tresult VST3HOST_API getUnitInfo(std::int32_t index, UnitInfo& info) = 0;
    virtual std::int32_t VST3HOST_API getProgramListCount() = 0;
    virtual tresult VST3HOST_API getProgramListInfo(std::int32_t index, ProgramListInfo& info) = 0;
    virtual tresult VST3HOST_API getProgramName(ProgramListID list, std::int32_t program,
                                                String128 name) = 0;
    virtual tresult VST3HOST_API getProgramInfo(ProgramListID list, std::int32_t program,
                                                const char* attribute, String128 value) = 0;
    virtual tresult VST3HOST_API hasProgramPitchNames(ProgramListID list, std::int32_t program) = 0;
    virtual tresult VST3HOST_API getProgramPitchName(ProgramListID list, std::int32_t program,
                                                     std::int16_t pitch, String128 name) = 0;
    virtual UnitID VST3HOST_API getSelectedUnit() = 0;
    virtual tresult VST3HOST_API selectUnit(UnitID unit) = 0;
    virtual tresult VST3HOST_API getUnitByBus(std::int32_t type, std::int32_t direction,
                                              std::int32_t busIndex, std::int32_t channel,
                                              UnitID& unit) = 0;
    virtual tresult VST3HOST_API setUnitProgramData(std::int32_t listOrUnit, std::int32_t program,
                                                    IBStream* data) = 0;
};
inline constexpr Uid kIUnitInfoIid = makeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);

// ---- layouts the host relies on

static_assert(sizeof(PFactoryInfo) == 452);
static_assert(sizeof(PClassInfo) == 116);
static_assert(sizeof(PClassInfo2) == 440);
static_assert(sizeof(PClassInfoW) == 696);
static_assert(sizeof(BusInfo) == 276);
static_assert(sizeof(ProcessSetup) == 24);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24);
static_assert(offsetof(ProcessContext, sampleRate) == 8 && offsetof(ProcessContext, tempo) == 72);
static_assert(sizeof(ProcessContext) == 112);
static_assert(sizeof(ParameterInfo) == 792 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776);
static_assert(sizeof(ViewRect) == 16);
static_assert(sizeof(ProgramListInfo) == 264 && sizeof(UnitInfo) == 268);

} // namespace vst3host
