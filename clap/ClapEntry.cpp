// The library's one export, clap_entry: the plug-in factory with Tamblin's descriptor, and the preset
// discovery factory listing the sixteen factory programs inside the plug-in.
#include <cstring>
#include <new>
#include <string>

#include "ClapPlugin.h"
#include "ClapPresetDiscovery.h"
#include "FactoryBank.h"

namespace tamblin::clap {

namespace {


// ---- plug-in factory ----
uint32_t pluginCount(const clap_plugin_factory_t*) { return 1; }
const clap_plugin_descriptor_t* pluginDescriptor(const clap_plugin_factory_t*, uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
const clap_plugin_t* createPlugin(const clap_plugin_factory_t*, const clap_host_t* host, const char* id) {
  if (host == nullptr || id == nullptr || std::strcmp(id, kDescriptor.id) != 0 ||
      !clap_version_is_compatible(host->clap_version)) {
    return nullptr;
  }
  Plugin* plugin = new (std::nothrow) Plugin(host);
  return plugin != nullptr ? plugin->record() : nullptr;
}
const clap_plugin_factory_t kPluginFactory = {pluginCount, pluginDescriptor, createPlugin};

// ---- preset discovery: one provider, one location inside the plug-in ----
const clap_preset_discovery_provider_descriptor_t kProviderDescriptor = {
    CLAP_VERSION, "com.brightmoor.tamblin.factory-programs", "Tamblin factory programs", "Brightmoor"};

struct Provider {
  clap_preset_discovery_provider_t record;
  const clap_preset_discovery_indexer_t* indexer;
};

const Provider* providerOf(const clap_preset_discovery_provider_t* record) {
  return record != nullptr && record->desc == &kProviderDescriptor ? static_cast<const Provider*>(record->provider_data)
                                                                   : nullptr;
}

bool providerInit(const clap_preset_discovery_provider_t* record) {
  const Provider* provider = providerOf(record);
  if (provider == nullptr || provider->indexer->declare_location == nullptr) return false;
  const clap_preset_discovery_location_t location = {CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT,
                                                     "Tamblin factory programs",
                                                     CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
  return provider->indexer->declare_location(provider->indexer, &location);
}

void providerDestroy(const clap_preset_discovery_provider_t* record) { delete providerOf(record); }

// Each program by its number as the load key, for the plug-in's preset-load.
bool providerMetadata(const clap_preset_discovery_provider_t* record, uint32_t kind, const char* location,
                      const clap_preset_discovery_metadata_receiver_t* receiver) {
  if (providerOf(record) == nullptr || kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN ||
      (location != nullptr && location[0] != '\0') || receiver == nullptr || receiver->begin_preset == nullptr) {
    return false;
  }
  const clap_universal_plugin_id_t pluginId = {"clap", kDescriptor.id};
  for (int program = 0; program < kFactoryProgramCount; ++program) {
    const std::string key = std::to_string(program);
    if (!receiver->begin_preset(receiver, kFactoryBank[program].name, key.c_str())) break;
    if (receiver->add_plugin_id != nullptr) receiver->add_plugin_id(receiver, &pluginId);
    if (receiver->set_flags != nullptr) receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    if (receiver->add_creator != nullptr) receiver->add_creator(receiver, "Brightmoor");
  }
  return true;
}

const void* providerExtension(const clap_preset_discovery_provider_t*, const char*) { return nullptr; }

uint32_t providerCount(const clap_preset_discovery_factory_t*) { return 1; }
const clap_preset_discovery_provider_descriptor_t* providerDescriptor(const clap_preset_discovery_factory_t*,
                                                                      uint32_t index) {
  return index == 0 ? &kProviderDescriptor : nullptr;
}
const clap_preset_discovery_provider_t* createProvider(const clap_preset_discovery_factory_t*,
                                                       const clap_preset_discovery_indexer_t* indexer,
                                                       const char* id) {
  if (indexer == nullptr || id == nullptr || std::strcmp(id, kProviderDescriptor.id) != 0) return nullptr;
  auto* provider = new (std::nothrow) Provider;
  if (provider == nullptr) return nullptr;
  provider->record = {&kProviderDescriptor, provider,         providerInit,
                      providerDestroy,      providerMetadata, providerExtension};
  provider->indexer = indexer;
  return &provider->record;
}
const clap_preset_discovery_factory_t kPresetFactory = {providerCount, providerDescriptor, createProvider};

// ---- entry ----
bool entryInit(const char*) { return true; }
void entryDeinit() {}
const void* entryFactory(const char* id) {
  if (id == nullptr) return nullptr;
  if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) return &kPluginFactory;
  if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
      std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0) {
    return &kPresetFactory;
  }
  return nullptr;
}

}  // namespace

}  // namespace tamblin::clap

#if defined(_WIN32)
#define TAMBLIN_CLAP_EXPORT
#else
#define TAMBLIN_CLAP_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TAMBLIN_CLAP_EXPORT const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION, tamblin::clap::entryInit, tamblin::clap::entryDeinit, tamblin::clap::entryFactory};
