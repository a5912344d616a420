// A small LV2 host on lilv for the tests: the world with the build tree's bundle, URIDs, and one
// instance run in blocks with MIDI and tempo on their frames.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Atoms.h"
#include "ParameterPorts.h"
#include "Ports.h"

namespace tamblin::test {

// Every URI gets the next number, as a host's URID map does.
class UridMap {
 public:
  UridMap() : feature_{LV2_URID__map, &map_} {}
  LV2_URID id(const char* uri) { return map(this, uri); }
  const LV2_Feature* feature() const { return &feature_; }
  LV2_URID_Map* map() { return &map_; }

 private:
  static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<UridMap*>(handle)->uris_;
    for (size_t i = 0; i < uris.size(); ++i) {
      if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    }
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
  }
  std::vector<std::string> uris_;
  LV2_URID_Map map_{this, map};
  LV2_Feature feature_;
};

// The world that sees only the bundle in the build tree, and the plug-in in it.
class Lv2World {
 public:
  Lv2World() : world_(lilv_world_new()) {
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, TAMBLIN_LV2_BUNDLE "/");
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world_, lv2::kPluginUri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
  }
  ~Lv2World() {
    for (LilvNode* node : nodes_) lilv_node_free(node);
    lilv_world_free(world_);
  }
  Lv2World(const Lv2World&) = delete;
  Lv2World& operator=(const Lv2World&) = delete;

  LilvWorld* world() const { return world_; }
  const LilvPlugin* plugin() const { return plugin_; }
  // A URI node that lives as long as the world.
  const LilvNode* uri(const char* text) {
    nodes_.push_back(lilv_new_uri(world_, text));
    return nodes_.back();
  }

 private:
  LilvWorld* world_;
  const LilvPlugin* plugin_ = nullptr;
  std::vector<LilvNode*> nodes_;
};

// One instance with every port connected: parameter values, an event buffer, the two outputs.
class Lv2Instance {
 public:
  static constexpr uint32_t kEventCapacity = 16384;

  Lv2Instance(Lv2World& world, UridMap& urids, double rate, const LV2_Feature* const* features)
      : urids_(urids) {
    instance_ = lilv_plugin_instantiate(world.plugin(), rate, features);
  }
  ~Lv2Instance() {
    if (instance_ != nullptr) {
      lilv_instance_deactivate(instance_);
      lilv_instance_free(instance_);
    }
  }
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  bool valid() const { return instance_ != nullptr; }
  float& parameter(int index) { return parameters_[index]; }

  void start(const float (&values)[kNumParams]) {
    for (int i = 0; i < kNumParams; ++i) {
      parameters_[i] = values[i];
      lilv_instance_connect_port(instance_, static_cast<uint32_t>(i), &parameters_[i]);
    }
    lilv_instance_connect_port(instance_, lv2::kEventsPort, events_.data());
    lilv_instance_connect_port(instance_, lv2::kGateLampPort, &gateLamp_);
    lilv_instance_connect_port(instance_, lv2::kNotifyPort, notify_.data());
    lilv_instance_activate(instance_);
  }

  // Runs a block on an event buffer of the caller's (a crafted sequence), then reconnects our own.
  void runOn(const void* sequence, uint32_t frames, float* left, float* right) {
    lilv_instance_connect_port(instance_, lv2::kEventsPort, const_cast<void*>(sequence));
    lilv_instance_connect_port(instance_, lv2::kLeftOutPort, left);
    lilv_instance_connect_port(instance_, lv2::kRightOutPort, right);
    prepareNotify();
    lilv_instance_run(instance_, frames);
    lilv_instance_connect_port(instance_, lv2::kEventsPort, events_.data());
  }

  // The parameters the last block's notification port reported, as (index, value), in order; index -1
  // for a message that is not a patch:Set of a parameter.
  std::vector<std::pair<int, float>> notifications() {
    std::vector<std::pair<int, float>> found;
    const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(notify_.data());
    if (sequence->atom.type != urids_.id(LV2_ATOM__Sequence)) return found;
    lv2::forEachEvent(&sequence->body, sequence->atom.size, [&](const LV2_Atom_Event& event) {
      const auto& object = reinterpret_cast<const LV2_Atom_Object&>(event.body);
      int index = -1;
      float value = -1.0f;
      lv2::forEachProperty(object, [&](const LV2_Atom_Property_Body& property) {
        uint32_t urid = 0;
        if (property.key == urids_.id(LV2_PATCH__property) && lv2::valueOf(property, urids_.id(LV2_ATOM__URID), urid)) {
          for (int i = 0; i < kNumParams; ++i)
            if (urid == urids_.id((lv2::kParameterUriPrefix + lv2::parameterPort(i).symbol).c_str())) index = i;
        }
        if (property.key == urids_.id(LV2_PATCH__value)) lv2::valueOf(property, urids_.id(LV2_ATOM__Float), value);
      });
      const bool set = event.body.type == urids_.id(LV2_ATOM__Object) && object.body.otype == urids_.id(LV2_PATCH__Set);
      found.emplace_back(set ? index : -1, value);
    });
    return found;
  }

  // What a block's event port carries: a MIDI message, or a tempo when bpm is above 0.
  struct BlockEvent {
    uint32_t frame;
    uint8_t bytes[3];
    float bpm = 0.0f;
  };

  void run(uint32_t frames, float* left, float* right, const std::vector<BlockEvent>& events) {
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, urids_.map());
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(events_.data()), kEventCapacity);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const BlockEvent& event : events) {
      lv2_atom_forge_frame_time(&forge, event.frame);
      if (event.bpm > 0.0f) {
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, urids_.id(LV2_TIME__Position));
        lv2_atom_forge_key(&forge, urids_.id(LV2_TIME__beatsPerMinute));
        lv2_atom_forge_float(&forge, event.bpm);
        lv2_atom_forge_pop(&forge, &object);
      } else {
        lv2_atom_forge_atom(&forge, 3, urids_.id(LV2_MIDI__MidiEvent));
        lv2_atom_forge_write(&forge, event.bytes, 3);
      }
    }
    lv2_atom_forge_pop(&forge, &sequence);
    lilv_instance_connect_port(instance_, lv2::kLeftOutPort, left);
    lilv_instance_connect_port(instance_, lv2::kRightOutPort, right);
    prepareNotify();
    lilv_instance_run(instance_, frames);
  }

  float gateLamp() const { return gateLamp_; }
  // The notification buffer's size as the host gives it before each block (the atom's body).
  void setNotifyCapacity(uint32_t bytes) { notifyCapacity_ = bytes; }

 private:
  void prepareNotify() {
    auto* atom = reinterpret_cast<LV2_Atom*>(notify_.data());
    atom->size = notifyCapacity_;
    atom->type = 0;
  }

  UridMap& urids_;
  LilvInstance* instance_ = nullptr;
  float parameters_[kNumParams] = {};
  float gateLamp_ = -1.0f;
  std::vector<uint64_t> events_ = std::vector<uint64_t>(kEventCapacity / sizeof(uint64_t));
  std::vector<uint64_t> notify_ = std::vector<uint64_t>(kEventCapacity / sizeof(uint64_t));
  uint32_t notifyCapacity_ = kEventCapacity - sizeof(LV2_Atom);
};

}  // namespace tamblin::test
