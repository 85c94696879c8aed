#include "corvid/lv2/ui.h"

#include "corvid/core/error.h"
#include "corvid/host/entry.h"
#include "corvid/lv2/features.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/urid/urid.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace corvid::lv2 {

namespace {

// Messages go to the host's log when it has one, so they show where its user
// looks; otherwise to stderr.
class Log {
public:
    explicit Log(const LV2_Feature* const* features)
        : log_(static_cast<const LV2_Log_Log*>(findFeature(features, LV2_LOG__log))) {
        const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
        if (log_ && map) error_ = map->map(map->handle, LV2_LOG__Error);
    }

    void error(const std::string& text) const {
        if (log_ && log_->printf)
            log_->printf(log_->handle, error_, "%s\n", text.c_str());
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    }

private:
    const LV2_Log_Log* log_;
    LV2_URID error_ = 0;
};

LV2UI_Handle instantiate(const LV2UI_Descriptor* descriptor, const char* pluginUri,
                         const char* bundlePath, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features);
void cleanup(LV2UI_Handle handle);
void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer);
const void* extensionData(const char* uri);

struct UiEntry {
    LV2UI_Descriptor descriptor; // first: the host's pointer is the entry's
    const Descriptors* owner;
};

const UiEntry& entryOf(const LV2UI_Descriptor* descriptor) {
    return *reinterpret_cast<const UiEntry*>(descriptor);
}

Ui* self(LV2UI_Handle handle) {
    return static_cast<Ui*>(handle);
}

bool isOurPlugin(const Descriptors& descriptors, const char* uri) {
    if (!uri) return false;
    for (std::uint32_t i = 0; const LV2_Descriptor* d = descriptors.descriptor(i); ++i)
        if (std::strcmp(d->URI, uri) == 0) return true;
    return false;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor* descriptor, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    host::EntryScope scope;
    const Log log(features);
    const std::string who = pluginUri ? pluginUri : descriptor->URI;
    if (!isOurPlugin(*entryOf(descriptor).owner, pluginUri)) {
        log.error(who + ": this editor belongs to another plug-in; it is not opened.");
        return nullptr;
    }
    auto* instance =
        static_cast<Instance*>(const_cast<void*>(findFeature(features, LV2_INSTANCE_ACCESS_URI)));
    if (!instance) {
        log.error(who + ": the editor needs the host to share the running plug-in with its UI "
                        "(feature " LV2_INSTANCE_ACCESS_URI "), which this host does not offer. "
                        "The plug-in works without its editor; use the host's own controls.");
        return nullptr;
    }
    if (!write || !widget) {
        log.error(who + ": the host gave the editor no way to write to the plug-in's ports; "
                        "it is not opened.");
        return nullptr;
    }
    if (instance->gestures().sink()) {
        log.error(who + ": this plug-in's editor is open already; a second one is not opened.");
        return nullptr;
    }
    auto ui =
        std::make_unique<Ui>(*instance, write, controller,
                             static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch)));
    void* window = ui->open(const_cast<void*>(findFeature(features, LV2_UI__parent)));
    if (!window) {
        log.error(who + ": the editor window could not be opened (no display reachable, or "
                        "the plug-in has no editor).");
        return nullptr;
    }
    *widget = window;
    // The editor has one size: tell a host that sizes its container from the UI.
    if (const auto* resize =
            static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize));
        resize && resize->ui_resize) {
        std::int32_t width = 0;
        std::int32_t height = 0;
        ui->editorSize(width, height);
        resize->ui_resize(resize->handle, width, height);
    }
    return ui.release();
}

void cleanup(LV2UI_Handle handle) {
    host::EntryScope scope;
    delete self(handle);
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer) {
    host::EntryScope scope;
    self(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
    host::EntryScope scope;
    return self(handle)->idle();
}

// Hosts without a window of their own to embed the editor in (no ui:parent) show
// and hide its top-level window through this.
int show(LV2UI_Handle handle) {
    host::EntryScope scope;
    return self(handle)->show() ? 0 : 1;
}

int hide(LV2UI_Handle handle) {
    host::EntryScope scope;
    self(handle)->hide();
    return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {&idle};
const LV2UI_Show_Interface kShowInterface = {&show, &hide};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
    if (uri && std::strcmp(uri, LV2_UI__showInterface) == 0) return &kShowInterface;
    return nullptr;
}

} // namespace

// ---- one open editor

Ui::Ui(Instance& instance, LV2UI_Write_Function write, LV2UI_Controller controller,
       const LV2UI_Touch* touch)
    : instance_(instance), write_(write), controller_(controller),
      touch_(touch && touch->touch ? touch : nullptr) {
    instance_.gestures().attach(this);
}

Ui::~Ui() {
    session_.close();
    // Ends a drag cut short by the closing at the host.
    instance_.gestures().attach(nullptr);
}

void* Ui::open(void* parent) {
    void* window = nullptr;
    if (!session_.open(instance_.client(), parent, DawKind::unknown, &window)) return nullptr;
    hidden_ = false;
    // Values run() took before the editor existed have listeners now.
    instance_.values().deliver();
    return window;
}

void Ui::editorSize(std::int32_t& width, std::int32_t& height) {
    if (IGraphics* editor = instance_.client().ensureEditor()) editor->editorSize(&width, &height);
}

void Ui::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer) {
    // Control ports only, in the float protocol; the latency output says nothing
    // to the widgets.
    if (format != 0 || size != sizeof(float) || !buffer) return;
    if (port >= instance_.ports().controls) return;
    float value = 0.0f;
    std::memcpy(&value, buffer, sizeof value);
    instance_.values().applyPlainNow(static_cast<std::int32_t>(port), static_cast<double>(value));
}

int Ui::idle() {
    instance_.values().deliver();
    if (hidden_) return 0;
    return session_.idle() ? 0 : 1;
}

bool Ui::show() {
    if (!hidden_) return true;
    return open(nullptr) != nullptr;
}

void Ui::hide() {
    session_.close();
    hidden_ = true;
}

void Ui::beginEdit(std::int32_t index) {
    if (touch_) touch_->touch(touch_->handle, static_cast<std::uint32_t>(index), true);
}

void Ui::performEdit(std::int32_t index, double normalized) {
    const auto value = static_cast<float>(instance_.plainValue(index).plainFor(normalized));
    write_(controller_, static_cast<std::uint32_t>(index), sizeof value, 0, &value);
}

void Ui::endEdit(std::int32_t index) {
    if (touch_) touch_->touch(touch_->handle, static_cast<std::uint32_t>(index), false);
}

// ---- the descriptor

const LV2UI_Descriptor* uiDescriptor(const Descriptors& descriptors, std::uint32_t index) {
    if (index != 0 || !descriptors.bundle().offerUi) return nullptr;
    // A plug-in library exports one bundle, so one entry serves it for as long as
    // the library is loaded.
    static const std::string uri = descriptors.bundle().uiUri();
    static const UiEntry entry{{uri.c_str(), &instantiate, &cleanup, &portEvent, &extensionData},
                               &descriptors};
    static_assert(std::is_standard_layout_v<UiEntry>);
    if (entry.owner != &descriptors) fatalError("LV2 UI: a library exports one bundle");
    return &entry.descriptor;
}

} // namespace corvid::lv2
