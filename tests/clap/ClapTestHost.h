// A small CLAP host of our own for the tests: loads Tamblin.clap as a host does (dlopen, or
// LoadLibrary under Windows), answers the host extensions the plug-in asks for and records what it
// is told, and plays phrases through process() in blocks. Header-only, so that the Windows check
// program shares it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "ClapExtensions.h"
#include "ClapPresetDiscovery.h"
#include "support/FactoryPhrase.h"

namespace tamblin::test::clap {

// ---- The library ----------------------------------------------------------------------------------
class ClapLibrary {
 public:
  explicit ClapLibrary(const std::string& path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
    if (handle_ == nullptr) return;
    entry_ = reinterpret_cast<const clap_plugin_entry_t*>(GetProcAddress(static_cast<HMODULE>(handle_), "clap_entry"));
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    entry_ = static_cast<const clap_plugin_entry_t*>(dlsym(handle_, "clap_entry"));
#endif
    if (entry_ != nullptr && !entry_->init(path.c_str())) entry_ = nullptr;
  }
  ~ClapLibrary() {
    if (entry_ != nullptr) entry_->deinit();
#if defined(_WIN32)
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
#else
    if (handle_ != nullptr) dlclose(handle_);
#endif
  }
  ClapLibrary(const ClapLibrary&) = delete;
  ClapLibrary& operator=(const ClapLibrary&) = delete;

  const clap_plugin_entry_t* entry() const { return entry_; }
  const clap_plugin_factory_t* factory() const {
    return entry_ != nullptr ? static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID))
                             : nullptr;
  }

 private:
  void* handle_ = nullptr;
  const clap_plugin_entry_t* entry_ = nullptr;
};

// ---- The host --------------------------------------------------------------------------------------
// What the plug-in told the host.
struct HostRecord {
  int rescans = 0;
  uint32_t rescanFlags = 0;
  int flushRequests = 0;
  int callbackRequests = 0;
  int dirtyMarks = 0;
  int presetsLoaded = 0;
  std::vector<clap_id> timers;  // registered and not unregistered
  uint32_t timerPeriod = 0;
  std::vector<int> fds;  // watched for reading
};

class TestHost {
 public:
  TestHost() {
    host_ = clap_host_t{CLAP_VERSION, this, "tamblin-clap-test", "Brightmoor", "", "1",
                        getExtension, requestRestart, requestProcess, requestCallback};
    mainThread_ = std::this_thread::get_id();
  }
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  const clap_host_t* host() const { return &host_; }
  HostRecord record;
  bool offerTimers = true;
  bool offerFds = true;

 private:
  static TestHost& of(const clap_host_t* h) { return *static_cast<TestHost*>(h->host_data); }
  static const void* getExtension(const clap_host_t* h, const char* id) {
    static const clap_host_params_t params = {
        [](const clap_host_t* h, clap_param_rescan_flags flags) {
          ++of(h).record.rescans;
          of(h).record.rescanFlags |= flags;
        },
        [](const clap_host_t*, clap_id, clap_param_clear_flags) {},
        [](const clap_host_t* h) { ++of(h).record.flushRequests; }};
    static const clap_host_state_t state = {[](const clap_host_t* h) { ++of(h).record.dirtyMarks; }};
    static const clap_host_thread_check_t threads = {
        [](const clap_host_t* h) { return std::this_thread::get_id() == of(h).mainThread_; },
        [](const clap_host_t* h) { return std::this_thread::get_id() != of(h).mainThread_; }};
    static const clap_host_timer_support_t timers = {
        [](const clap_host_t* h, uint32_t period, clap_id* id) {
          HostRecord& r = of(h).record;
          *id = static_cast<clap_id>(100 + r.timers.size());
          r.timers.push_back(*id);
          r.timerPeriod = period;
          return true;
        },
        [](const clap_host_t* h, clap_id id) {
          auto& list = of(h).record.timers;
          for (auto it = list.begin(); it != list.end(); ++it) {
            if (*it == id) {
              list.erase(it);
              return true;
            }
          }
          return false;
        }};
    static const clap_host_preset_load_t presets = {
        [](const clap_host_t*, uint32_t, const char*, const char*, int32_t, const char*) {},
        [](const clap_host_t* h, uint32_t, const char*, const char*) { ++of(h).record.presetsLoaded; }};
    static const clap_host_posix_fd_support_t fds = {
        [](const clap_host_t* h, int fd, clap_posix_fd_flags_t flags) {
          if (flags == CLAP_POSIX_FD_READ) of(h).record.fds.push_back(fd);
          return flags == CLAP_POSIX_FD_READ;
        },
        [](const clap_host_t*, int, clap_posix_fd_flags_t) { return false; },
        [](const clap_host_t* h, int fd) {
          auto& list = of(h).record.fds;
          const auto found = std::find(list.begin(), list.end(), fd);
          if (found == list.end()) return false;
          list.erase(found);
          return true;
        }};
    if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return of(h).offerFds ? &fds : nullptr;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &params;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &state;
    if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &threads;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return of(h).offerTimers ? &timers : nullptr;
    if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0) return &presets;
    return nullptr;
  }
  static void requestRestart(const clap_host_t*) {}
  static void requestProcess(const clap_host_t*) {}
  static void requestCallback(const clap_host_t* h) { ++of(h).record.callbackRequests; }

  clap_host_t host_;
  std::thread::id mainThread_;
};

// ---- Event lists -----------------------------------------------------------------------------------
// Events of any kind, kept in their own storage in the order added (a careless host may add them out
// of order).
class InputEvents {
 public:
  InputEvents() { list_ = clap_input_events_t{this, size, get}; }
  InputEvents(const InputEvents&) = delete;
  InputEvents& operator=(const InputEvents&) = delete;

  template <typename Event>
  void add(const Event& event) {
    auto storage = std::make_unique<uint64_t[]>((sizeof event + 7) / 8);
    std::memcpy(storage.get(), &event, sizeof event);
    events_.push_back(std::move(storage));
  }
  void clear() { events_.clear(); }
  // In time order, events of one frame keeping theirs.
  void sortByTime() {
    std::stable_sort(events_.begin(), events_.end(), [](const auto& a, const auto& b) {
      return reinterpret_cast<const clap_event_header_t*>(a.get())->time <
             reinterpret_cast<const clap_event_header_t*>(b.get())->time;
    });
  }
  const clap_input_events_t* list() const { return &list_; }

 private:
  static uint32_t size(const clap_input_events_t* l) {
    return static_cast<uint32_t>(static_cast<const InputEvents*>(l->ctx)->events_.size());
  }
  static const clap_event_header_t* get(const clap_input_events_t* l, uint32_t index) {
    const auto& events = static_cast<const InputEvents*>(l->ctx)->events_;
    return index < events.size() ? reinterpret_cast<const clap_event_header_t*>(events[index].get()) : nullptr;
  }
  std::vector<std::unique_ptr<uint64_t[]>> events_;
  clap_input_events_t list_;
};

// The parameter values the plug-in reports.
class OutputEvents {
 public:
  OutputEvents() { list_ = clap_output_events_t{this, push}; }
  OutputEvents(const OutputEvents&) = delete;
  OutputEvents& operator=(const OutputEvents&) = delete;
  const clap_output_events_t* list() const { return &list_; }
  std::vector<clap_event_param_value_t> values;
  int others = 0;

 private:
  static bool push(const clap_output_events_t* l, const clap_event_header_t* event) {
    auto& self = *static_cast<OutputEvents*>(l->ctx);
    if (event->type == CLAP_EVENT_PARAM_VALUE && event->size == sizeof(clap_event_param_value_t)) {
      self.values.push_back(*reinterpret_cast<const clap_event_param_value_t*>(event));
    } else {
      ++self.others;
    }
    return true;
  }
  clap_output_events_t list_;
};

inline clap_event_header_t header(uint32_t size, uint32_t time, uint16_t type) {
  return clap_event_header_t{size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
}
inline clap_event_midi_t midiEvent(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2) {
  clap_event_midi_t e{};
  e.header = header(sizeof e, time, CLAP_EVENT_MIDI);
  e.port_index = 0;
  e.data[0] = status;
  e.data[1] = data1;
  e.data[2] = data2;
  return e;
}
inline clap_event_note_t noteEvent(uint32_t time, uint16_t type, int channel, int key, double velocity) {
  clap_event_note_t e{};
  e.header = header(sizeof e, time, type);
  e.note_id = -1;
  e.port_index = 0;
  e.channel = static_cast<int16_t>(channel);
  e.key = static_cast<int16_t>(key);
  e.velocity = velocity;
  return e;
}
inline clap_event_param_value_t paramEvent(uint32_t time, clap_id id, double value) {
  clap_event_param_value_t e{};
  e.header = header(sizeof e, time, CLAP_EVENT_PARAM_VALUE);
  e.param_id = id;
  e.note_id = -1;
  e.port_index = e.channel = e.key = -1;
  e.value = value;
  return e;
}
inline clap_event_transport_t tempoEvent(uint32_t time, double bpm) {
  clap_event_transport_t e{};
  e.header = header(sizeof e, time, CLAP_EVENT_TRANSPORT);
  e.flags = CLAP_TRANSPORT_HAS_TEMPO;
  e.tempo = bpm;
  return e;
}

// ---- One instance -----------------------------------------------------------------------------------
template <typename T>
const T* extensionOf(const clap_plugin_t* plugin, const char* id) {
  return plugin != nullptr ? static_cast<const T*>(plugin->get_extension(plugin, id)) : nullptr;
}

class Instance {
 public:
  Instance(const ClapLibrary& library, TestHost& host, const char* id = "com.brightmoor.tamblin") {
    const clap_plugin_factory_t* factory = library.factory();
    if (factory == nullptr) return;
    plugin_ = factory->create_plugin(factory, host.host(), id);
    if (plugin_ != nullptr && !plugin_->init(plugin_)) {
      plugin_->destroy(plugin_);
      plugin_ = nullptr;
    }
    params = extensionOf<clap_plugin_params_t>(plugin_, CLAP_EXT_PARAMS);
    state = extensionOf<clap_plugin_state_t>(plugin_, CLAP_EXT_STATE);
    presetLoad = extensionOf<clap_plugin_preset_load_t>(plugin_, CLAP_EXT_PRESET_LOAD);
    gui = extensionOf<clap_plugin_gui_t>(plugin_, CLAP_EXT_GUI);
    timer = extensionOf<clap_plugin_timer_support_t>(plugin_, CLAP_EXT_TIMER_SUPPORT);
  }
  ~Instance() {
    if (plugin_ == nullptr) return;
    if (processing_) plugin_->stop_processing(plugin_);
    if (active_) plugin_->deactivate(plugin_);
    plugin_->destroy(plugin_);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  const clap_plugin_t* plugin() const { return plugin_; }
  bool valid() const { return plugin_ != nullptr && params != nullptr && state != nullptr; }

  bool start(double rate = 44100.0, uint32_t maxFrames = 4096) {
    active_ = plugin_->activate(plugin_, rate, 1, maxFrames);
    processing_ = active_ && plugin_->start_processing(plugin_);
    return processing_;
  }
  void stop() {
    if (processing_) plugin_->stop_processing(plugin_);
    if (active_) plugin_->deactivate(plugin_);
    processing_ = active_ = false;
  }

  // One block into left and right (either may be null: no audio port); bpm <= 0: no transport.
  clap_process_status process(float* left, float* right, uint32_t frames, const InputEvents& in,
                              OutputEvents& out, double bpm) {
    float* channels[2] = {left, right};
    clap_audio_buffer_t buffer{channels, nullptr, 2, 0, 0};
    clap_event_transport_t transport = tempoEvent(0, bpm);
    const clap_process_t process{-1,
                                 frames,
                                 bpm > 0.0 ? &transport : nullptr,
                                 nullptr,
                                 left != nullptr ? &buffer : nullptr,
                                 0,
                                 left != nullptr ? 1u : 0u,
                                 in.list(),
                                 out.list()};
    return plugin_->process(plugin_, &process);
  }

  double value(clap_id id) const {
    double v = -1.0;
    return params->get_value(plugin_, id, &v) ? v : std::nan("");
  }

  // The state through the host's streams; `chunk` bytes at most per read or write call.
  bool save(std::string& blob, uint64_t chunk = 1u << 20) const {
    Stream s{&blob, 0, chunk};
    clap_ostream_t stream{&s, [](const clap_ostream_t* o, const void* data, uint64_t size) -> int64_t {
                            auto& st = *static_cast<Stream*>(o->ctx);
                            const uint64_t n = size < st.chunk ? size : st.chunk;
                            st.text->append(static_cast<const char*>(data), n);
                            return static_cast<int64_t>(n);
                          }};
    blob.clear();
    return state->save(plugin_, &stream);
  }
  bool load(const std::string& blob, uint64_t chunk = 1u << 20) const {
    std::string copy = blob;
    Stream s{&copy, 0, chunk};
    clap_istream_t stream{&s, [](const clap_istream_t* i, void* data, uint64_t size) -> int64_t {
                            auto& st = *static_cast<Stream*>(i->ctx);
                            uint64_t n = st.text->size() - st.at;
                            if (n > size) n = size;
                            if (n > st.chunk) n = st.chunk;
                            std::memcpy(data, st.text->data() + st.at, n);
                            st.at += n;
                            return static_cast<int64_t>(n);
                          }};
    return state->load(plugin_, &stream);
  }
  bool loadProgram(int program) const {
    const std::string key = std::to_string(program);
    return presetLoad != nullptr &&
           presetLoad->from_location(plugin_, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key.c_str());
  }

  const clap_plugin_params_t* params = nullptr;
  const clap_plugin_state_t* state = nullptr;
  const clap_plugin_preset_load_t* presetLoad = nullptr;
  const clap_plugin_gui_t* gui = nullptr;
  const clap_plugin_timer_support_t* timer = nullptr;

 private:
  struct Stream {
    std::string* text;
    uint64_t at;
    uint64_t chunk;
  };
  const clap_plugin_t* plugin_ = nullptr;
  bool active_ = false, processing_ = false;
};

// ---- Phrases ---------------------------------------------------------------------------------------
// How the phrase's notes reach the plug-in: as MIDI events, or as CLAP note events (controllers and
// bends stay MIDI).
enum class Dialect { Midi, ClapNotes };

// Extra events for a block, added after the phrase's own (frame, event adder).
using BlockExtras = std::function<void(int start, int frames, InputEvents& in)>;

// The phrase in blocks of `block` frames at 44.1 kHz, a transport at `bpm` on every block (none when
// bpm <= 0), after `program` was loaded through preset-load (or sent as a program change on frame 0
// when programChange is set).
inline Render playPhrase(const ClapLibrary& library, int program, const std::vector<TimedMessage>& phrase,
                         int frames, int block, Dialect dialect, double bpm, bool programChange = false,
                         const BlockExtras& extras = {}) {
  Render out{std::vector<float>(static_cast<size_t>(frames), -99.0f),
             std::vector<float>(static_cast<size_t>(frames), -99.0f)};
  TestHost host;
  Instance instance(library, host);
  if (!instance.valid() || !instance.start()) return out;
  if (!programChange && !instance.loadProgram(program)) return out;
  InputEvents in;
  OutputEvents reported;
  for (int start = 0; start < frames; start += block) {
    const int n = block < frames - start ? block : frames - start;
    in.clear();
    if (programChange && start == 0) in.add(midiEvent(0, 0xC0, static_cast<uint8_t>(program), 0));
    for (const TimedMessage& m : phrase) {
      if (m.frame < start || m.frame >= start + n) continue;
      const uint32_t at = static_cast<uint32_t>(m.frame - start);
      const int kind = m.status & 0xF0;
      const int channel = m.status & 0x0F;
      if (dialect == Dialect::ClapNotes && kind == 0x90 && m.data2 > 0) {
        in.add(noteEvent(at, CLAP_EVENT_NOTE_ON, channel, m.data1, m.data2 / 127.0));
      } else if (dialect == Dialect::ClapNotes && (kind == 0x80 || kind == 0x90)) {
        in.add(noteEvent(at, CLAP_EVENT_NOTE_OFF, channel, m.data1, m.data2 / 127.0));
      } else {
        in.add(midiEvent(at, m.status, m.data1, m.data2));
      }
    }
    if (extras) {
      extras(start, n, in);
      in.sortByTime();
    }
    instance.process(out.left.data() + start, out.right.data() + start, static_cast<uint32_t>(n), in, reported, bpm);
  }
  return out;
}

}  // namespace tamblin::test::clap
