#include "corvid/aax/exports.h"

#include "corvid/aax/client.h"
#include "corvid/aax/describe.h"
#include "corvid/aax/effectgui.h"

#include <mutex>
#include <vector>

namespace corvid::aax {

namespace {

// The host's services object, kept between start-up and shut-down.
std::mutex gHostServicesLock;
std::unique_ptr<AAX_VHostServices> gHostServices;

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

AAX_CTypeID firstNativeID(Client& client) {
    return client.channelLayouts().empty()
               ? 0
               : nativePlugInID(client.info(), client.channelLayouts().front());
}

} // namespace

AAX_Result startup(AAX_IACFHost* host) {
    std::lock_guard<std::mutex> lock(gHostServicesLock);
    if (!host)
        gHostServices.reset();
    else if (!gHostServices)
        gHostServices = std::make_unique<AAX_VHostServices>(host->GetHostServices());
    return AAX_SUCCESS;
}

AAX_Result shutdown() {
    std::lock_guard<std::mutex> lock(gHostServicesLock);
    gHostServices.reset();
    return AAX_SUCCESS;
}

AAX_Result canUnloadNow() {
    return AAX_LiveObjectCount();
}

AAX_Result sdkVersion(std::uint64_t* version) {
    if (!version) return AAX_ERROR_NULL_ARGUMENT;
    *version = AAX_SDK_VERSION;
    return AAX_SUCCESS;
}

AAX_Result classFactory(void** factory) {
    if (factory) *factory = nullptr;
    return AAX_ERROR_UNIMPLEMENTED;
}

AAX_Result registerComponent(void** definition) {
    if (definition) *definition = nullptr;
    return AAX_SUCCESS;
}

AAX_IACFEffectParameters* createEffectParameters(ClientFactory create) {
    return std::make_unique<AAXClient>(create()).release();
}

AAX_IACFEffectGUI* createEffectGUI() {
    host::EntryScope scope;
    return std::make_unique<AAXEffectGUI>().release();
}

AAX_Result registerPlugin(ClientFactory create, AAX_CEffectParametersFactory parameters,
                          AAX_IACFHost* host, AAX_IACFCollection** definition) {
    if (definition) *definition = nullptr;
    if (!host || !definition) return AAX_ERROR_NULL_ARGUMENT;
    AAX_VCollection collection(host->NewCollection());
    if (!collection.get()) return AAX_ERROR_NULL_ARGUMENT;
    const std::unique_ptr<Client> client = create();
    const EffectFactories factories{parameters, &createEffectGUI, &AAXClient::render};
    const AAX_Result result = describeEffect(*client, collection, factories);
    if (result == AAX_SUCCESS) *definition = collection.get();
    return result;
}

AAX_Result enumeratePresets(ClientFactory create, CorvidTFXCallback callback, void* userData) {
    if (!callback) return AAX_ERROR_NULL_ARGUMENT;
    const std::unique_ptr<Client> client = create();
    const PluginDescription& info = client->info();
    const AAX_CTypeID plugInID = firstNativeID(*client);
    const PresetBank& bank = client->presetBank();
    for (std::int32_t p = 0; p < bank.presetCount(); ++p) {
        const std::vector<std::uint8_t> chunk = bank.writePresetChunk(p);
        std::vector<std::uint8_t> blob;
        blob.reserve(AAX_kPresetBlobHeaderSize + chunk.size());
        putBigEndian(blob, static_cast<std::uint32_t>(AAX_kPresetBlobHeaderSize + chunk.size()));
        putBigEndian(blob, 0);
        putBigEndian(blob, fourCharCode(info.vendorCode));
        putBigEndian(blob, fourCharCode(info.pluginCode));
        putBigEndian(blob, plugInID);
        putBigEndian(blob, kStateChunkID);
        blob.resize(AAX_kPresetBlobHeaderSize, 0);
        blob.insert(blob.end(), chunk.begin(), chunk.end());
        const std::string& name = bank.presets()[static_cast<std::size_t>(p)]->name;
        callback(name.c_str(), blob.data(), static_cast<std::int32_t>(blob.size()), userData);
    }
    return AAX_SUCCESS;
}

} // namespace corvid::aax
