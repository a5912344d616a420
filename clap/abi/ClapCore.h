// The CLAP interface's core records: version, entry, plug-in factory, descriptor, host and plug-in, at
// the interface's published layouts (CLAP 1.x), with their sizes and offsets checked at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

// Every function pointer of the interface uses the platform's C calling convention (cdecl on 32-bit
// Windows).
#if defined(_WIN32) && !defined(_WIN64)
#define CLAP_ABI __cdecl
#else
#define CLAP_ABI
#endif

// The 64-bit offset where a record has one, the 32-bit (Windows: doubles 8-aligned) one otherwise.
constexpr std::size_t clapOffset(std::size_t offset32, std::size_t offset64) {
  return sizeof(void*) == 8 ? offset64 : offset32;
}

extern "C" {

using clap_id = uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

constexpr std::size_t CLAP_NAME_SIZE = 256;
constexpr std::size_t CLAP_PATH_SIZE = 1024;

// ---- Version --------------------------------------------------------------------------------------
struct clap_version_t {
  uint32_t major;
  uint32_t minor;
  uint32_t revision;
};
// The interface version this plug-in is written against; hosts accept any 1.x.
constexpr clap_version_t CLAP_VERSION = {1, 2, 2};
constexpr bool clap_version_is_compatible(clap_version_t v) { return v.major >= 1; }

struct clap_host_t;
struct clap_plugin_t;
struct clap_process_t;

// ---- Plug-in descriptor ------------------------------------------------------------------------------
struct clap_plugin_descriptor_t {
  clap_version_t clap_version;
  const char* id;  // reverse-domain identifier, e.g. "com.brightmoor.tamblin"
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features;  // null-terminated list, e.g. "instrument"
};

// Feature words of the descriptor.
#define CLAP_PLUGIN_FEATURE_INSTRUMENT "instrument"
#define CLAP_PLUGIN_FEATURE_SYNTHESIZER "synthesizer"
#define CLAP_PLUGIN_FEATURE_STEREO "stereo"

// ---- Host -------------------------------------------------------------------------------------------
struct clap_host_t {
  clap_version_t clap_version;
  void* host_data;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  // [thread-safe] An extension of the host by its id, or null.
  const void*(CLAP_ABI* get_extension)(const clap_host_t* host, const char* extension_id);
  // [thread-safe] Deactivate and activate the plug-in again.
  void(CLAP_ABI* request_restart)(const clap_host_t* host);
  // [thread-safe] Activate and start processing.
  void(CLAP_ABI* request_process)(const clap_host_t* host);
  // [thread-safe] Call clap_plugin_t::on_main_thread soon.
  void(CLAP_ABI* request_callback)(const clap_host_t* host);
};

// ---- Plug-in ----------------------------------------------------------------------------------------
// What process() answers.
using clap_process_status = int32_t;
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
  bool(CLAP_ABI* init)(const clap_plugin_t* plugin);                  // [main thread]
  void(CLAP_ABI* destroy)(const clap_plugin_t* plugin);               // [main thread]
  bool(CLAP_ABI* activate)(const clap_plugin_t* plugin, double sample_rate, uint32_t min_frames_count,
                           uint32_t max_frames_count);                // [main thread]
  void(CLAP_ABI* deactivate)(const clap_plugin_t* plugin);            // [main thread]
  bool(CLAP_ABI* start_processing)(const clap_plugin_t* plugin);      // [audio thread]
  void(CLAP_ABI* stop_processing)(const clap_plugin_t* plugin);       // [audio thread]
  void(CLAP_ABI* reset)(const clap_plugin_t* plugin);                 // [audio thread]
  clap_process_status(CLAP_ABI* process)(const clap_plugin_t* plugin, const clap_process_t* process);
  const void*(CLAP_ABI* get_extension)(const clap_plugin_t* plugin, const char* id);  // [thread-safe]
  void(CLAP_ABI* on_main_thread)(const clap_plugin_t* plugin);       // [main thread]
};

// ---- Plug-in factory and entry ---------------------------------------------------------------------
#define CLAP_PLUGIN_FACTORY_ID "clap.plugin-factory"

struct clap_plugin_factory_t {
  uint32_t(CLAP_ABI* get_plugin_count)(const clap_plugin_factory_t* factory);
  const clap_plugin_descriptor_t*(CLAP_ABI* get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                                    uint32_t index);
  const clap_plugin_t*(CLAP_ABI* create_plugin)(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                                const char* plugin_id);
};

// The one symbol a CLAP library exports, named clap_entry.
struct clap_plugin_entry_t {
  clap_version_t clap_version;
  bool(CLAP_ABI* init)(const char* plugin_path);
  void(CLAP_ABI* deinit)(void);
  const void*(CLAP_ABI* get_factory)(const char* factory_id);
};

// ---- Streams (state) ---------------------------------------------------------------------------------
struct clap_istream_t {
  void* ctx;
  // Bytes read into buffer (at most size); 0 at the end; below 0 on error.
  int64_t(CLAP_ABI* read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};
struct clap_ostream_t {
  void* ctx;
  // Bytes written (at most size); below 0 on error.
  int64_t(CLAP_ABI* write)(const clap_ostream_t* stream, const void* buffer, uint64_t size);
};

}  // extern "C"

static_assert(sizeof(bool) == 1, "CLAP's bool is one byte");
static_assert(sizeof(clap_version_t) == 12 && alignof(clap_version_t) == 4, "clap_version_t layout");
static_assert(sizeof(clap_plugin_descriptor_t) == clapOffset(48, 88), "clap_plugin_descriptor_t layout");
static_assert(offsetof(clap_plugin_descriptor_t, id) == clapOffset(12, 16), "clap_plugin_descriptor_t layout");
static_assert(offsetof(clap_plugin_descriptor_t, features) == clapOffset(44, 80), "clap_plugin_descriptor_t layout");
static_assert(sizeof(clap_host_t) == clapOffset(48, 88), "clap_host_t layout");
static_assert(offsetof(clap_host_t, host_data) == clapOffset(12, 16), "clap_host_t layout");
static_assert(offsetof(clap_host_t, get_extension) == clapOffset(32, 56), "clap_host_t layout");
static_assert(offsetof(clap_host_t, request_callback) == clapOffset(44, 80), "clap_host_t layout");
static_assert(sizeof(clap_plugin_t) == clapOffset(48, 96), "clap_plugin_t layout");
static_assert(offsetof(clap_plugin_t, activate) == clapOffset(16, 32), "clap_plugin_t layout");
static_assert(offsetof(clap_plugin_t, process) == clapOffset(36, 72), "clap_plugin_t layout");
static_assert(offsetof(clap_plugin_t, on_main_thread) == clapOffset(44, 88), "clap_plugin_t layout");
static_assert(sizeof(clap_plugin_factory_t) == clapOffset(12, 24), "clap_plugin_factory_t layout");
static_assert(sizeof(clap_plugin_entry_t) == clapOffset(24, 40), "clap_plugin_entry_t layout");
static_assert(offsetof(clap_plugin_entry_t, init) == clapOffset(12, 16), "clap_plugin_entry_t layout");
static_assert(offsetof(clap_plugin_entry_t, get_factory) == clapOffset(20, 32), "clap_plugin_entry_t layout");
static_assert(sizeof(clap_istream_t) == clapOffset(8, 16) && sizeof(clap_ostream_t) == clapOffset(8, 16),
              "stream layouts");
