// The CLAP preset-discovery factory: providers that tell an indexing host where presets are and what
// each one is, at the interface's published layouts (CLAP 1.2), with sizes and offsets checked.
#pragma once

#include "ClapCore.h"

extern "C" {

#define CLAP_PRESET_DISCOVERY_FACTORY_ID "clap.preset-discovery-factory/2"
// The same factory under its draft id, which hosts of CLAP 1.1 ask for.
#define CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT "clap.preset-discovery-factory/draft-2"

enum : uint32_t {
  CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
  CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,  // presets inside the plug-in; the location is null
};

enum : uint32_t {
  CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1u << 0,
  CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1u << 1,
  CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1u << 2,
  CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1u << 3,
};

using clap_timestamp = uint64_t;  // seconds since 1970, 0 when unknown

struct clap_universal_plugin_id_t {
  const char* abi;  // "clap"
  const char* id;
};

struct clap_preset_discovery_metadata_receiver_t {
  void* receiver_data;
  void(CLAP_ABI* on_error)(const clap_preset_discovery_metadata_receiver_t* receiver, int32_t os_error,
                           const char* error_message);
  // Starts a preset; false: stop sending.
  bool(CLAP_ABI* begin_preset)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* name,
                               const char* load_key);
  void(CLAP_ABI* add_plugin_id)(const clap_preset_discovery_metadata_receiver_t* receiver,
                                const clap_universal_plugin_id_t* plugin_id);
  void(CLAP_ABI* set_soundpack_id)(const clap_preset_discovery_metadata_receiver_t* receiver,
                                   const char* soundpack_id);
  void(CLAP_ABI* set_flags)(const clap_preset_discovery_metadata_receiver_t* receiver, uint32_t flags);
  void(CLAP_ABI* add_creator)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* creator);
  void(CLAP_ABI* set_description)(const clap_preset_discovery_metadata_receiver_t* receiver,
                                  const char* description);
  void(CLAP_ABI* set_timestamps)(const clap_preset_discovery_metadata_receiver_t* receiver,
                                 clap_timestamp creation_time, clap_timestamp modification_time);
  void(CLAP_ABI* add_feature)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* feature);
  void(CLAP_ABI* add_extra_info)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* key,
                                 const char* value);
};

struct clap_preset_discovery_filetype_t {
  const char* name;
  const char* description;
  const char* file_extension;
};

struct clap_preset_discovery_location_t {
  uint32_t flags;
  const char* name;
  uint32_t kind;         // CLAP_PRESET_DISCOVERY_LOCATION_*
  const char* location;  // null for a location of kind PLUGIN
};

struct clap_preset_discovery_soundpack_t {
  uint32_t flags;
  const char* id;
  const char* name;
  const char* description;
  const char* homepage_url;
  const char* vendor;
  const char* image_path;
  clap_timestamp release_timestamp;
};

struct clap_preset_discovery_provider_descriptor_t {
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
};

struct clap_preset_discovery_provider_t {
  const clap_preset_discovery_provider_descriptor_t* desc;
  void* provider_data;
  bool(CLAP_ABI* init)(const clap_preset_discovery_provider_t* provider);  // declares locations
  void(CLAP_ABI* destroy)(const clap_preset_discovery_provider_t* provider);
  bool(CLAP_ABI* get_metadata)(const clap_preset_discovery_provider_t* provider, uint32_t location_kind,
                               const char* location,
                               const clap_preset_discovery_metadata_receiver_t* metadata_receiver);
  const void*(CLAP_ABI* get_extension)(const clap_preset_discovery_provider_t* provider, const char* extension_id);
};

struct clap_preset_discovery_indexer_t {
  clap_version_t clap_version;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  void* indexer_data;
  bool(CLAP_ABI* declare_filetype)(const clap_preset_discovery_indexer_t* indexer,
                                   const clap_preset_discovery_filetype_t* filetype);
  bool(CLAP_ABI* declare_location)(const clap_preset_discovery_indexer_t* indexer,
                                   const clap_preset_discovery_location_t* location);
  bool(CLAP_ABI* declare_soundpack)(const clap_preset_discovery_indexer_t* indexer,
                                    const clap_preset_discovery_soundpack_t* soundpack);
  const void*(CLAP_ABI* get_extension)(const clap_preset_discovery_indexer_t* indexer, const char* extension_id);
};

struct clap_preset_discovery_factory_t {
  uint32_t(CLAP_ABI* count)(const clap_preset_discovery_factory_t* factory);
  const clap_preset_discovery_provider_descriptor_t*(CLAP_ABI* get_descriptor)(
      const clap_preset_discovery_factory_t* factory, uint32_t index);
  const clap_preset_discovery_provider_t*(CLAP_ABI* create)(const clap_preset_discovery_factory_t* factory,
                                                            const clap_preset_discovery_indexer_t* indexer,
                                                            const char* provider_id);
};

}  // extern "C"

static_assert(sizeof(clap_preset_discovery_metadata_receiver_t) == 11 * sizeof(void*),
              "clap_preset_discovery_metadata_receiver_t layout");
static_assert(offsetof(clap_preset_discovery_metadata_receiver_t, begin_preset) == 2 * sizeof(void*),
              "clap_preset_discovery_metadata_receiver_t layout");
static_assert(sizeof(clap_preset_discovery_location_t) == clapOffset(16, 32) &&
                  offsetof(clap_preset_discovery_location_t, kind) == clapOffset(8, 16) &&
                  offsetof(clap_preset_discovery_location_t, location) == clapOffset(12, 24),
              "clap_preset_discovery_location_t layout");
static_assert(sizeof(clap_preset_discovery_soundpack_t) == clapOffset(40, 64), "clap_preset_discovery_soundpack_t layout");
static_assert(sizeof(clap_preset_discovery_provider_descriptor_t) == clapOffset(24, 40),
              "clap_preset_discovery_provider_descriptor_t layout");
static_assert(sizeof(clap_preset_discovery_provider_t) == 6 * sizeof(void*), "clap_preset_discovery_provider_t layout");
static_assert(sizeof(clap_preset_discovery_indexer_t) == clapOffset(48, 88) &&
                  offsetof(clap_preset_discovery_indexer_t, indexer_data) == clapOffset(28, 48) &&
                  offsetof(clap_preset_discovery_indexer_t, declare_location) == clapOffset(36, 64),
              "clap_preset_discovery_indexer_t layout");
static_assert(sizeof(clap_preset_discovery_factory_t) == 3 * sizeof(void*), "clap_preset_discovery_factory_t layout");
static_assert(sizeof(clap_universal_plugin_id_t) == 2 * sizeof(void*), "clap_universal_plugin_id_t layout");
