// Atoms read with every size checked against its container, and the one message the plug-in writes:
// a patch:Set of a parameter, for the notification port. Shared by the DSP and UI libraries.
#pragma once

#include <lv2/atom/atom.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tamblin::lv2 {

// An atom's padded size in 64 bits, so that a size near 2^32 cannot wrap.
inline uint64_t paddedSize(uint32_t size) { return (static_cast<uint64_t>(size) + 7u) & ~uint64_t{7}; }

// Calls visit(const LV2_Atom_Event&) for each event of a sequence whose `size` bytes of body follow
// `body`, in order. An event whose header or body would run past the sequence ends the walk there:
// nothing of it, or after it, is read.
template <typename Visit>
void forEachEvent(const LV2_Atom_Sequence_Body* body, uint32_t size, Visit&& visit) {
  if (size < sizeof(LV2_Atom_Sequence_Body)) return;
  const auto* bytes = reinterpret_cast<const uint8_t*>(body);
  uint64_t offset = sizeof(LV2_Atom_Sequence_Body);
  while (offset + sizeof(LV2_Atom_Event) <= size) {
    const auto* event = reinterpret_cast<const LV2_Atom_Event*>(bytes + offset);
    if (event->body.size > size - offset - sizeof(LV2_Atom_Event)) return;
    visit(*event);
    offset += sizeof(LV2_Atom_Event) + paddedSize(event->body.size);
  }
}

// Calls visit(const LV2_Atom_Property_Body&) for each property of an object atom whose header says
// `object.size` bytes of body, which the caller has checked lie inside its container. False (nothing
// visited) when the body is too small to hold the object's type; the walk ends at a property that would
// run past the object.
template <typename Visit>
bool forEachProperty(const LV2_Atom_Object& object, Visit&& visit) {
  const uint32_t size = object.atom.size;
  if (size < sizeof(LV2_Atom_Object_Body)) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&object.body);
  uint64_t offset = sizeof(LV2_Atom_Object_Body);
  while (offset + sizeof(LV2_Atom_Property_Body) <= size) {
    const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(bytes + offset);
    if (property->value.size > size - offset - sizeof(LV2_Atom_Property_Body)) break;
    visit(*property);
    offset += sizeof(LV2_Atom_Property_Body) + paddedSize(property->value.size);
  }
  return true;
}

// A property's value of `type` and exactly T's size, copied out; false for anything else.
template <typename T>
bool valueOf(const LV2_Atom_Property_Body& property, uint32_t type, T& out) {
  if (property.value.type != type || property.value.size != sizeof(T)) return false;
  std::memcpy(&out, &property.value + 1, sizeof(T));
  return true;
}

// One parameter's new value as the plug-in reports it: an event holding
//   [] a patch:Set ; patch:property <parameter's URI> ; patch:value "v"^^atom:Float .
struct SetMessage {
  LV2_Atom_Event event;         // time in frames; body: size kBodySize, type atom:Object
  LV2_Atom_Object_Body object;  // id 0, otype patch:Set
  LV2_Atom_Property_Body propertyKey;  // patch:property, value: size 4, type atom:URID
  uint32_t property;
  uint32_t pad1;
  LV2_Atom_Property_Body valueKey;  // patch:value, value: size 4, type atom:Float
  float value;
  uint32_t pad2;

  static constexpr uint32_t kBodySize = 56;  // everything after the event's body header
};
static_assert(sizeof(SetMessage) == sizeof(LV2_Atom_Event) + SetMessage::kBodySize);
static_assert(offsetof(SetMessage, object) == 16 && offsetof(SetMessage, propertyKey) == 24 &&
              offsetof(SetMessage, property) == 40 && offsetof(SetMessage, valueKey) == 48 &&
              offsetof(SetMessage, value) == 64);

}  // namespace tamblin::lv2
