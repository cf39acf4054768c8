#pragma once
// Our own declarations of the CLAP 1.x C interface, written from its published
// documentation: only the records, identifiers and constants the Lumenfold binding and
// our test host use. Layouts are those of the C declarations on x86-64 (natural
// alignment); every function takes the record it belongs to as its first argument.

#include <cstdint>

extern "C" {

using clap_id = std::uint32_t;
constexpr clap_id kClapInvalidId = 0xffffffffu;
constexpr std::uint32_t kClapNameSize = 256;
constexpr std::uint32_t kClapPathSize = 1024;

struct clap_version_t {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t revision;
};
// The interface version this binding was written against.
constexpr clap_version_t kClapVersion{1, 1, 10};
// A host or plug-in of major version 1 speaks this interface.
constexpr bool clapVersionIsCompatible(const clap_version_t& v) { return v.major >= 1; }

struct clap_host_t {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
    void (*request_restart)(const clap_host_t* host);
    void (*request_process)(const clap_host_t* host);
    void (*request_callback)(const clap_host_t* host);
};

struct clap_plugin_descriptor_t {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;  // null-terminated
};

// Events.
constexpr std::uint16_t kClapCoreEventSpaceId = 0;
enum : std::uint16_t {
    CLAP_EVENT_NOTE_ON = 0,
    CLAP_EVENT_NOTE_OFF = 1,
    CLAP_EVENT_NOTE_CHOKE = 2,
    CLAP_EVENT_NOTE_END = 3,
    CLAP_EVENT_NOTE_EXPRESSION = 4,
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
    CLAP_EVENT_TRANSPORT = 9,
    CLAP_EVENT_MIDI = 10,
    CLAP_EVENT_MIDI_SYSEX = 11,
    CLAP_EVENT_MIDI2 = 12,
};
enum : std::uint32_t { CLAP_EVENT_IS_LIVE = 1u << 0, CLAP_EVENT_DONT_RECORD = 1u << 1 };

struct clap_event_header_t {
    std::uint32_t size;  // of the whole event, header included
    std::uint32_t time;  // sample offset within the block
    std::uint16_t space_id;
    std::uint16_t type;
    std::uint32_t flags;
};

struct clap_event_note_t {
    clap_event_header_t header;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double velocity;
};

struct clap_event_param_value_t {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double value;
};

struct clap_event_param_gesture_t {
    clap_event_header_t header;
    clap_id param_id;
};

struct clap_event_param_mod_t {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double amount;
};

struct clap_event_midi_t {
    clap_event_header_t header;
    std::uint16_t port_index;
    std::uint8_t data[3];
};

struct clap_input_events_t {
    void* ctx;
    std::uint32_t (*size)(const clap_input_events_t* list);
    const clap_event_header_t* (*get)(const clap_input_events_t* list, std::uint32_t index);
};

struct clap_output_events_t {
    void* ctx;
    bool (*try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// The host's transport: which fields hold a value is said by the flags only.
using clap_beattime = std::int64_t;
using clap_sectime = std::int64_t;
constexpr std::int64_t kClapBeatTimeFactor = std::int64_t{1} << 31;
constexpr std::int64_t kClapSecTimeFactor = std::int64_t{1} << 31;
enum : std::uint32_t {
    CLAP_TRANSPORT_HAS_TEMPO = 1u << 0,
    CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 1u << 1,
    CLAP_TRANSPORT_HAS_SECONDS_TIMELINE = 1u << 2,
    CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 1u << 3,
    CLAP_TRANSPORT_IS_PLAYING = 1u << 4,
    CLAP_TRANSPORT_IS_RECORDING = 1u << 5,
    CLAP_TRANSPORT_IS_LOOP_ACTIVE = 1u << 6,
    CLAP_TRANSPORT_IS_WITHIN_PRE_ROLL = 1u << 7,
};
struct clap_event_transport_t {
    clap_event_header_t header;
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

struct clap_audio_buffer_t {
    float** data32;
    double** data64;
    std::uint32_t channel_count;
    std::uint32_t latency;
    std::uint64_t constant_mask;
};

struct clap_process_t {
    std::int64_t steady_time;
    std::uint32_t frames_count;
    const clap_event_transport_t* transport;
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    std::uint32_t audio_inputs_count;
    std::uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
};

using clap_process_status = std::int32_t;
enum : clap_process_status {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
    CLAP_PROCESS_TAIL = 3,
    CLAP_PROCESS_SLEEP = 4,
};

struct clap_plugin_t {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin_t* plugin);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*activate)(const clap_plugin_t* plugin, double sample_rate, std::uint32_t min_frames_count,
                     std::uint32_t max_frames_count);
    void (*deactivate)(const clap_plugin_t* plugin);
    bool (*start_processing)(const clap_plugin_t* plugin);
    void (*stop_processing)(const clap_plugin_t* plugin);
    void (*reset)(const clap_plugin_t* plugin);
    clap_process_status (*process)(const clap_plugin_t* plugin, const clap_process_t* process);
    const void* (*get_extension)(const clap_plugin_t* plugin, const char* id);
    void (*on_main_thread)(const clap_plugin_t* plugin);
};

inline constexpr char kClapPluginFactoryId[] = "clap.plugin-factory";

struct clap_plugin_factory_t {
    std::uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                             std::uint32_t index);
    const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                          const char* plugin_id);
};

struct clap_plugin_entry_t {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

// Audio ports.
inline constexpr char kClapExtAudioPorts[] = "clap.audio-ports";
inline constexpr char kClapPortStereo[] = "stereo";
enum : std::uint32_t {
    CLAP_AUDIO_PORT_IS_MAIN = 1u << 0,
    CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1,
    CLAP_AUDIO_PORT_PREFERS_64BITS = 1u << 2,
    CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1u << 3,
};
// Extensions for other port layouts; the plug-in has one fixed stereo layout and offers none.
inline constexpr char kClapExtAudioPortsConfig[] = "clap.audio-ports-config";
inline constexpr char kClapExtConfigurableAudioPorts[] = "clap.configurable-audio-ports";
inline constexpr char kClapExtAudioPortsActivation[] = "clap.audio-ports-activation";
// A plug-in that answers CLAP_PROCESS_TAIL must offer this.
inline constexpr char kClapExtTail[] = "clap.tail";
struct clap_audio_port_info_t {
    clap_id id;
    char name[kClapNameSize];
    std::uint32_t flags;
    std::uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
};
struct clap_plugin_audio_ports_t {
    std::uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
    bool (*get)(const clap_plugin_t* plugin, std::uint32_t index, bool is_input, clap_audio_port_info_t* info);
};

// Note ports.
inline constexpr char kClapExtNotePorts[] = "clap.note-ports";
enum : std::uint32_t {
    CLAP_NOTE_DIALECT_CLAP = 1u << 0,
    CLAP_NOTE_DIALECT_MIDI = 1u << 1,
    CLAP_NOTE_DIALECT_MIDI_MPE = 1u << 2,
    CLAP_NOTE_DIALECT_MIDI2 = 1u << 3,
};
struct clap_note_port_info_t {
    clap_id id;
    std::uint32_t supported_dialects;
    std::uint32_t preferred_dialect;
    char name[kClapNameSize];
};
struct clap_plugin_note_ports_t {
    std::uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
    bool (*get)(const clap_plugin_t* plugin, std::uint32_t index, bool is_input, clap_note_port_info_t* info);
};

// Parameters.
inline constexpr char kClapExtParams[] = "clap.params";
enum : std::uint32_t {
    CLAP_PARAM_IS_STEPPED = 1u << 0,
    CLAP_PARAM_IS_PERIODIC = 1u << 1,
    CLAP_PARAM_IS_HIDDEN = 1u << 2,
    CLAP_PARAM_IS_READONLY = 1u << 3,
    CLAP_PARAM_IS_BYPASS = 1u << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
    CLAP_PARAM_IS_MODULATABLE = 1u << 10,
};
enum : std::uint32_t {
    CLAP_PARAM_RESCAN_VALUES = 1u << 0,
    CLAP_PARAM_RESCAN_TEXT = 1u << 1,
    CLAP_PARAM_RESCAN_INFO = 1u << 2,
    CLAP_PARAM_RESCAN_ALL = 1u << 3,
};
struct clap_param_info_t {
    clap_id id;
    std::uint32_t flags;
    void* cookie;
    char name[kClapNameSize];
    char module[kClapPathSize];
    double min_value;
    double max_value;
    double default_value;
};
struct clap_plugin_params_t {
    std::uint32_t (*count)(const clap_plugin_t* plugin);
    bool (*get_info)(const clap_plugin_t* plugin, std::uint32_t param_index, clap_param_info_t* param_info);
    bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
    bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                          std::uint32_t out_buffer_capacity);
    bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text,
                          double* out_value);
    void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
};
struct clap_host_params_t {
    void (*rescan)(const clap_host_t* host, std::uint32_t flags);
    void (*clear)(const clap_host_t* host, clap_id param_id, std::uint32_t flags);
    void (*request_flush)(const clap_host_t* host);
};

// State.
inline constexpr char kClapExtState[] = "clap.state";
struct clap_istream_t {
    void* ctx;
    std::int64_t (*read)(const clap_istream_t* stream, void* buffer, std::uint64_t size);
};
struct clap_ostream_t {
    void* ctx;
    std::int64_t (*write)(const clap_ostream_t* stream, const void* buffer, std::uint64_t size);
};
struct clap_plugin_state_t {
    bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};
struct clap_host_state_t {
    void (*mark_dirty)(const clap_host_t* host);
};

// Latency.
inline constexpr char kClapExtLatency[] = "clap.latency";
struct clap_plugin_latency_t {
    std::uint32_t (*get)(const clap_plugin_t* plugin);
};
struct clap_host_latency_t {
    void (*changed)(const clap_host_t* host);
};

// Editor.
inline constexpr char kClapExtGui[] = "clap.gui";
inline constexpr char kClapWindowApiX11[] = "x11";
struct clap_window_t {
    const char* api;
    union {
        void* cocoa;
        unsigned long x11;
        void* win32;
        void* ptr;
    };
};
struct clap_gui_resize_hints_t {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    std::uint32_t aspect_ratio_width;
    std::uint32_t aspect_ratio_height;
};
struct clap_plugin_gui_t {
    bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*set_scale)(const clap_plugin_t* plugin, double scale);
    bool (*get_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*can_resize)(const clap_plugin_t* plugin);
    bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    bool (*adjust_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*set_size)(const clap_plugin_t* plugin, std::uint32_t width, std::uint32_t height);
    bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
    bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
    void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
    bool (*show)(const clap_plugin_t* plugin);
    bool (*hide)(const clap_plugin_t* plugin);
};

// Timers on the host's main thread.
inline constexpr char kClapExtTimerSupport[] = "clap.timer-support";
struct clap_plugin_timer_support_t {
    void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};
struct clap_host_timer_support_t {
    bool (*register_timer)(const clap_host_t* host, std::uint32_t period_ms, clap_id* timer_id);
    bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);
};

// Which thread the host says a call comes on.
inline constexpr char kClapExtThreadCheck[] = "clap.thread-check";
struct clap_host_thread_check_t {
    bool (*is_main_thread)(const clap_host_t* host);
    bool (*is_audio_thread)(const clap_host_t* host);
};

// Realtime or offline rendering.
inline constexpr char kClapExtRender[] = "clap.render";
using clap_plugin_render_mode = std::int32_t;
enum : clap_plugin_render_mode { CLAP_RENDER_REALTIME = 0, CLAP_RENDER_OFFLINE = 1 };
struct clap_plugin_render_t {
    bool (*has_hard_realtime_requirement)(const clap_plugin_t* plugin);
    bool (*set)(const clap_plugin_t* plugin, clap_plugin_render_mode mode);
};

// Preset discovery: a factory of providers, each declaring where presets are and, asked
// for a location, every preset in it with its metadata. The older identifier names the
// same layout.
inline constexpr char kClapPresetDiscoveryFactoryId[] = "clap.preset-discovery-factory/2";
inline constexpr char kClapPresetDiscoveryFactoryIdCompat[] = "clap.preset-discovery-factory/draft-2";
using clap_timestamp_t = std::uint64_t;
constexpr clap_timestamp_t kClapTimestampUnknown = 0;
// Where presets live: files, or the plug-in itself (location then null).
enum : std::uint32_t { CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1 };
enum : std::uint32_t {
    CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1u << 0,
    CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1u << 1,
    CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1u << 2,
    CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1u << 3,
};
struct clap_universal_plugin_id_t {
    const char* abi;  // "clap" for a CLAP plug-in id
    const char* id;
};
struct clap_preset_discovery_metadata_receiver_t {
    void* receiver_data;
    void (*on_error)(const clap_preset_discovery_metadata_receiver_t* receiver, std::int32_t os_error,
                     const char* error_message);
    // False: the provider stops calling the receiver.
    bool (*begin_preset)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* name,
                         const char* load_key);
    void (*add_plugin_id)(const clap_preset_discovery_metadata_receiver_t* receiver,
                          const clap_universal_plugin_id_t* plugin_id);
    void (*set_soundpack_id)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* soundpack_id);
    void (*set_flags)(const clap_preset_discovery_metadata_receiver_t* receiver, std::uint32_t flags);
    void (*add_creator)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* creator);
    void (*set_description)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* description);
    void (*set_timestamps)(const clap_preset_discovery_metadata_receiver_t* receiver, clap_timestamp_t creation_time,
                           clap_timestamp_t modification_time);
    void (*add_feature)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* feature);
    void (*add_extra_info)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* key,
                           const char* value);
};
struct clap_preset_discovery_filetype_t {
    const char* name;
    const char* description;
    const char* file_extension;
};
struct clap_preset_discovery_location_t {
    std::uint32_t flags;
    const char* name;
    std::uint32_t kind;
    const char* location;
};
struct clap_preset_discovery_soundpack_t;
struct clap_preset_discovery_provider_descriptor_t {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
};
struct clap_preset_discovery_provider_t {
    const clap_preset_discovery_provider_descriptor_t* desc;
    void* provider_data;
    bool (*init)(const clap_preset_discovery_provider_t* provider);
    void (*destroy)(const clap_preset_discovery_provider_t* provider);
    bool (*get_metadata)(const clap_preset_discovery_provider_t* provider, std::uint32_t location_kind,
                         const char* location, const clap_preset_discovery_metadata_receiver_t* metadata_receiver);
    const void* (*get_extension)(const clap_preset_discovery_provider_t* provider, const char* extension_id);
};
struct clap_preset_discovery_indexer_t {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool (*declare_filetype)(const clap_preset_discovery_indexer_t* indexer,
                             const clap_preset_discovery_filetype_t* filetype);
    bool (*declare_location)(const clap_preset_discovery_indexer_t* indexer,
                             const clap_preset_discovery_location_t* location);
    bool (*declare_soundpack)(const clap_preset_discovery_indexer_t* indexer,
                              const clap_preset_discovery_soundpack_t* soundpack);
    const void* (*get_extension)(const clap_preset_discovery_indexer_t* indexer, const char* extension_id);
};
struct clap_preset_discovery_factory_t {
    std::uint32_t (*count)(const clap_preset_discovery_factory_t* factory);
    const clap_preset_discovery_provider_descriptor_t* (*get_descriptor)(const clap_preset_discovery_factory_t* factory,
                                                                         std::uint32_t index);
    const clap_preset_discovery_provider_t* (*create)(const clap_preset_discovery_factory_t* factory,
                                                      const clap_preset_discovery_indexer_t* indexer,
                                                      const char* provider_id);
};

// Loading a preset a discovery provider declared, by its location and load key.
inline constexpr char kClapExtPresetLoad[] = "clap.preset-load";
inline constexpr char kClapExtPresetLoadCompat[] = "clap.preset-load.draft/2";
struct clap_plugin_preset_load_t {
    bool (*from_location)(const clap_plugin_t* plugin, std::uint32_t location_kind, const char* location,
                          const char* load_key);
};
struct clap_host_preset_load_t {
    void (*on_error)(const clap_host_t* host, std::uint32_t location_kind, const char* location, const char* load_key,
                     std::int32_t os_error, const char* message);
    void (*loaded)(const clap_host_t* host, std::uint32_t location_kind, const char* location, const char* load_key);
};

}  // extern "C"
