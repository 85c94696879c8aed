/* The CLAP interface as the test host reads it: plain C declarations written
 * apart from the adapter's, so the library is held to a second reading of the
 * ABI rather than to its own. Only what the test host uses. */
#ifndef SPATIUM_TESTS_CLAP_C_H
#define SPATIUM_TESTS_CLAP_C_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    uint32_t major, minor, revision;
} clap_version_t;

typedef struct clap_host clap_host_t;
struct clap_host {
    clap_version_t clap_version;
    void* host_data;
    const char *name, *vendor, *url, *version;
    const void* (*get_extension)(const clap_host_t*, const char*);
    void (*request_restart)(const clap_host_t*);
    void (*request_process)(const clap_host_t*);
    void (*request_callback)(const clap_host_t*);
};

typedef struct {
    uint32_t size, time;
    uint16_t space_id, type;
    uint32_t flags;
} clap_event_header_t;

enum { EV_PARAM_VALUE = 5, EV_GESTURE_BEGIN = 7, EV_GESTURE_END = 8 };

typedef struct {
    clap_event_header_t header;
    uint32_t param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index, channel, key;
    double value;
} clap_event_param_value_t;

typedef struct {
    clap_event_header_t header;
    uint32_t param_id;
} clap_event_param_gesture_t;

typedef struct clap_input_events clap_input_events_t;
struct clap_input_events {
    void* ctx;
    uint32_t (*size)(const clap_input_events_t*);
    const clap_event_header_t* (*get)(const clap_input_events_t*, uint32_t);
};
typedef struct clap_output_events clap_output_events_t;
struct clap_output_events {
    void* ctx;
    bool (*try_push)(const clap_output_events_t*, const clap_event_header_t*);
};

typedef struct {
    float** data32;
    double** data64;
    uint32_t channel_count, latency;
    uint64_t constant_mask;
} clap_audio_buffer_t;

typedef struct {
    int64_t steady_time;
    uint32_t frames_count;
    const void* transport;
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count, audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
} clap_process_t;

typedef struct {
    clap_version_t clap_version;
    const char *id, *name, *vendor, *url, *manual_url, *support_url, *version, *description;
    const char* const* features;
} clap_plugin_descriptor_t;

typedef struct clap_plugin clap_plugin_t;
struct clap_plugin {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin_t*);
    void (*destroy)(const clap_plugin_t*);
    bool (*activate)(const clap_plugin_t*, double, uint32_t, uint32_t);
    void (*deactivate)(const clap_plugin_t*);
    bool (*start_processing)(const clap_plugin_t*);
    void (*stop_processing)(const clap_plugin_t*);
    void (*reset)(const clap_plugin_t*);
    int32_t (*process)(const clap_plugin_t*, const clap_process_t*);
    const void* (*get_extension)(const clap_plugin_t*, const char*);
    void (*on_main_thread)(const clap_plugin_t*);
};

typedef struct clap_plugin_factory clap_plugin_factory_t;
struct clap_plugin_factory {
    uint32_t (*get_plugin_count)(const clap_plugin_factory_t*);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t*,
                                                             uint32_t);
    const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t*, const clap_host_t*,
                                          const char*);
};

typedef struct {
    clap_version_t clap_version;
    bool (*init)(const char*);
    void (*deinit)(void);
    const void* (*get_factory)(const char*);
} clap_plugin_entry_t;

typedef struct {
    uint32_t id;
    char name[256];
    uint32_t flags, channel_count;
    const char* port_type;
    uint32_t in_place_pair;
} clap_audio_port_info_t;
typedef struct {
    uint32_t (*count)(const clap_plugin_t*, bool);
    bool (*get)(const clap_plugin_t*, uint32_t, bool, clap_audio_port_info_t*);
} clap_plugin_audio_ports_t;

typedef struct {
    uint32_t id;
    char name[256];
    uint32_t input_port_count, output_port_count;
    bool has_main_input;
    uint32_t main_input_channel_count;
    const char* main_input_port_type;
    bool has_main_output;
    uint32_t main_output_channel_count;
    const char* main_output_port_type;
} clap_audio_ports_config_t;
typedef struct {
    uint32_t (*count)(const clap_plugin_t*);
    bool (*get)(const clap_plugin_t*, uint32_t, clap_audio_ports_config_t*);
    bool (*select)(const clap_plugin_t*, uint32_t);
} clap_plugin_audio_ports_config_t;

enum {
    PARAM_STEPPED = 1 << 0,
    PARAM_HIDDEN = 1 << 2,
    PARAM_AUTOMATABLE = 1 << 5,
    PARAM_ENUM = 1 << 16
};
typedef struct {
    uint32_t id, flags;
    void* cookie;
    char name[256];
    char module[1024];
    double min_value, max_value, default_value;
} clap_param_info_t;
typedef struct {
    uint32_t (*count)(const clap_plugin_t*);
    bool (*get_info)(const clap_plugin_t*, uint32_t, clap_param_info_t*);
    bool (*get_value)(const clap_plugin_t*, uint32_t, double*);
    bool (*value_to_text)(const clap_plugin_t*, uint32_t, double, char*, uint32_t);
    bool (*text_to_value)(const clap_plugin_t*, uint32_t, const char*, double*);
    void (*flush)(const clap_plugin_t*, const clap_input_events_t*, const clap_output_events_t*);
} clap_plugin_params_t;
typedef struct {
    void (*rescan)(const clap_host_t*, uint32_t);
    void (*clear)(const clap_host_t*, uint32_t, uint32_t);
    void (*request_flush)(const clap_host_t*);
} clap_host_params_t;

typedef struct clap_istream clap_istream_t;
struct clap_istream {
    void* ctx;
    int64_t (*read)(const clap_istream_t*, void*, uint64_t);
};
typedef struct clap_ostream clap_ostream_t;
struct clap_ostream {
    void* ctx;
    int64_t (*write)(const clap_ostream_t*, const void*, uint64_t);
};
typedef struct {
    bool (*save)(const clap_plugin_t*, const clap_ostream_t*);
    bool (*load)(const clap_plugin_t*, const clap_istream_t*);
} clap_plugin_state_t;

typedef struct {
    uint32_t (*get)(const clap_plugin_t*);
} clap_plugin_latency_t, clap_plugin_tail_t;

typedef struct {
    bool (*has_hard_realtime_requirement)(const clap_plugin_t*);
    bool (*set)(const clap_plugin_t*, int32_t);
} clap_plugin_render_t;

typedef struct {
    bool (*is_main_thread)(const clap_host_t*);
    bool (*is_audio_thread)(const clap_host_t*);
} clap_host_thread_check_t;

typedef struct {
    const char* api;
    union {
        void* cocoa;
        unsigned long x11;
        void* win32;
        void* ptr;
    } handle;
} clap_window_t;
typedef struct {
    bool (*is_api_supported)(const clap_plugin_t*, const char*, bool);
    bool (*get_preferred_api)(const clap_plugin_t*, const char**, bool*);
    bool (*create)(const clap_plugin_t*, const char*, bool);
    void (*destroy)(const clap_plugin_t*);
    bool (*set_scale)(const clap_plugin_t*, double);
    bool (*get_size)(const clap_plugin_t*, uint32_t*, uint32_t*);
    bool (*can_resize)(const clap_plugin_t*);
    bool (*get_resize_hints)(const clap_plugin_t*, void*);
    bool (*adjust_size)(const clap_plugin_t*, uint32_t*, uint32_t*);
    bool (*set_size)(const clap_plugin_t*, uint32_t, uint32_t);
    bool (*set_parent)(const clap_plugin_t*, const clap_window_t*);
    bool (*set_transient)(const clap_plugin_t*, const clap_window_t*);
    void (*suggest_title)(const clap_plugin_t*, const char*);
    bool (*show)(const clap_plugin_t*);
    bool (*hide)(const clap_plugin_t*);
} clap_plugin_gui_t;

typedef struct {
    void (*on_timer)(const clap_plugin_t*, uint32_t);
} clap_plugin_timer_support_t;
typedef struct {
    bool (*register_timer)(const clap_host_t*, uint32_t, uint32_t*);
    bool (*unregister_timer)(const clap_host_t*, uint32_t);
} clap_host_timer_support_t;
typedef struct {
    void (*on_fd)(const clap_plugin_t*, int, uint32_t);
} clap_plugin_posix_fd_support_t;
typedef struct {
    bool (*register_fd)(const clap_host_t*, int, uint32_t);
    bool (*modify_fd)(const clap_host_t*, int, uint32_t);
    bool (*unregister_fd)(const clap_host_t*, int);
} clap_host_posix_fd_support_t;

#ifdef __cplusplus
}
#endif

#endif
