// The CLAP extensions Tamblin offers or uses: audio and note ports, parameters, state, latency, render
// mode, preset loading, the editor window and the host's thread check, timers and file descriptors, at
// the interface's published layouts (CLAP 1.x), with their sizes and offsets checked at compile time.
#pragma once

#include "ClapEvents.h"

extern "C" {

// ---- audio-ports -------------------------------------------------------------------------------------
#define CLAP_EXT_AUDIO_PORTS "clap.audio-ports"
#define CLAP_PORT_MONO "mono"
#define CLAP_PORT_STEREO "stereo"

enum : uint32_t {
  CLAP_AUDIO_PORT_IS_MAIN = 1u << 0,
  CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1,
  CLAP_AUDIO_PORT_PREFERS_64BITS = 1u << 2,
  CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1u << 3,
};

struct clap_audio_port_info_t {
  clap_id id;
  char name[CLAP_NAME_SIZE];
  uint32_t flags;
  uint32_t channel_count;
  const char* port_type;  // CLAP_PORT_STEREO, ...
  clap_id in_place_pair;  // CLAP_INVALID_ID for none
};

struct clap_plugin_audio_ports_t {
  uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin, bool is_input);  // [main thread]
  bool(CLAP_ABI* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                      clap_audio_port_info_t* info);  // [main thread]
};

// ---- note-ports --------------------------------------------------------------------------------------
#define CLAP_EXT_NOTE_PORTS "clap.note-ports"

enum : uint32_t {
  CLAP_NOTE_DIALECT_CLAP = 1u << 0,
  CLAP_NOTE_DIALECT_MIDI = 1u << 1,
  CLAP_NOTE_DIALECT_MIDI_MPE = 1u << 2,
  CLAP_NOTE_DIALECT_MIDI2 = 1u << 3,
};

struct clap_note_port_info_t {
  clap_id id;
  uint32_t supported_dialects;
  uint32_t preferred_dialect;
  char name[CLAP_NAME_SIZE];
};

struct clap_plugin_note_ports_t {
  uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin, bool is_input);  // [main thread]
  bool(CLAP_ABI* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                      clap_note_port_info_t* info);  // [main thread]
};

// ---- params ----------------------------------------------------------------------------------------
#define CLAP_EXT_PARAMS "clap.params"

enum : uint32_t {
  CLAP_PARAM_IS_STEPPED = 1u << 0,
  CLAP_PARAM_IS_PERIODIC = 1u << 1,
  CLAP_PARAM_IS_HIDDEN = 1u << 2,
  CLAP_PARAM_IS_READONLY = 1u << 3,
  CLAP_PARAM_IS_BYPASS = 1u << 4,
  CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
  CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID = 1u << 6,
  CLAP_PARAM_IS_AUTOMATABLE_PER_KEY = 1u << 7,
  CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL = 1u << 8,
  CLAP_PARAM_IS_AUTOMATABLE_PER_PORT = 1u << 9,
  CLAP_PARAM_IS_MODULATABLE = 1u << 10,
  CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID = 1u << 11,
  CLAP_PARAM_IS_MODULATABLE_PER_KEY = 1u << 12,
  CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL = 1u << 13,
  CLAP_PARAM_IS_MODULATABLE_PER_PORT = 1u << 14,
  CLAP_PARAM_REQUIRES_PROCESS = 1u << 15,
  CLAP_PARAM_IS_ENUM = 1u << 16,
};
using clap_param_info_flags = uint32_t;

struct clap_param_info_t {
  clap_id id;
  clap_param_info_flags flags;
  void* cookie;
  char name[CLAP_NAME_SIZE];
  char module[CLAP_PATH_SIZE];  // '/'-separated path of the parameter's group
  double min_value;
  double max_value;
  double default_value;
};

struct clap_plugin_params_t {
  uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin);  // [main thread]
  bool(CLAP_ABI* get_info)(const clap_plugin_t* plugin, uint32_t param_index,
                           clap_param_info_t* param_info);  // [main thread]
  bool(CLAP_ABI* get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);  // [main thread]
  bool(CLAP_ABI* value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                                uint32_t out_buffer_capacity);  // [main thread]
  bool(CLAP_ABI* text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text,
                                double* out_value);  // [main thread]
  // [active and not processing: audio thread] [inactive: main thread]
  void(CLAP_ABI* flush)(const clap_plugin_t* plugin, const clap_input_events_t* in,
                        const clap_output_events_t* out);
};

enum : uint32_t {
  CLAP_PARAM_RESCAN_VALUES = 1u << 0,
  CLAP_PARAM_RESCAN_TEXT = 1u << 1,
  CLAP_PARAM_RESCAN_INFO = 1u << 2,
  CLAP_PARAM_RESCAN_ALL = 1u << 3,
};
using clap_param_rescan_flags = uint32_t;
using clap_param_clear_flags = uint32_t;

struct clap_host_params_t {
  void(CLAP_ABI* rescan)(const clap_host_t* host, clap_param_rescan_flags flags);  // [main thread]
  void(CLAP_ABI* clear)(const clap_host_t* host, clap_id param_id, clap_param_clear_flags flags);  // [main thread]
  void(CLAP_ABI* request_flush)(const clap_host_t* host);  // [thread-safe, not the audio thread]
};

// ---- state -----------------------------------------------------------------------------------------
#define CLAP_EXT_STATE "clap.state"

struct clap_plugin_state_t {
  bool(CLAP_ABI* save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);  // [main thread]
  bool(CLAP_ABI* load)(const clap_plugin_t* plugin, const clap_istream_t* stream);  // [main thread]
};

struct clap_host_state_t {
  void(CLAP_ABI* mark_dirty)(const clap_host_t* host);  // [main thread]
};

// ---- latency and render ------------------------------------------------------------------------------
#define CLAP_EXT_LATENCY "clap.latency"

struct clap_plugin_latency_t {
  uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);  // [main thread]
};

#define CLAP_EXT_RENDER "clap.render"

using clap_plugin_render_mode = int32_t;
enum : clap_plugin_render_mode {
  CLAP_RENDER_REALTIME = 0,
  CLAP_RENDER_OFFLINE = 1,
};

struct clap_plugin_render_t {
  bool(CLAP_ABI* has_hard_realtime_requirement)(const clap_plugin_t* plugin);           // [main thread]
  bool(CLAP_ABI* set)(const clap_plugin_t* plugin, clap_plugin_render_mode mode);       // [main thread]
};

// ---- thread-check (host) ---------------------------------------------------------------------------
#define CLAP_EXT_THREAD_CHECK "clap.thread-check"

struct clap_host_thread_check_t {
  bool(CLAP_ABI* is_main_thread)(const clap_host_t* host);   // [thread-safe]
  bool(CLAP_ABI* is_audio_thread)(const clap_host_t* host);  // [thread-safe]
};

// ---- timer-support and posix-fd-support ----------------------------------------------------------------
#define CLAP_EXT_TIMER_SUPPORT "clap.timer-support"

struct clap_plugin_timer_support_t {
  void(CLAP_ABI* on_timer)(const clap_plugin_t* plugin, clap_id timer_id);  // [main thread]
};

struct clap_host_timer_support_t {
  bool(CLAP_ABI* register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id);  // [main thread]
  bool(CLAP_ABI* unregister_timer)(const clap_host_t* host, clap_id timer_id);                      // [main thread]
};

#define CLAP_EXT_POSIX_FD_SUPPORT "clap.posix-fd-support"

using clap_posix_fd_flags_t = uint32_t;
enum : clap_posix_fd_flags_t {
  CLAP_POSIX_FD_READ = 1u << 0,
  CLAP_POSIX_FD_WRITE = 1u << 1,
  CLAP_POSIX_FD_ERROR = 1u << 2,
};

struct clap_plugin_posix_fd_support_t {
  void(CLAP_ABI* on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);  // [main thread]
};

struct clap_host_posix_fd_support_t {
  bool(CLAP_ABI* register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);  // [main thread]
  bool(CLAP_ABI* modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);    // [main thread]
  bool(CLAP_ABI* unregister_fd)(const clap_host_t* host, int fd);                             // [main thread]
};

// ---- gui -------------------------------------------------------------------------------------------
#define CLAP_EXT_GUI "clap.gui"
#define CLAP_WINDOW_API_WIN32 "win32"
#define CLAP_WINDOW_API_COCOA "cocoa"
#define CLAP_WINDOW_API_X11 "x11"
#define CLAP_WINDOW_API_WAYLAND "wayland"

struct clap_window_t {
  const char* api;  // CLAP_WINDOW_API_*
  union {
    void* cocoa;
    unsigned long x11;  // an X11 Window id
    void* win32;        // an HWND
    void* ptr;
  };
};

struct clap_gui_resize_hints_t {
  bool can_resize_horizontally;
  bool can_resize_vertically;
  bool preserve_aspect_ratio;
  uint32_t aspect_ratio_width;
  uint32_t aspect_ratio_height;
};

// Every entry: [main thread].
struct clap_plugin_gui_t {
  bool(CLAP_ABI* is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  bool(CLAP_ABI* get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
  bool(CLAP_ABI* create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  void(CLAP_ABI* destroy)(const clap_plugin_t* plugin);
  bool(CLAP_ABI* set_scale)(const clap_plugin_t* plugin, double scale);
  bool(CLAP_ABI* get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool(CLAP_ABI* can_resize)(const clap_plugin_t* plugin);
  bool(CLAP_ABI* get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
  bool(CLAP_ABI* adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool(CLAP_ABI* set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
  bool(CLAP_ABI* set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
  bool(CLAP_ABI* set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
  void(CLAP_ABI* suggest_title)(const clap_plugin_t* plugin, const char* title);
  bool(CLAP_ABI* show)(const clap_plugin_t* plugin);
  bool(CLAP_ABI* hide)(const clap_plugin_t* plugin);
};

struct clap_host_gui_t {
  void(CLAP_ABI* resize_hints_changed)(const clap_host_t* host);
  bool(CLAP_ABI* request_resize)(const clap_host_t* host, uint32_t width, uint32_t height);
  bool(CLAP_ABI* request_show)(const clap_host_t* host);
  bool(CLAP_ABI* request_hide)(const clap_host_t* host);
  void(CLAP_ABI* closed)(const clap_host_t* host, bool was_destroyed);
};

// ---- preset-load -------------------------------------------------------------------------------------
#define CLAP_EXT_PRESET_LOAD "clap.preset-load/2"
#define CLAP_EXT_PRESET_LOAD_COMPAT "clap.preset-load.draft/2"  // the same interface under its draft id

struct clap_plugin_preset_load_t {
  // [main thread] Loads the preset a discovery provider named by location kind, location and key.
  bool(CLAP_ABI* from_location)(const clap_plugin_t* plugin, uint32_t location_kind, const char* location,
                                const char* load_key);
};

struct clap_host_preset_load_t {
  void(CLAP_ABI* on_error)(const clap_host_t* host, uint32_t location_kind, const char* location,
                           const char* load_key, int32_t os_error, const char* msg);  // [main thread]
  void(CLAP_ABI* loaded)(const clap_host_t* host, uint32_t location_kind, const char* location,
                         const char* load_key);  // [main thread]
};

}  // extern "C"

static_assert(sizeof(clap_audio_port_info_t) == clapOffset(276, 288), "clap_audio_port_info_t layout");
static_assert(offsetof(clap_audio_port_info_t, flags) == 260 && offsetof(clap_audio_port_info_t, channel_count) == 264 &&
                  offsetof(clap_audio_port_info_t, port_type) == clapOffset(268, 272) &&
                  offsetof(clap_audio_port_info_t, in_place_pair) == clapOffset(272, 280),
              "clap_audio_port_info_t layout");
static_assert(sizeof(clap_note_port_info_t) == 268 && offsetof(clap_note_port_info_t, name) == 12,
              "clap_note_port_info_t layout");
static_assert(sizeof(clap_param_info_t) == 1320, "clap_param_info_t layout");
static_assert(offsetof(clap_param_info_t, cookie) == 8 && offsetof(clap_param_info_t, name) == clapOffset(12, 16) &&
                  offsetof(clap_param_info_t, module) == clapOffset(268, 272) &&
                  offsetof(clap_param_info_t, min_value) == 1296 && offsetof(clap_param_info_t, max_value) == 1304 &&
                  offsetof(clap_param_info_t, default_value) == 1312,
              "clap_param_info_t layout");
static_assert(sizeof(clap_plugin_params_t) == 6 * sizeof(void*), "clap_plugin_params_t layout");
static_assert(sizeof(clap_host_params_t) == 3 * sizeof(void*), "clap_host_params_t layout");
static_assert(sizeof(clap_plugin_gui_t) == 15 * sizeof(void*), "clap_plugin_gui_t layout");
static_assert(offsetof(clap_plugin_gui_t, set_parent) == 10 * sizeof(void*), "clap_plugin_gui_t layout");
static_assert(sizeof(clap_host_gui_t) == 5 * sizeof(void*), "clap_host_gui_t layout");
static_assert(sizeof(clap_window_t) == clapOffset(8, 16) && offsetof(clap_window_t, x11) == clapOffset(4, 8),
              "clap_window_t layout");
static_assert(sizeof(clap_gui_resize_hints_t) == 12 && offsetof(clap_gui_resize_hints_t, aspect_ratio_width) == 4,
              "clap_gui_resize_hints_t layout");
static_assert(sizeof(clap_host_posix_fd_support_t) == 3 * sizeof(void*), "clap_host_posix_fd_support_t layout");
static_assert(sizeof(clap_host_timer_support_t) == 2 * sizeof(void*), "clap_host_timer_support_t layout");
static_assert(sizeof(clap_host_thread_check_t) == 2 * sizeof(void*), "clap_host_thread_check_t layout");
static_assert(sizeof(clap_plugin_render_t) == 2 * sizeof(void*), "clap_plugin_render_t layout");
static_assert(sizeof(clap_host_preset_load_t) == 2 * sizeof(void*), "clap_host_preset_load_t layout");
