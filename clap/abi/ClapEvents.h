// The CLAP interface's events, event lists, audio buffers and process record, at the interface's
// published layouts (CLAP 1.x), with their sizes and offsets checked at compile time.
#pragma once

#include "ClapCore.h"

extern "C" {

// ---- Events ----------------------------------------------------------------------------------------
struct clap_event_header_t {
  uint32_t size;      // the whole event's size in bytes, header included
  uint32_t time;      // frame within the block
  uint16_t space_id;  // CLAP_CORE_EVENT_SPACE_ID for every event below
  uint16_t type;
  uint32_t flags;  // CLAP_EVENT_IS_LIVE, CLAP_EVENT_DONT_RECORD
};

constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum : uint32_t {
  CLAP_EVENT_IS_LIVE = 1u << 0,
  CLAP_EVENT_DONT_RECORD = 1u << 1,
};

enum : uint16_t {
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

// Note on, off, choke and end. -1 in note_id, port_index, channel or key matches every one (a
// wildcard) where the event acts on held notes.
struct clap_event_note_t {
  clap_event_header_t header;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;  // 0..15
  int16_t key;      // 0..127
  double velocity;  // 0..1
};

struct clap_event_param_value_t {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double value;
};

struct clap_event_param_mod_t {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double amount;
};

struct clap_event_param_gesture_t {
  clap_event_header_t header;
  clap_id param_id;
};

enum : uint32_t {
  CLAP_TRANSPORT_HAS_TEMPO = 1u << 0,
  CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 1u << 1,
  CLAP_TRANSPORT_HAS_SECONDS_TIMELINE = 1u << 2,
  CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 1u << 3,
  CLAP_TRANSPORT_IS_PLAYING = 1u << 4,
  CLAP_TRANSPORT_IS_RECORDING = 1u << 5,
  CLAP_TRANSPORT_IS_LOOP_ACTIVE = 1u << 6,
  CLAP_TRANSPORT_IS_WITHIN_PRE_ROLL = 1u << 7,
};

using clap_beattime = int64_t;  // beats in 1/2^31 units
using clap_sectime = int64_t;   // seconds in 1/2^31 units

struct clap_event_transport_t {
  clap_event_header_t header;
  uint32_t flags;
  clap_beattime song_pos_beats;
  clap_sectime song_pos_seconds;
  double tempo;      // beats per minute
  double tempo_inc;  // tempo step per frame
  clap_beattime loop_start_beats;
  clap_beattime loop_end_beats;
  clap_sectime loop_start_seconds;
  clap_sectime loop_end_seconds;
  clap_beattime bar_start;
  int32_t bar_number;
  uint16_t tsig_num;
  uint16_t tsig_denom;
};

struct clap_event_midi_t {
  clap_event_header_t header;
  uint16_t port_index;
  uint8_t data[3];
};

struct clap_event_midi_sysex_t {
  clap_event_header_t header;
  uint16_t port_index;
  const uint8_t* buffer;
  uint32_t size;
};

// ---- Event lists -----------------------------------------------------------------------------------
struct clap_input_events_t {
  void* ctx;
  uint32_t(CLAP_ABI* size)(const clap_input_events_t* list);
  // The event at index, sorted by time; null outside the list.
  const clap_event_header_t*(CLAP_ABI* get)(const clap_input_events_t* list, uint32_t index);
};

struct clap_output_events_t {
  void* ctx;
  // Copies the event; false when the host could not take it.
  bool(CLAP_ABI* try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// ---- Audio buffers and the process record ------------------------------------------------------------
struct clap_audio_buffer_t {
  float** data32;
  double** data64;
  uint32_t channel_count;
  uint32_t latency;
  uint64_t constant_mask;
};

struct clap_process_t {
  int64_t steady_time;  // frames since some point, -1 when not known
  uint32_t frames_count;
  const clap_event_transport_t* transport;  // null when the host has none (a free-running render)
  const clap_audio_buffer_t* audio_inputs;
  clap_audio_buffer_t* audio_outputs;
  uint32_t audio_inputs_count;
  uint32_t audio_outputs_count;
  const clap_input_events_t* in_events;
  const clap_output_events_t* out_events;
};

}  // extern "C"

static_assert(sizeof(clap_event_header_t) == 16, "clap_event_header_t layout");
static_assert(offsetof(clap_event_header_t, space_id) == 8 && offsetof(clap_event_header_t, type) == 10 &&
                  offsetof(clap_event_header_t, flags) == 12,
              "clap_event_header_t layout");
static_assert(sizeof(clap_event_note_t) == 40, "clap_event_note_t layout");
static_assert(offsetof(clap_event_note_t, note_id) == 16 && offsetof(clap_event_note_t, port_index) == 20 &&
                  offsetof(clap_event_note_t, channel) == 22 && offsetof(clap_event_note_t, key) == 24 &&
                  offsetof(clap_event_note_t, velocity) == 32,
              "clap_event_note_t layout");
static_assert(sizeof(clap_event_param_value_t) == clapOffset(48, 56), "clap_event_param_value_t layout");
static_assert(offsetof(clap_event_param_value_t, cookie) == clapOffset(20, 24) &&
                  offsetof(clap_event_param_value_t, note_id) == clapOffset(24, 32) &&
                  offsetof(clap_event_param_value_t, key) == clapOffset(32, 40) &&
                  offsetof(clap_event_param_value_t, value) == clapOffset(40, 48),
              "clap_event_param_value_t layout");
static_assert(sizeof(clap_event_param_mod_t) == sizeof(clap_event_param_value_t), "clap_event_param_mod_t layout");
static_assert(sizeof(clap_event_param_gesture_t) == 20, "clap_event_param_gesture_t layout");
static_assert(sizeof(clap_event_transport_t) == 104, "clap_event_transport_t layout");
static_assert(offsetof(clap_event_transport_t, song_pos_beats) == 24 &&
                  offsetof(clap_event_transport_t, tempo) == 40 &&
                  offsetof(clap_event_transport_t, bar_start) == 88 &&
                  offsetof(clap_event_transport_t, bar_number) == 96 &&
                  offsetof(clap_event_transport_t, tsig_denom) == 102,
              "clap_event_transport_t layout");
static_assert(sizeof(clap_event_midi_t) == 24 && offsetof(clap_event_midi_t, data) == 18,
              "clap_event_midi_t layout");
static_assert(sizeof(clap_event_midi_sysex_t) == clapOffset(28, 40) &&
                  offsetof(clap_event_midi_sysex_t, buffer) == clapOffset(20, 24),
              "clap_event_midi_sysex_t layout");
static_assert(sizeof(clap_input_events_t) == clapOffset(12, 24), "clap_input_events_t layout");
static_assert(sizeof(clap_output_events_t) == clapOffset(8, 16), "clap_output_events_t layout");
static_assert(sizeof(clap_audio_buffer_t) == clapOffset(24, 32) &&
                  offsetof(clap_audio_buffer_t, channel_count) == clapOffset(8, 16) &&
                  offsetof(clap_audio_buffer_t, constant_mask) == clapOffset(16, 24),
              "clap_audio_buffer_t layout");
static_assert(sizeof(clap_process_t) == clapOffset(40, 64), "clap_process_t layout");
static_assert(offsetof(clap_process_t, frames_count) == 8 && offsetof(clap_process_t, transport) == clapOffset(12, 16) &&
                  offsetof(clap_process_t, audio_outputs) == clapOffset(20, 32) &&
                  offsetof(clap_process_t, audio_inputs_count) == clapOffset(24, 40) &&
                  offsetof(clap_process_t, in_events) == clapOffset(32, 48) &&
                  offsetof(clap_process_t, out_events) == clapOffset(36, 56),
              "clap_process_t layout");
