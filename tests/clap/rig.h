#pragma once
// One Spatium instance behind the CLAP adapter, in process, with a host whose
// lists are sized beforehand so the audio thread's calls can be counted.

#include "corvid/clap/entry.h"
#include "corvid/clap/plugin.h"
#include "spatium/spatium.h"

#include <array>
#include <memory>
#include <vector>

namespace clapadapter {

using namespace corvid::clap;

inline std::unique_ptr<corvid::Client> createSpatium() {
    return corvid::createClient<spatium::SpatiumClient>();
}

struct HostSide {
    int flushRequests = 0;
    int rescans = 0;
    bool inAudio = false;
    clap_host host{};

    HostSide() {
        host.clap_version = kClapVersion;
        host.host_data = this;
        host.name = host.vendor = host.url = host.version = "";
        host.get_extension = [](const clap_host* h, const char* id) -> const void* {
            static const clap_host_params params = {
                [](const clap_host* x, std::uint32_t) { of(x).rescans++; },
                [](const clap_host*, clap_id, std::uint32_t) {},
                [](const clap_host* x) { of(x).flushRequests++; }};
            static const clap_host_thread_check check = {
                [](const clap_host* x) { return !of(x).inAudio; },
                [](const clap_host* x) { return of(x).inAudio; }};
            if (std::string_view(id) == kExtParams) return &params;
            if (std::string_view(id) == kExtThreadCheck) return &check;
            (void)h;
            return nullptr;
        };
        host.request_restart = host.request_process =
            host.request_callback = [](const clap_host*) {};
    }
    static HostSide& of(const clap_host* h) { return *static_cast<HostSide*>(h->host_data); }
};

// Events in a fixed array: pushing and reading neither allocate nor lock.
struct EventList {
    // Indexed by the event's place in the list, so each holds as many as the list.
    std::array<clap_event_param_value, 128> values{};
    std::array<clap_event_param_gesture, 128> gestures{};
    std::array<const clap_event_header*, 128> order{};
    std::uint32_t count = 0;
    std::uint32_t room = 128;
    clap_input_events in{this, [](const clap_input_events* l) { return self(l->ctx).count; },
                         [](const clap_input_events* l, std::uint32_t i) {
                             return i < self(l->ctx).count ? self(l->ctx).order[i] : nullptr;
                         }};
    clap_output_events out{
        this, [](const clap_output_events* l, const clap_event_header* e) {
            EventList& s = self(l->ctx);
            if (s.count >= s.room) return false;
            if (e->type == kEventParamValue)
                s.values[s.count] = *reinterpret_cast<const clap_event_param_value*>(e);
            else
                s.gestures[s.count] = *reinterpret_cast<const clap_event_param_gesture*>(e);
            s.order[s.count] = e->type == kEventParamValue ? &s.values[s.count].header
                                                           : &s.gestures[s.count].header;
            ++s.count;
            return true;
        }};

    static EventList& self(void* ctx) { return *static_cast<EventList*>(ctx); }
    void add(std::uint32_t time, clap_id id, double value) {
        clap_event_param_value& e = values[count];
        e = clap_event_param_value{};
        e.header = {sizeof e, time, kCoreEventSpace, kEventParamValue, 0};
        e.param_id = id;
        e.note_id = -1;
        e.value = value;
        order[count++] = &e.header;
    }
    std::uint16_t type(std::uint32_t i) const { return order[i]->type; }
    clap_id id(std::uint32_t i) const {
        return type(i) == kEventParamValue ? values[i].param_id : gestures[i].param_id;
    }
};

struct Rig {
    HostSide side;
    const clap_plugin* plugin = nullptr;
    std::uint32_t inputs;

    explicit Rig(std::uint32_t inputChannels = 2, double rate = 48000.0) : inputs(inputChannels) {
        const clap_plugin_factory* f = factory(&createSpatium, "test.spatium", "test");
        plugin = f->create_plugin(f, &side.host, "test.spatium");
        plugin->init(plugin);
        const auto* configs = static_cast<const clap_plugin_audio_ports_config*>(
            plugin->get_extension(plugin, kExtAudioPortsConfig));
        configs->select(plugin, inputChannels == 1 ? 0 : 1);
        plugin->activate(plugin, rate, 1, 4096);
        side.inAudio = true;
        plugin->start_processing(plugin);
        side.inAudio = false;
    }
    ~Rig() {
        stop();
        plugin->deactivate(plugin);
        plugin->destroy(plugin);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    void stop() {
        side.inAudio = true;
        plugin->stop_processing(plugin);
        side.inAudio = false;
    }
    Plugin& adapter() const { return Plugin::of(plugin); }
    const clap_plugin_params& params() const {
        return *static_cast<const clap_plugin_params*>(plugin->get_extension(plugin, kExtParams));
    }

    void process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                 std::uint32_t frames, EventList* events, EventList* sent) {
        float* inPointers[2] = {in[0].data(), in[in.size() - 1].data()};
        float* outPointers[2] = {out[0].data(), out[1].data()};
        clap_audio_buffer inBus{inPointers, nullptr, inputs, 0, 0};
        clap_audio_buffer outBus{outPointers, nullptr, 2, 0, 0};
        clap_process p{};
        p.steady_time = -1;
        p.frames_count = frames;
        p.audio_inputs = &inBus;
        p.audio_outputs = &outBus;
        p.audio_inputs_count = p.audio_outputs_count = 1;
        p.in_events = events ? &events->in : nullptr;
        p.out_events = sent ? &sent->out : nullptr;
        side.inAudio = true;
        plugin->process(plugin, &p);
        side.inAudio = false;
    }
};

} // namespace clapadapter
