// The library's entry points: the AAX registration calls and the factory-preset
// export. Everything else in the library stays hidden from the host.

#include "corvid/host/entry.h"
#include "corvid/aax/client.h"
#include "corvid/aax/describe.h"
#include "corvid/aax/effectgui.h"
#include "spatium/gui/editor.h"
#include "spatium/spatium.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#define SPATIUM_EXPORT CORVID_EXPORT

namespace {

using corvid::aax::AAX_VHostServices;
using corvid::aax::AAXClient;
using corvid::aax::AAXEffectGUI;

using corvid::host::EntryScope;

std::mutex gHostServicesLock;
std::unique_ptr<AAX_VHostServices> gHostServices;

AAX_IACFEffectParameters* createEffectParameters() {
    EntryScope scope;
    return std::make_unique<AAXClient>(
               corvid::createClient<spatium::SpatiumClient>(&spatium::createSpatiumEditor))
        .release();
}

AAX_IACFEffectGUI* createEffectGUI() {
    EntryScope scope;
    return std::make_unique<AAXEffectGUI>().release();
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

} // namespace

SPATIUM_EXPORT AAX_Result ACFStartup(AAX_IACFHost* host) {
    EntryScope scope;
    std::lock_guard<std::mutex> lock(gHostServicesLock);
    if (!host)
        gHostServices.reset();
    else if (!gHostServices)
        gHostServices = std::make_unique<AAX_VHostServices>(host->GetHostServices());
    return AAX_SUCCESS;
}

SPATIUM_EXPORT AAX_Result ACFShutdown(AAX_IACFHost*) {
    EntryScope scope;
    std::lock_guard<std::mutex> lock(gHostServicesLock);
    gHostServices.reset();
    return AAX_SUCCESS;
}

SPATIUM_EXPORT AAX_Result ACFCanUnloadNow(AAX_IACFHost*) {
    EntryScope scope;
    return AAX_LiveObjectCount();
}

SPATIUM_EXPORT AAX_Result ACFGetSDKVersion(std::uint64_t* version) {
    EntryScope scope;
    if (!version) return AAX_ERROR_NULL_ARGUMENT;
    *version = AAX_SDK_VERSION;
    return AAX_SUCCESS;
}

SPATIUM_EXPORT AAX_Result ACFGetClassFactory(AAX_IACFHost*, const acfUID*, const acfUID*,
                                             void** factory) {
    EntryScope scope;
    if (factory) *factory = nullptr;
    return AAX_ERROR_UNIMPLEMENTED;
}

SPATIUM_EXPORT AAX_Result ACFRegisterComponent(AAX_IACFHost*, std::uint32_t, void** definition) {
    EntryScope scope;
    if (definition) *definition = nullptr;
    return AAX_SUCCESS;
}

SPATIUM_EXPORT AAX_Result ACFRegisterPlugin(AAX_IACFHost* host, AAX_IACFCollection** definition) {
    EntryScope scope;
    if (definition) *definition = nullptr;
    if (!host || !definition) return AAX_ERROR_NULL_ARGUMENT;
    corvid::aax::AAX_VCollection collection(host->NewCollection());
    if (!collection.get()) return AAX_ERROR_NULL_ARGUMENT;
    auto client = corvid::createClient<spatium::SpatiumClient>();
    const corvid::aax::EffectFactories factories{&createEffectParameters, &createEffectGUI,
                                                 &AAXClient::render};
    const AAX_Result result = corvid::aax::describeEffect(*client, collection, factories);
    if (result == AAX_SUCCESS) *definition = collection.get();
    return result;
}

SPATIUM_EXPORT AAX_Result CorvidEnumerateTFX(CorvidTFXCallback callback, void* userData) {
    EntryScope scope;
    if (!callback) return AAX_ERROR_NULL_ARGUMENT;
    auto client = corvid::createClient<spatium::SpatiumClient>();
    const corvid::PluginDescription& info = client->info();
    const AAX_CTypeID plugInID =
        client->channelLayouts().empty()
            ? 0
            : corvid::aax::nativePlugInID(info, client->channelLayouts().front());
    const corvid::PresetBank& bank = client->presetBank();
    for (std::int32_t p = 0; p < bank.presetCount(); ++p) {
        const std::vector<std::uint8_t> chunk = bank.writePresetChunk(p);
        std::vector<std::uint8_t> blob;
        blob.reserve(AAX_kPresetBlobHeaderSize + chunk.size());
        putBigEndian(blob, static_cast<std::uint32_t>(AAX_kPresetBlobHeaderSize + chunk.size()));
        putBigEndian(blob, 0);
        putBigEndian(blob, corvid::aax::fourCharCode(info.vendorCode));
        putBigEndian(blob, corvid::aax::fourCharCode(info.pluginCode));
        putBigEndian(blob, plugInID);
        putBigEndian(blob, corvid::aax::kStateChunkID);
        blob.resize(AAX_kPresetBlobHeaderSize, 0);
        blob.insert(blob.end(), chunk.begin(), chunk.end());
        const std::string& name = bank.presets()[static_cast<std::size_t>(p)]->name;
        callback(name.c_str(), blob.data(), static_cast<std::int32_t>(blob.size()), userData);
    }
    return AAX_SUCCESS;
}
