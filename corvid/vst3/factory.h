#pragma once
// The plug-in library's one factory and its exported entry points. A product
// writes one line,
//     CORVID_VST3_ENTRY_POINTS(createMyClient, 0x........, 0x........, 0x........, 0x........)
// with a function that makes its client (editor included) and the class ID of
// its one audio effect. That ID names the plug-in in every saved session: once
// published it never changes.

#include "corvid/client/client.h"
#include "corvid/host/entry.h"
#include "corvid/vst3/abi.h"

#include <memory>
#include <string>

namespace corvid::vst3 {

using ClientFactory = std::unique_ptr<Client> (*)();

// The subcategory string hosts sort the effect by.
const char* subCategoriesFor(EffectCategory category);

class Factory final : public IPluginFactory2 {
public:
    Factory(ClientFactory create, Uid classId);

    tresult CORVID_VST3_CALL queryInterface(const TUID iid, void** obj) override;
    // The factory lives as long as the library: counting changes nothing.
    uint32 CORVID_VST3_CALL addRef() override { return 1; }
    uint32 CORVID_VST3_CALL release() override { return 1; }

    tresult CORVID_VST3_CALL getFactoryInfo(PFactoryInfo* info) override;
    int32 CORVID_VST3_CALL countClasses() override { return 1; }
    tresult CORVID_VST3_CALL getClassInfo(int32 index, PClassInfo* info) override;
    tresult CORVID_VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) override;
    tresult CORVID_VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) override;

private:
    template <class Info>
    void fillClassInfo(Info& info) const;

    ClientFactory create_;
    Uid classId_;
    PluginDescription info_;
};

// The library's factory, made on first use.
IPluginFactory* factory(ClientFactory create, Uid classId);

} // namespace corvid::vst3

#if defined(_WIN32)
#define CORVID_VST3_MODULE_ENTRY                                                                   \
    CORVID_EXPORT bool InitDll() {                                                                 \
        return true;                                                                               \
    }                                                                                              \
    CORVID_EXPORT bool ExitDll() {                                                                 \
        return true;                                                                               \
    }
#else
#define CORVID_VST3_MODULE_ENTRY                                                                   \
    CORVID_EXPORT bool ModuleEntry(void*) {                                                        \
        return true;                                                                               \
    }                                                                                              \
    CORVID_EXPORT bool ModuleExit() {                                                              \
        return true;                                                                               \
    }
#endif

#define CORVID_VST3_ENTRY_POINTS(create, l1, l2, l3, l4)                                           \
    CORVID_VST3_MODULE_ENTRY                                                                       \
    CORVID_EXPORT corvid::vst3::IPluginFactory* CORVID_VST3_CALL GetPluginFactory() {              \
        corvid::host::EntryScope scope;                                                            \
        return corvid::vst3::factory(&create, corvid::vst3::Uid::of(l1, l2, l3, l4));              \
    }
