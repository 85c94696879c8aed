#pragma once
// The CLAP plug-in interface as this framework declares it: plain C structs of
// function pointers, laid out as the published ABI lays them out (version 1.2).
// Only what the adapter uses is declared. The comment on each call names the
// thread a host makes it on; [audio] calls must neither allocate nor lock.

#include <cstdint>

namespace corvid::clap {

extern "C" {

using clap_id = std::uint32_t;
inline constexpr clap_id kInvalidId = UINT32_MAX;
inline constexpr std::uint32_t kNameSize = 256;
inline constexpr std::uint32_t kPathSize = 1024;

struct clap_version_t {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t revision;
};
inline constexpr clap_version_t kClapVersion = {1, 2, 2};

// ---- the host

struct clap_host {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    // [thread-safe]
    const void* (*get_extension)(const clap_host* host, const char* extension_id);
    // [thread-safe]
    void (*request_restart)(const clap_host* host);
    void (*request_process)(const clap_host* host);
    void (*request_callback)(const clap_host* host);
};

// ---- events

struct clap_event_header {
    std::uint32_t size; // of the whole event, header included
    std::uint32_t time; // frame within the block
    std::uint16_t space_id;
    std::uint16_t type;
    std::uint32_t flags;
};
inline constexpr std::uint16_t kCoreEventSpace = 0;
inline constexpr std::uint32_t kEventIsLive = 1u << 0;
inline constexpr std::uint32_t kEventDontRecord = 1u << 1;

enum : std::uint16_t {
    kEventNoteOn = 0,
    kEventNoteOff = 1,
    kEventNoteChoke = 2,
    kEventNoteEnd = 3,
    kEventNoteExpression = 4,
    kEventParamValue = 5,
    kEventParamMod = 6,
    kEventParamGestureBegin = 7,
    kEventParamGestureEnd = 8,
    kEventTransport = 9,
    kEventMidi = 10,
    kEventMidiSysex = 11,
    kEventMidi2 = 12,
};

struct clap_event_param_value {
    clap_event_header header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id; // -1: every note
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double value; // plain, within the parameter's min and max
};

struct clap_event_param_gesture {
    clap_event_header header;
    clap_id param_id;
};

using clap_beattime = std::int64_t;
using clap_sectime = std::int64_t;
struct clap_event_transport {
    clap_event_header header;
    std::uint32_t flags;
    clap_beattime song_pos_beats;
    clap_sectime song_pos_seconds;
    double tempo;
    double tempo_inc;
    clap_beattime loop_start_beats;
    clap_beattime loop_end_beats;
    clap_sectime loop_start_seconds;
    clap_sectime loop_end_seconds;
    clap_beattime bar_start;
    std::int32_t bar_number;
    std::uint16_t tsig_num;
    std::uint16_t tsig_denom;
};
inline constexpr std::uint32_t kTransportHasTempo = 1u << 0;
inline constexpr std::uint32_t kTransportHasSecondsTimeline = 1u << 2;
inline constexpr std::uint32_t kTransportIsPlaying = 1u << 4;
inline constexpr std::int64_t kSecTimeFactor = 1ll << 31;

struct clap_input_events {
    void* ctx;
    std::uint32_t (*size)(const clap_input_events* list);
    const clap_event_header* (*get)(const clap_input_events* list, std::uint32_t index);
};

struct clap_output_events {
    void* ctx;
    // False when the host has no room for it.
    bool (*try_push)(const clap_output_events* list, const clap_event_header* event);
};

// ---- processing

struct clap_audio_buffer {
    float** data32;
    double** data64;
    std::uint32_t channel_count;
    std::uint32_t latency;
    std::uint64_t constant_mask;
};

struct clap_process {
    std::int64_t steady_time; // -1 when the host has none
    std::uint32_t frames_count;
    const clap_event_transport* transport; // null when free-running
    const clap_audio_buffer* audio_inputs;
    clap_audio_buffer* audio_outputs;
    std::uint32_t audio_inputs_count;
    std::uint32_t audio_outputs_count;
    const clap_input_events* in_events;
    const clap_output_events* out_events;
};

using clap_process_status = std::int32_t;
enum : clap_process_status {
    kProcessError = 0,
    kProcessContinue = 1,
    kProcessContinueIfNotQuiet = 2,
    kProcessTail = 3,
    kProcessSleep = 4,
};

// ---- the plug-in

struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features; // null-terminated
};

struct clap_plugin {
    const clap_plugin_descriptor* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin* plugin);    // [main]
    void (*destroy)(const clap_plugin* plugin); // [main]
    bool (*activate)(const clap_plugin* plugin, double sample_rate, std::uint32_t min_frames,
                     std::uint32_t max_frames);          // [main]
    void (*deactivate)(const clap_plugin* plugin);       // [main]
    bool (*start_processing)(const clap_plugin* plugin); // [audio]
    void (*stop_processing)(const clap_plugin* plugin);  // [audio]
    void (*reset)(const clap_plugin* plugin);            // [audio]
    clap_process_status (*process)(const clap_plugin* plugin,
                                   const clap_process* process);             // [audio]
    const void* (*get_extension)(const clap_plugin* plugin, const char* id); // [thread-safe]
    void (*on_main_thread)(const clap_plugin* plugin);                       // [main]
};

inline constexpr const char* kPluginFactoryId = "clap.plugin-factory";
struct clap_plugin_factory {
    // [thread-safe]
    std::uint32_t (*get_plugin_count)(const clap_plugin_factory* factory);
    const clap_plugin_descriptor* (*get_plugin_descriptor)(const clap_plugin_factory* factory,
                                                           std::uint32_t index);
    // [main]
    const clap_plugin* (*create_plugin)(const clap_plugin_factory* factory, const clap_host* host,
                                        const char* plugin_id);
};

struct clap_plugin_entry {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

inline constexpr const char* kFeatureAudioEffect = "audio-effect";
inline constexpr const char* kFeatureStereo = "stereo";

// ---- audio-ports and audio-ports-config

inline constexpr const char* kExtAudioPorts = "clap.audio-ports";
inline constexpr const char* kPortMono = "mono";
inline constexpr const char* kPortStereo = "stereo";
inline constexpr std::uint32_t kAudioPortIsMain = 1u << 0;

struct clap_audio_port_info {
    clap_id id;
    char name[kNameSize];
    std::uint32_t flags;
    std::uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
};

struct clap_plugin_audio_ports {
    std::uint32_t (*count)(const clap_plugin* plugin, bool is_input); // [main]
    bool (*get)(const clap_plugin* plugin, std::uint32_t index, bool is_input,
                clap_audio_port_info* info); // [main]
};

inline constexpr std::uint32_t kAudioPortsRescanList = 1u << 4;
struct clap_host_audio_ports {
    bool (*is_rescan_flag_supported)(const clap_host* host, std::uint32_t flag); // [main]
    void (*rescan)(const clap_host* host, std::uint32_t flags);                  // [main]
};

inline constexpr const char* kExtAudioPortsConfig = "clap.audio-ports-config";
struct clap_audio_ports_config {
    clap_id id;
    char name[kNameSize];
    std::uint32_t input_port_count;
    std::uint32_t output_port_count;
    bool has_main_input;
    std::uint32_t main_input_channel_count;
    const char* main_input_port_type;
    bool has_main_output;
    std::uint32_t main_output_channel_count;
    const char* main_output_port_type;
};

struct clap_plugin_audio_ports_config {
    std::uint32_t (*count)(const clap_plugin* plugin); // [main]
    bool (*get)(const clap_plugin* plugin, std::uint32_t index,
                clap_audio_ports_config* config); // [main]
    // [main, while deactivated]
    bool (*select)(const clap_plugin* plugin, clap_id config_id);
};

// ---- params

inline constexpr const char* kExtParams = "clap.params";
enum : std::uint32_t {
    kParamIsStepped = 1u << 0,
    kParamIsPeriodic = 1u << 1,
    kParamIsHidden = 1u << 2,
    kParamIsReadonly = 1u << 3,
    kParamIsBypass = 1u << 4,
    kParamIsAutomatable = 1u << 5,
    kParamRequiresProcess = 1u << 15,
    kParamIsEnum = 1u << 16,
};

struct clap_param_info {
    clap_id id;
    std::uint32_t flags;
    void* cookie;
    char name[kNameSize];
    char module[kPathSize];
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params {
    std::uint32_t (*count)(const clap_plugin* plugin); // [main]
    bool (*get_info)(const clap_plugin* plugin, std::uint32_t param_index,
                     clap_param_info* param_info);                                     // [main]
    bool (*get_value)(const clap_plugin* plugin, clap_id param_id, double* out_value); // [main]
    bool (*value_to_text)(const clap_plugin* plugin, clap_id param_id, double value,
                          char* out_buffer, std::uint32_t out_buffer_capacity); // [main]
    bool (*text_to_value)(const clap_plugin* plugin, clap_id param_id, const char* param_value_text,
                          double* out_value); // [main]
    // [active ? audio : main], never at the same time as process
    void (*flush)(const clap_plugin* plugin, const clap_input_events* in,
                  const clap_output_events* out);
};

inline constexpr std::uint32_t kParamRescanValues = 1u << 0;
struct clap_host_params {
    void (*rescan)(const clap_host* host, std::uint32_t flags);                  // [main]
    void (*clear)(const clap_host* host, clap_id param_id, std::uint32_t flags); // [main]
    // [thread-safe, not audio]: the host calls process or flush soon.
    void (*request_flush)(const clap_host* host);
};

// ---- state

inline constexpr const char* kExtState = "clap.state";
struct clap_istream {
    void* ctx;
    // Bytes read; 0 at the end, -1 on error.
    std::int64_t (*read)(const clap_istream* stream, void* buffer, std::uint64_t size);
};
struct clap_ostream {
    void* ctx;
    // Bytes written (possibly fewer than asked), -1 on error.
    std::int64_t (*write)(const clap_ostream* stream, const void* buffer, std::uint64_t size);
};
struct clap_plugin_state {
    bool (*save)(const clap_plugin* plugin, const clap_ostream* stream); // [main]
    bool (*load)(const clap_plugin* plugin, const clap_istream* stream); // [main]
};
struct clap_host_state {
    void (*mark_dirty)(const clap_host* host); // [main]
};

// ---- latency, tail, render

inline constexpr const char* kExtLatency = "clap.latency";
struct clap_plugin_latency {
    std::uint32_t (*get)(const clap_plugin* plugin); // [main, while activating or active]
};
struct clap_host_latency {
    void (*changed)(const clap_host* host); // [main]
};

inline constexpr const char* kExtTail = "clap.tail";
struct clap_plugin_tail {
    std::uint32_t (*get)(const clap_plugin* plugin); // [main, audio]
};

inline constexpr const char* kExtRender = "clap.render";
enum : std::int32_t { kRenderRealtime = 0, kRenderOffline = 1 };
struct clap_plugin_render {
    bool (*has_hard_realtime_requirement)(const clap_plugin* plugin); // [main]
    bool (*set)(const clap_plugin* plugin, std::int32_t mode);        // [main]
};

// ---- thread-check

inline constexpr const char* kExtThreadCheck = "clap.thread-check";
struct clap_host_thread_check {
    bool (*is_main_thread)(const clap_host* host);  // [thread-safe]
    bool (*is_audio_thread)(const clap_host* host); // [thread-safe]
};

// ---- gui, timers and descriptors

inline constexpr const char* kExtGui = "clap.gui";
inline constexpr const char* kWindowApiWin32 = "win32";
inline constexpr const char* kWindowApiX11 = "x11";

struct clap_window {
    const char* api;
    union {
        void* cocoa;
        unsigned long x11;
        void* win32;
        void* ptr;
    };
};

struct clap_gui_resize_hints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    std::uint32_t aspect_ratio_width;
    std::uint32_t aspect_ratio_height;
};

// Every call [main].
struct clap_plugin_gui {
    bool (*is_api_supported)(const clap_plugin* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin* plugin);
    bool (*set_scale)(const clap_plugin* plugin, double scale);
    bool (*get_size)(const clap_plugin* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*can_resize)(const clap_plugin* plugin);
    bool (*get_resize_hints)(const clap_plugin* plugin, clap_gui_resize_hints* hints);
    bool (*adjust_size)(const clap_plugin* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*set_size)(const clap_plugin* plugin, std::uint32_t width, std::uint32_t height);
    bool (*set_parent)(const clap_plugin* plugin, const clap_window* window);
    bool (*set_transient)(const clap_plugin* plugin, const clap_window* window);
    void (*suggest_title)(const clap_plugin* plugin, const char* title);
    bool (*show)(const clap_plugin* plugin);
    bool (*hide)(const clap_plugin* plugin);
};

struct clap_host_gui {
    void (*resize_hints_changed)(const clap_host* host);
    bool (*request_resize)(const clap_host* host, std::uint32_t width, std::uint32_t height);
    bool (*request_show)(const clap_host* host);
    bool (*request_hide)(const clap_host* host);
    void (*closed)(const clap_host* host, bool was_destroyed);
};

inline constexpr const char* kExtTimerSupport = "clap.timer-support";
struct clap_plugin_timer_support {
    void (*on_timer)(const clap_plugin* plugin, clap_id timer_id); // [main]
};
struct clap_host_timer_support {
    bool (*register_timer)(const clap_host* host, std::uint32_t period_ms, clap_id* timer_id);
    bool (*unregister_timer)(const clap_host* host, clap_id timer_id);
};

inline constexpr const char* kExtPosixFdSupport = "clap.posix-fd-support";
enum : std::uint32_t { kFdRead = 1u << 0, kFdWrite = 1u << 1, kFdError = 1u << 2 };
struct clap_plugin_posix_fd_support {
    void (*on_fd)(const clap_plugin* plugin, int fd, std::uint32_t flags); // [main]
};
struct clap_host_posix_fd_support {
    bool (*register_fd)(const clap_host* host, int fd, std::uint32_t flags);
    bool (*modify_fd)(const clap_host* host, int fd, std::uint32_t flags);
    bool (*unregister_fd)(const clap_host* host, int fd);
};

} // extern "C"

} // namespace corvid::clap
