#pragma once
// A small CLAP host for the tests: loads a .clap library through clap_entry as
// hosts do, offers the host extensions the plug-in asks for and records what it
// calls, and drives one instance through activation, processing with events,
// state and parameters. Everything runs on the test's thread, which is both the
// main and the audio thread as the host reports them (thread-check says which
// role the current call plays).

#include "tests/clap/clap_c.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace claptest {

// One parameter change at a frame of the rendered stream.
struct Change {
    std::int64_t frame;
    std::uint32_t id;
    double value;
};

class Library {
public:
    explicit Library(const std::string& path) {
#if defined(_WIN32)
        handle_ = LoadLibraryA(path.c_str());
        if (!handle_) throw std::runtime_error("cannot load " + path);
        void* entry = reinterpret_cast<void*>(GetProcAddress(handle_, "clap_entry"));
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) throw std::runtime_error(dlerror());
        void* entry = dlsym(handle_, "clap_entry");
#endif
        entry_ = static_cast<const clap_plugin_entry_t*>(entry);
        if (!entry_) throw std::runtime_error("no clap_entry in " + path);
        if (!entry_->init(path.c_str())) throw std::runtime_error("clap_entry.init refused");
        factory_ =
            static_cast<const clap_plugin_factory_t*>(entry_->get_factory("clap.plugin-factory"));
        if (!factory_) throw std::runtime_error("no plug-in factory");
    }
    ~Library() {
        entry_->deinit();
#if defined(_WIN32)
        FreeLibrary(handle_);
#else
        dlclose(handle_);
#endif
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const clap_plugin_entry_t& entry() const {
        return *entry_;
    }
    const clap_plugin_factory_t& factory() const {
        return *factory_;
    }
    const clap_plugin_descriptor_t* descriptor() const {
        return factory_->get_plugin_descriptor(factory_, 0);
    }

private:
#if defined(_WIN32)
    HMODULE handle_ = nullptr;
#else
    void* handle_ = nullptr;
#endif
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_factory_t* factory_ = nullptr;
};

// What the plug-in sent out through process or flush, in order.
struct OutEvent {
    std::uint16_t type;
    std::uint32_t id;
    double value;
};

class Host {
public:
    Host() {
        host_.clap_version = {1, 2, 2};
        host_.host_data = this;
        host_.name = "claptest";
        host_.vendor = "Spatium tests";
        host_.url = "";
        host_.version = "1";
        host_.get_extension = &Host::extension;
        host_.request_restart = [](const clap_host_t* h) { self(h).restarts++; };
        host_.request_process = [](const clap_host_t*) {};
        host_.request_callback = [](const clap_host_t* h) { self(h).callbacks++; };
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    const clap_host_t* clap() const { return &host_; }

    bool inAudio = false; // the role of the current call, as thread-check answers
    bool offerTimers = true;
    int restarts = 0, callbacks = 0, flushRequests = 0, rescans = 0;
    std::map<std::uint32_t, std::uint32_t> timers; // id -> period
    std::map<int, std::uint32_t> fds;              // fd -> flags
    std::uint32_t nextTimer = 7;

private:
    static Host& self(const clap_host_t* h) { return *static_cast<Host*>(h->host_data); }

    static const void* extension(const clap_host_t* h, const char* wanted) {
        static const clap_host_thread_check_t threadCheck = {
            [](const clap_host_t* x) { return !self(x).inAudio; },
            [](const clap_host_t* x) { return self(x).inAudio; }};
        static const clap_host_params_t params = {
            [](const clap_host_t* x, uint32_t) { self(x).rescans++; },
            [](const clap_host_t*, uint32_t, uint32_t) {},
            [](const clap_host_t* x) { self(x).flushRequests++; }};
        static const clap_host_timer_support_t timerSupport = {
            [](const clap_host_t* x, uint32_t period, uint32_t* id) {
                *id = self(x).nextTimer++;
                self(x).timers[*id] = period;
                return true;
            },
            [](const clap_host_t* x, uint32_t id) { return self(x).timers.erase(id) == 1; }};
        static const clap_host_posix_fd_support_t fdSupport = {
            [](const clap_host_t* x, int fd, uint32_t flags) {
                return self(x).fds.emplace(fd, flags).second;
            },
            [](const clap_host_t* x, int fd, uint32_t flags) {
                self(x).fds[fd] = flags;
                return true;
            },
            [](const clap_host_t* x, int fd) { return self(x).fds.erase(fd) == 1; }};
        const std::string name = wanted;
        if (name == "clap.thread-check") return &threadCheck;
        if (name == "clap.params") return &params;
        if (name == "clap.timer-support" && self(h).offerTimers) return &timerSupport;
        if (name == "clap.posix-fd-support" && self(h).offerTimers) return &fdSupport;
        return nullptr;
    }

    clap_host_t host_{};
};

// A sorted list of the host's events for one call.
class InEvents {
public:
    void add(std::uint32_t time, std::uint32_t id, double value) {
        clap_event_param_value_t e{};
        e.header = {sizeof e, time, 0, EV_PARAM_VALUE, 0};
        e.param_id = id;
        e.note_id = -1;
        e.port_index = e.channel = e.key = -1;
        e.value = value;
        events_.push_back(e);
        std::stable_sort(events_.begin(), events_.end(), [](const auto& a, const auto& b) {
            return a.header.time < b.header.time;
        });
    }
    void clear() { events_.clear(); }
    const clap_input_events_t* clap() {
        list_ = {this,
                 [](const clap_input_events_t* l) {
                     return static_cast<uint32_t>(static_cast<InEvents*>(l->ctx)->events_.size());
                 },
                 [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
                     auto& v = static_cast<InEvents*>(l->ctx)->events_;
                     return i < v.size() ? &v[i].header : nullptr;
                 }};
        return &list_;
    }

private:
    std::vector<clap_event_param_value_t> events_;
    clap_input_events_t list_{};
};

class OutEvents {
public:
    std::vector<OutEvent> events;
    std::size_t room = SIZE_MAX; // how many more the list takes

    const clap_output_events_t* clap() {
        list_ = {this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
                     auto& self = *static_cast<OutEvents*>(l->ctx);
                     if (self.room == 0) return false;
                     --self.room;
                     if (e->type == EV_PARAM_VALUE) {
                         const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
                         self.events.push_back({e->type, v->param_id, v->value});
                     } else {
                         const auto* g = reinterpret_cast<const clap_event_param_gesture_t*>(e);
                         self.events.push_back({e->type, g->param_id, 0.0});
                     }
                     return true;
                 }};
        return &list_;
    }

private:
    clap_output_events_t list_{};
};

class Instance {
public:
    Instance(const Library& library, Host& host) : host_(host) {
        const clap_plugin_factory_t& f = library.factory();
        plugin_ = f.create_plugin(&f, host.clap(), library.descriptor()->id);
        if (!plugin_ || !plugin_->init(plugin_)) throw std::runtime_error("no instance");
        params = ext<clap_plugin_params_t>("clap.params");
        state = ext<clap_plugin_state_t>("clap.state");
        ports = ext<clap_plugin_audio_ports_t>("clap.audio-ports");
        configs = ext<clap_plugin_audio_ports_config_t>("clap.audio-ports-config");
        gui = ext<clap_plugin_gui_t>("clap.gui");
    }
    ~Instance() {
        stop();
        plugin_->destroy(plugin_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const clap_plugin_t* plugin() const { return plugin_; }
    template <class T>
    const T* ext(const char* id) const {
        return static_cast<const T*>(plugin_->get_extension(plugin_, id));
    }

    // Selects the layout with this many input channels and starts processing.
    bool start(double rate, int inputs, std::uint32_t maxFrames = 4096) {
        for (std::uint32_t i = 0; i < configs->count(plugin_); ++i) {
            clap_audio_ports_config_t c{};
            if (configs->get(plugin_, i, &c) &&
                c.main_input_channel_count == static_cast<std::uint32_t>(inputs) &&
                !configs->select(plugin_, c.id))
                return false;
        }
        inputs_ = inputs;
        if (!plugin_->activate(plugin_, rate, 1, maxFrames)) return false;
        active_ = true;
        host_.inAudio = true;
        const bool started = plugin_->start_processing(plugin_);
        host_.inAudio = false;
        return started;
    }
    void stop() {
        if (!active_) return;
        host_.inAudio = true;
        plugin_->stop_processing(plugin_);
        host_.inAudio = false;
        plugin_->deactivate(plugin_);
        active_ = false;
    }

    // One process call of frames from in at offset into out (at outOffset, or the
    // same offset), with events.
    int32_t process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                    std::size_t offset, std::uint32_t frames, InEvents& events,
                    OutEvents* sent = nullptr, std::optional<std::size_t> outOffset = {}) {
        const std::size_t at = outOffset.value_or(offset);
        float* inPointers[2] = {in[0].data() + offset, in[in.size() - 1].data() + offset};
        float* outPointers[2] = {out[0].data() + at, out[1].data() + at};
        clap_audio_buffer_t inBus{inPointers, nullptr, static_cast<uint32_t>(inputs_), 0, 0};
        clap_audio_buffer_t outBus{outPointers, nullptr, 2, 0, 0};
        OutEvents ignored;
        clap_process_t p{};
        p.steady_time = steady_;
        p.frames_count = frames;
        p.audio_inputs = &inBus;
        p.audio_outputs = &outBus;
        p.audio_inputs_count = p.audio_outputs_count = 1;
        p.in_events = events.clap();
        p.out_events = (sent ? sent : &ignored)->clap();
        host_.inAudio = true;
        const int32_t status = plugin_->process(plugin_, &p);
        host_.inAudio = false;
        steady_ += frames;
        return status;
    }

    // Renders in with blocks of the given sizes in turn, each also cut wherever
    // cutAt says, with changes at their frames; out is stereo, as long as in.
    std::vector<std::vector<float>> render(std::vector<std::vector<float>> in,
                                           const std::vector<std::uint32_t>& blocks,
                                           const std::vector<Change>& changes,
                                           const std::vector<std::int64_t>& cutAt = {}) {
        const auto total = static_cast<std::int64_t>(in[0].size());
        std::vector<std::int64_t> bounds = {0};
        for (std::size_t b = 0; bounds.back() < total; ++b)
            bounds.push_back(
                std::min<std::int64_t>(total, bounds.back() + blocks[b % blocks.size()]));
        for (std::int64_t cut : cutAt)
            if (cut > 0 && cut < total) bounds.push_back(cut);
        std::sort(bounds.begin(), bounds.end());
        bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
        std::vector<std::vector<float>> out(2, std::vector<float>(in[0].size()));
        for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
            const std::int64_t begin = bounds[i], end = bounds[i + 1];
            InEvents events;
            for (const Change& c : changes)
                if (c.frame >= begin && c.frame < end)
                    events.add(static_cast<std::uint32_t>(c.frame - begin), c.id, c.value);
            process(in, out, static_cast<std::size_t>(begin),
                    static_cast<std::uint32_t>(end - begin), events);
        }
        return out;
    }

    // The parameter's ID by its name; throws when there is none.
    std::uint32_t idOf(const std::string& name) const {
        for (std::uint32_t i = 0; i < params->count(plugin_); ++i) {
            clap_param_info_t info{};
            if (params->get_info(plugin_, i, &info) && name == info.name) return info.id;
        }
        throw std::runtime_error("no parameter " + name);
    }
    double fromText(std::uint32_t id, const char* text) const {
        double value = 0.0;
        if (!params->text_to_value(plugin_, id, text, &value))
            throw std::runtime_error(std::string("no value for ") + text);
        return value;
    }
    double value(std::uint32_t id) const {
        double v = 0.0;
        params->get_value(plugin_, id, &v);
        return v;
    }
    std::vector<double> values() const {
        std::vector<double> all;
        for (std::uint32_t i = 0; i < params->count(plugin_); ++i) {
            clap_param_info_t info{};
            params->get_info(plugin_, i, &info);
            all.push_back(value(info.id));
        }
        return all;
    }

    std::vector<std::uint8_t> save() const {
        std::vector<std::uint8_t> bytes;
        clap_ostream_t stream{&bytes, [](const clap_ostream_t* s, const void* data, uint64_t n) {
                                  auto& b = *static_cast<std::vector<std::uint8_t>*>(s->ctx);
                                  // A host that takes at most 7 bytes a call.
                                  const uint64_t taken = std::min<uint64_t>(n, 7);
                                  const auto* p = static_cast<const std::uint8_t*>(data);
                                  b.insert(b.end(), p, p + taken);
                                  return static_cast<int64_t>(taken);
                              }};
        if (!state->save(plugin_, &stream)) throw std::runtime_error("state save failed");
        return bytes;
    }
    bool load(const std::vector<std::uint8_t>& bytes, bool failRead = false) {
        struct Reader {
            const std::vector<std::uint8_t>* bytes;
            std::size_t at;
            bool fail;
        } reader{&bytes, 0, failRead};
        clap_istream_t stream{&reader, [](const clap_istream_t* s, void* data, uint64_t n) {
                                  auto& r = *static_cast<Reader*>(s->ctx);
                                  if (r.fail && r.at > 0) return int64_t{-1};
                                  // A host that hands out at most 5 bytes a call.
                                  const std::size_t taken = std::min<std::size_t>(
                                      {static_cast<std::size_t>(n), 5, r.bytes->size() - r.at});
                                  if (taken > 0) std::memcpy(data, r.bytes->data() + r.at, taken);
                                  r.at += taken;
                                  return static_cast<int64_t>(taken);
                              }};
        return state->load(plugin_, &stream);
    }

    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_state_t* state = nullptr;
    const clap_plugin_audio_ports_t* ports = nullptr;
    const clap_plugin_audio_ports_config_t* configs = nullptr;
    const clap_plugin_gui_t* gui = nullptr;

private:
    Host& host_;
    const clap_plugin_t* plugin_ = nullptr;
    int inputs_ = 2;
    bool active_ = false;
    std::int64_t steady_ = 0;
};

} // namespace claptest
