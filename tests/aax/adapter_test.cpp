// The adapter in-process with a small stand-in product: the paths the shipped
// product cannot show yet (editor, MIDI input, long names, other categories).

#include "corvid/aax/client.h"
#include "corvid/aax/describe.h"
#include "corvid/aax/effectgui.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace corvid;
using namespace corvid::aax;

namespace {

struct EditorLog {
    std::vector<std::string> calls;
    void* parent = nullptr;
    void* controlInfo = reinterpret_cast<void*>(1);
    DawKind host = DawKind::unknown;
    std::int32_t backend = -1;
};

class FakeEditor : public IGraphics {
public:
    explicit FakeEditor(EditorLog& log) : log_(log) {}
    void* openEditor(void* parent, void* controlInfo, DawKind host, std::int32_t backend) override {
        log_.calls.push_back("open");
        log_.parent = parent;
        log_.controlInfo = controlInfo;
        log_.host = host;
        log_.backend = backend;
        return parent;
    }
    void closeEditor() override { log_.calls.push_back("close"); }
    void idleEditor() override { log_.calls.push_back("idle"); }
    void editorSize(std::int32_t* w, std::int32_t* h) override {
        *w = 763;
        *h = 494;
    }

private:
    EditorLog& log_;
};

class FakeProduct : public Client {
public:
    FakeProduct(std::string name, bool midi, EffectCategory category, EditorLog* log)
        : name_(std::move(name)), midi_(midi), category_(category), log_(log) {}
    std::unique_ptr<IGraphics> createEditor() override {
        return log_ ? std::make_unique<FakeEditor>(*log_) : nullptr;
    }
    void resetState(double, std::int32_t, std::int32_t, std::int32_t) override {}
    void processSubBlock(const float* const*, float* const* outputs, std::int32_t frames,
                         TransportInfo transport) override {
        lastTransport = transport;
        for (const MidiMessage& m : midiForSubBlock()) midiSeen.push_back(m);
        for (std::int32_t i = 0; i < frames; ++i) outputs[0][i] = outputs[1][i] = 0.0f;
    }
    std::vector<std::unique_ptr<Parameter>> declareParameters() override {
        std::vector<std::unique_ptr<Parameter>> p;
        p.push_back(std::make_unique<LinearFloatParameter>(0, "Gain", "dB", -10, 10, 0));
        p.push_back(std::make_unique<BoolParameter>(1, "Mute", false));
        return p;
    }
    std::vector<std::unique_ptr<Preset>> declarePresets() override {
        std::vector<std::unique_ptr<Preset>> presets;
        presets.push_back(defaultPreset());
        return presets;
    }
    PluginDescription declarePluginInfo() override {
        PluginDescription d;
        d.vendorName = "Maker";
        d.vendorCode = "Mkr1";
        d.pluginName = name_;
        d.pluginCode = "ab99";
        d.versionMajor = 4;
        d.hasEditor = log_ != nullptr;
        d.receivesMidi = midi_;
        d.category = category_;
        d.aaxBundleId = "com.maker.aax.fake";
        return d;
    }
    std::vector<ChannelLayout> declareChannelLayouts() override { return {{1, 2}, {2, 2}}; }

    TransportInfo lastTransport;
    std::vector<MidiMessage> midiSeen;

private:
    std::string name_;
    bool midi_;
    EffectCategory category_;
    EditorLog* log_;
};

std::unique_ptr<FakeProduct> makeProduct(std::string name = "Fake", bool midi = false,
                                         EffectCategory category = EffectCategory::effect,
                                         EditorLog* log = nullptr) {
    return createClient<FakeProduct>(std::move(name), midi, category, log);
}

// ---- host side

class Map : public AAX_IACFPropertyMap {
public:
    AAX_Result AddProperty(std::uint32_t id, AAX_CPropertyValue v) override {
        values[id] = v;
        return AAX_SUCCESS;
    }
    AAX_CBoolean GetProperty(std::uint32_t id, AAX_CPropertyValue* v) const override {
        auto it = values.find(id);
        if (it == values.end()) return 0;
        *v = it->second;
        return 1;
    }
    std::map<std::uint32_t, AAX_CPropertyValue> values;
};

class Component final : public AAX_IACFComponentDescriptor {
public:
    AAX_Result AddAudioIn(AAX_CFieldIndex f) override { return note(f, "in"); }
    AAX_Result AddAudioOut(AAX_CFieldIndex f) override { return note(f, "out"); }
    AAX_Result AddAudioBufferLength(AAX_CFieldIndex f) override { return note(f, "length"); }
    AAX_Result AddMIDINode(AAX_CFieldIndex f, AAX_EMIDINodeType, const char* name,
                           std::uint32_t) override {
        return note(f, name);
    }
    AAX_Result AddPrivateData(AAX_CFieldIndex f, std::int32_t, std::uint32_t) override {
        return note(f, "private");
    }
    AAX_IACFPropertyMap* NewPropertyMap() override { return &map; }
    AAX_Result AddProcessProc(AAX_CRenderProc proc, AAX_IACFPropertyMap*) override {
        render = proc;
        return AAX_SUCCESS;
    }
    std::map<int, std::string> fields;
    Map map;
    AAX_CRenderProc render = nullptr;

private:
    AAX_Result note(AAX_CFieldIndex f, const std::string& what) {
        fields[f] = what;
        return AAX_SUCCESS;
    }
};

class Effect : public AAX_IACFEffectDescriptor {
public:
    AAX_IACFComponentDescriptor* NewComponentDescriptor() override {
        components.push_back(std::make_unique<Component>());
        return components.back().get();
    }
    AAX_Result AddComponent(AAX_IACFComponentDescriptor*) override { return AAX_SUCCESS; }
    AAX_Result AddName(const char* name) override {
        names.emplace_back(name);
        return AAX_SUCCESS;
    }
    AAX_Result AddCategory(std::uint32_t c) override {
        categories.push_back(c);
        return AAX_SUCCESS;
    }
    AAX_Result AddProcPtr(void* proc, AAX_EProcPtrID id) override {
        procs[id] = proc;
        return AAX_SUCCESS;
    }
    std::vector<std::unique_ptr<Component>> components;
    std::vector<std::string> names;
    std::vector<std::uint32_t> categories;
    std::map<int, void*> procs;
};

class Collection : public AAX_IACFCollection {
public:
    AAX_IACFEffectDescriptor* NewDescriptor() override { return &effect; }
    AAX_Result AddEffect(const char* id, AAX_IACFEffectDescriptor*) override {
        effectID = id;
        return AAX_SUCCESS;
    }
    AAX_Result SetManufacturerName(const char* n) override {
        manufacturer = n;
        return AAX_SUCCESS;
    }
    AAX_Result AddPackageName(const char* n) override {
        packageNames.emplace_back(n);
        return AAX_SUCCESS;
    }
    AAX_Result SetPackageVersion(std::uint32_t v) override {
        version = v;
        return AAX_SUCCESS;
    }
    Effect effect;
    std::string effectID, manufacturer;
    std::vector<std::string> packageNames;
    std::uint32_t version = 0;
};

struct Event {
    std::string kind, id;
    double value;
    bool operator==(const Event&) const = default;
};

class Controller : public AAX_IACFController, public AAX_IACFAutomationDelegate {
public:
    AAX_Result GetSampleRate(AAX_CSampleRate* r) const override {
        *r = 48000.0f;
        return AAX_SUCCESS;
    }
    AAX_Result GetInputStemFormat(std::uint32_t* s) const override {
        *s = AAX_eStemFormat_Mono;
        return AAX_SUCCESS;
    }
    AAX_Result GetOutputStemFormat(std::uint32_t* s) const override {
        *s = AAX_eStemFormat_Stereo;
        return AAX_SUCCESS;
    }
    AAX_Result SetSignalLatency(std::int32_t) override { return AAX_SUCCESS; }
    AAX_IACFAutomationDelegate* GetAutomationDelegate() override {
        return offerAutomation ? this : nullptr;
    }
    AAX_IACFEffectParameters* GetEffectParameters() override { return effect; }
    AAX_Result RegisterParameter(AAX_CParamID) override { return AAX_SUCCESS; }
    AAX_Result UnregisterParameter(AAX_CParamID) override { return AAX_SUCCESS; }
    AAX_Result PostSetValueRequest(AAX_CParamID id, double v) override {
        events.push_back({"set", id, v});
        return AAX_SUCCESS;
    }
    AAX_Result PostTouchRequest(AAX_CParamID id) override {
        events.push_back({"touch", id, 0.0});
        return AAX_SUCCESS;
    }
    AAX_Result PostReleaseRequest(AAX_CParamID id) override {
        events.push_back({"release", id, 0.0});
        return AAX_SUCCESS;
    }
    bool offerAutomation = true;
    AAX_IACFEffectParameters* effect = nullptr;
    std::vector<Event> events;
};

class Container : public AAX_IACFViewContainer {
public:
    AAX_EViewContainer_Type GetType() const override { return AAX_eViewContainer_Type_HWND; }
    void* GetPtr() const override { return parent; }
    void* parent = reinterpret_cast<void*>(0x1234);
};

class Node : public AAX_IMIDINode, public AAX_ITransport {
public:
    AAX_CMidiStream* GetNodeBuffer() override { return &stream; }
    AAX_ITransport* GetTransport() override { return this; }
    AAX_Result GetCurrentTempo(double* bpm) const override {
        *bpm = 93.0;
        return AAX_SUCCESS;
    }
    AAX_Result GetCurrentNativeSampleLocation(std::int64_t*) const override {
        return AAX_ERROR_UNIMPLEMENTED; // a host without a timeline position
    }
    AAX_Result IsTransportPlaying(bool* p) const override {
        *p = true;
        return AAX_SUCCESS;
    }
    AAX_CMidiStream stream;
};

// The adapter is reference counted; the test releases it like a host.
struct AdapterRef {
    explicit AdapterRef(std::unique_ptr<Client> client)
        : adapter(std::make_unique<AAXClient>(std::move(client)).release()) {}
    ~AdapterRef() { adapter->Release(); }
    AAXClient* operator->() const { return adapter; }
    AAXClient* adapter;
};

} // namespace

TEST(AdapterDescribe, MapsCategoriesStemsAndIDs) {
    const std::map<int, std::uint32_t> categories{
        {-1, 0x2000}, {0, 0x2000}, {1, 0x10},   {2, 0x40},   {3, 0x2},    {4, 0x1},
        {5, 0x200},   {6, 0x20},   {7, 0x4},    {8, 0x8},    {9, 0x2000}, {10, 0x800},
        {11, 0x800},  {12, 0x800}, {13, 0x800}, {14, 0x2000}};
    for (const auto& [code, bits] : categories)
        EXPECT_EQ(categoryBits(static_cast<EffectCategory>(code)), bits) << code;
    const std::uint32_t stems[] = {0xFF9C0000, 0x1,     0x10002, 0x20003, 0x40004,
                                   0x50005,    0x60006, 0x80007, 0xC0008, 0xFF9C0000};
    for (int n = 0; n < 10; ++n) EXPECT_EQ(stemFormatForChannels(n), stems[n]) << n;
    EXPECT_EQ(stemFormatForChannels(-1), 0xFF9C0000u);

    PluginDescription info;
    info.pluginCode = "@s21";
    EXPECT_EQ(nativePlugInID(info, {1, 2}), AAX_FourCC('@', 's', '1', '2'));
    EXPECT_EQ(audioSuitePlugInID(info, {2, 2}), AAX_FourCC('@', 't', '2', '2'));
    EXPECT_EQ(fourCharCode("ab"), AAX_FourCC('a', 'b', 0, 0));
}

TEST(AdapterDescribe, LongNamesGetShortVariantsAndMidiGetsItsNode) {
    const std::string longName = "An Unusually Long Plug-in Name For Testing";
    auto product = makeProduct(longName, true, EffectCategory::reverb);
    Collection collection;
    AAX_VCollection wrapped(&collection);
    const EffectFactories factories{nullptr, nullptr, &AAXClient::render};
    ASSERT_EQ(describeEffect(*product, wrapped, factories), AAX_SUCCESS);
    EXPECT_EQ(collection.effectID, "com.maker.aax.fake");
    EXPECT_EQ(collection.effect.names,
              (std::vector<std::string>{longName, longName.substr(0, 31)}));
    EXPECT_EQ(collection.packageNames,
              (std::vector<std::string>{longName, longName.substr(0, 16)}));
    EXPECT_EQ(collection.manufacturer, "Maker");
    EXPECT_EQ(collection.version, 4u);
    EXPECT_EQ(collection.effect.categories, std::vector<std::uint32_t>{0x8});
    EXPECT_EQ(collection.effect.procs.count(AAX_eProcPtrID_Create_EffectGUI), 0u);
    ASSERT_EQ(collection.effect.components.size(), 2u);
    const auto& fields = collection.effect.components[0]->fields;
    EXPECT_EQ(fields.at(3), "InputMIDI");
    EXPECT_EQ(fields.at(5), "Transport");
    EXPECT_EQ(fields.count(4) + fields.count(7), 0u);
}

TEST(AdapterRender, QueuesMidiAndFillsTheTransport) {
    auto owned = makeProduct("Fake", true);
    FakeProduct* product = owned.get();
    AdapterRef adapter(std::move(owned));
    Controller controller;
    controller.effect = adapter.adapter;
    ASSERT_EQ(adapter->Initialize(&controller), AAX_SUCCESS);

    void* privateData[1] = {nullptr};
    ASSERT_EQ(adapter->ResetFieldData(AAX_eField_PrivateData, privateData, 8), AAX_SUCCESS);
    AAX_CMidiPacket packets[2];
    packets[0].mTimestamp = 5;
    packets[0].mLength = 3;
    packets[0].mData[0] = 0x90;
    packets[0].mData[1] = 60;
    packets[0].mData[2] = 100;
    packets[1].mTimestamp = 2;
    packets[1].mLength = 3;
    packets[1].mData[0] = 0x80;
    Node node;
    node.stream.mBufferSize = 2;
    node.stream.mBuffer = packets;

    std::vector<float> in(64, 0.0f), left(64), right(64);
    float* inputs[1] = {in.data()};
    float* outputs[2] = {left.data(), right.data()};
    std::int32_t length = 64;
    void* fields[AAX_eField_Count] = {inputs,      outputs,
                                      &length,     static_cast<AAX_IMIDINode*>(&node),
                                      nullptr,     static_cast<AAX_IMIDINode*>(&node),
                                      privateData, nullptr};
    void* const instances[1] = {fields};
    AAXClient::render(instances, instances + 1);

    EXPECT_EQ(product->lastTransport.tempo, 93.0);
    EXPECT_EQ(product->lastTransport.samplePosition, 0);
    EXPECT_TRUE(product->lastTransport.isPlaying);
    ASSERT_EQ(product->midiSeen.size(), 2u);
    EXPECT_EQ(product->midiSeen[0].offset, 2);
    EXPECT_EQ(product->midiSeen[0].status, 0x80);
    EXPECT_EQ(product->midiSeen[1].offset, 5);
    EXPECT_EQ(product->midiSeen[1].data1, 60);
    EXPECT_EQ(product->midiSeen[1].data2, 100);
}

TEST(AdapterHostCommand, ReportsGesturesToTheAutomationDelegate) {
    auto owned = makeProduct();
    Client* client = owned.get();
    AdapterRef adapter(std::move(owned));
    Controller controller;
    controller.effect = adapter.adapter;
    adapter->Initialize(&controller);

    IHostCommand* command = client->hostCommand();
    ASSERT_NE(command, nullptr);
    auto* gain = static_cast<FloatParameter*>(client->parameter(0));
    gain->beginEdit();
    gain->setFromEditor(20.0); // clamped to the top of the range
    gain->endEdit();
    EXPECT_EQ(controller.events,
              (std::vector<Event>{{"touch", "0", 0.0}, {"set", "0", 1.0}, {"release", "0", 0.0}}));
    EXPECT_FALSE(command->requestEditorResize(100, 100));
    EXPECT_EQ(command->hostKind(), DawKind::protools);
    std::int32_t changes = 0;
    adapter->GetNumberOfChanges(&changes);
    EXPECT_EQ(changes, 1);

    // Without a delegate the gestures go nowhere and nothing breaks.
    Controller silent;
    silent.offerAutomation = false;
    silent.effect = adapter.adapter;
    adapter->Initialize(&silent);
    gain->beginEdit();
    gain->setFromEditor(-3.0);
    gain->endEdit();
    EXPECT_TRUE(silent.events.empty());
    EXPECT_EQ(controller.events.size(), 3u);
}

TEST(AdapterEditor, OpensClosesAndSizesTheEditorWithoutWaiting) {
    EditorLog log;
    auto owned = makeProduct("Fake", false, EffectCategory::effect, &log);
    Client* client = owned.get();
    AdapterRef adapter(std::move(owned));
    Controller controller;
    controller.effect = adapter.adapter;
    adapter->Initialize(&controller);

    AAXEffectGUI* gui = std::make_unique<AAXEffectGUI>().release();
    ASSERT_EQ(gui->Initialize(&controller), AAX_SUCCESS);
    EXPECT_FALSE(client->hasEditorObject()); // made only when the host asks for the view

    Container container;
    ASSERT_EQ(gui->SetViewContainer(&container), AAX_SUCCESS);
    EXPECT_TRUE(client->hasEditorObject());
    EXPECT_EQ(log.calls, std::vector<std::string>{"open"});
    EXPECT_EQ(log.parent, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(log.controlInfo, nullptr);
    EXPECT_EQ(log.host, DawKind::protools);
    EXPECT_EQ(log.backend, 0);

    AAX_Point size;
    ASSERT_EQ(gui->GetViewSize(&size), AAX_SUCCESS);
    EXPECT_EQ(size.horz, 763.0f);
    EXPECT_EQ(size.vert, 494.0f);

    // While another thread holds the editor, the host's size record stays as it was.
    ASSERT_NE(client->tryTakeEditor(), nullptr);
    AAX_Point untouched{1.0f, 2.0f};
    EXPECT_EQ(gui->GetViewSize(&untouched), AAX_SUCCESS);
    EXPECT_EQ(untouched.vert, 1.0f);
    EXPECT_EQ(untouched.horz, 2.0f);
    client->releaseEditor();

    // The host's idle calls reach the open editor's window, and only an open one.
    ASSERT_EQ(gui->TimerWakeup(), AAX_SUCCESS);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open", "idle"}));
    ASSERT_EQ(gui->SetViewContainer(nullptr), AAX_SUCCESS);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open", "idle", "close"}));
    ASSERT_EQ(gui->TimerWakeup(), AAX_SUCCESS);
    ASSERT_EQ(gui->SetViewContainer(&container), AAX_SUCCESS);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open", "idle", "close", "open"}));
    // The editor closes before its object can go away with the instance.
    gui->Release();
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open", "idle", "close", "open", "close"}));
}

TEST(AdapterEditor, ClosingTheEditorMidDragReleasesTheParameter) {
    EditorLog log;
    auto owned = makeProduct("Fake", false, EffectCategory::effect, &log);
    Client* client = owned.get();
    AdapterRef adapter(std::move(owned));
    Controller controller;
    controller.effect = adapter.adapter;
    adapter->Initialize(&controller);
    AAXEffectGUI* gui = std::make_unique<AAXEffectGUI>().release();
    ASSERT_EQ(gui->Initialize(&controller), AAX_SUCCESS);
    Container container;
    ASSERT_EQ(gui->SetViewContainer(&container), AAX_SUCCESS);
    auto* gain = static_cast<FloatParameter*>(client->parameter(0));
    gain->beginEdit();
    gain->setFromEditor(2.0);
    // The view goes while the hand is on the knob: the host must not keep the
    // parameter touched, and a late end from the widget is not sent twice.
    ASSERT_EQ(gui->SetViewContainer(nullptr), AAX_SUCCESS);
    gain->endEdit();
    ASSERT_EQ(controller.events.size(), 3u);
    EXPECT_EQ(controller.events.front().kind, "touch");
    EXPECT_EQ(controller.events.back().kind, "release");
    gui->Release();
}

TEST(AdapterEditor, AWindowThatCannotOpenIsAnErrorAndNothingStaysOpen) {
    EditorLog log;
    auto owned = makeProduct("Fake", false, EffectCategory::effect, &log);
    AdapterRef adapter(std::move(owned));
    Controller controller;
    controller.effect = adapter.adapter;
    adapter->Initialize(&controller);
    AAXEffectGUI* gui = std::make_unique<AAXEffectGUI>().release();
    ASSERT_EQ(gui->Initialize(&controller), AAX_SUCCESS);

    // The fake editor answers its parent as its window, so a null parent stands
    // for a window the platform refused (no display).
    Container refused;
    refused.parent = nullptr;
    EXPECT_NE(gui->SetViewContainer(&refused), AAX_SUCCESS);
    ASSERT_EQ(gui->TimerWakeup(), AAX_SUCCESS);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open", "close"}));
    Container container;
    ASSERT_EQ(gui->SetViewContainer(&container), AAX_SUCCESS);
    ASSERT_EQ(gui->TimerWakeup(), AAX_SUCCESS);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open", "close", "open", "idle"}));
    gui->Release();
}
