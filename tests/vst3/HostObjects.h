// What a VST 3 host hands a plug-in, for the tests: event lists, parameter changes, a memory stream,
// a recording component handler, the host context and a frame with a run loop. Objects live on the
// test's stack or in its containers: their reference counts are not kept.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "abi/Controller.h"
#include "abi/View.h"

namespace tamblin::test::vst3host {

using namespace ::vst3;
using ParameterInfo = ::vst3::ParameterInfo;  // not the parameter table's row

// One interface answered (and FUnknown), without reference counting.
template <typename Interface>
class HostObject : public Interface {
 public:
  tresult VST3_API queryInterface(const TUID iid, void** object) override {
    if (FUnknown::iid.matches(iid) || Interface::iid.matches(iid)) {
      *object = static_cast<Interface*>(this);
      return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  uint32 VST3_API addRef() override { return 1; }
  uint32 VST3_API release() override { return 1; }
};

class EventList final : public HostObject<IEventList> {
 public:
  int32 VST3_API getEventCount() override { return static_cast<int32>(events.size()); }
  tresult VST3_API getEvent(int32 index, Event& event) override {
    if (index < 0 || index >= getEventCount()) return kInvalidArgument;
    event = events[static_cast<size_t>(index)];
    return kResultOk;
  }
  tresult VST3_API addEvent(Event& event) override {
    events.push_back(event);
    return kResultOk;
  }

  void noteOn(int32 offset, int channel, int pitch, float velocity) {
    Event e{};
    e.sampleOffset = offset;
    e.type = Event::kNoteOnEvent;
    e.noteOn = NoteOnEvent{static_cast<int16>(channel), static_cast<int16>(pitch), 0.0f, velocity, 0, -1};
    events.push_back(e);
  }
  void noteOff(int32 offset, int channel, int pitch, float velocity) {
    Event e{};
    e.sampleOffset = offset;
    e.type = Event::kNoteOffEvent;
    e.noteOff = NoteOffEvent{static_cast<int16>(channel), static_cast<int16>(pitch), velocity, -1, 0.0f};
    events.push_back(e);
  }

  std::vector<Event> events;
};

class ValueQueue final : public HostObject<IParamValueQueue> {
 public:
  explicit ValueQueue(ParamID id) : id_(id) {}
  ParamID VST3_API getParameterId() override { return id_; }
  int32 VST3_API getPointCount() override { return static_cast<int32>(points.size()); }
  tresult VST3_API getPoint(int32 index, int32& offset, ParamValue& value) override {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    offset = points[static_cast<size_t>(index)].first;
    value = points[static_cast<size_t>(index)].second;
    return kResultOk;
  }
  tresult VST3_API addPoint(int32 offset, ParamValue value, int32& index) override {
    index = getPointCount();
    points.emplace_back(offset, value);
    return kResultOk;
  }
  std::vector<std::pair<int32, double>> points;

 private:
  ParamID id_;
};

class ParameterChanges final : public HostObject<IParameterChanges> {
 public:
  int32 VST3_API getParameterCount() override { return static_cast<int32>(queues.size()); }
  IParamValueQueue* VST3_API getParameterData(int32 index) override {
    return index >= 0 && index < getParameterCount() ? queues[static_cast<size_t>(index)].get() : nullptr;
  }
  IParamValueQueue* VST3_API addParameterData(const ParamID& id, int32& index) override {
    for (size_t q = 0; q < queues.size(); ++q) {
      if (queues[q]->getParameterId() == id) {
        index = static_cast<int32>(q);
        return queues[q].get();
      }
    }
    index = getParameterCount();
    queues.push_back(std::make_unique<ValueQueue>(id));
    return queues.back().get();
  }
  void add(ParamID id, int32 offset, double value) {
    int32 index = 0;
    addParameterData(id, index)->addPoint(offset, value, index);
  }
  std::vector<std::unique_ptr<ValueQueue>> queues;
};

class MemoryStream final : public HostObject<IBStream> {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes) : bytes(std::move(bytes)) {}
  tresult VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    if (numBytes < 0 || buffer == nullptr) return kInvalidArgument;
    const size_t n = std::min(static_cast<size_t>(numBytes), bytes.size() - std::min(position, bytes.size()));
    std::memcpy(buffer, bytes.data() + position, n);
    position += n;
    if (numBytesRead != nullptr) *numBytesRead = static_cast<int32>(n);
    return kResultOk;
  }
  tresult VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    if (numBytes < 0 || buffer == nullptr) return kInvalidArgument;
    if (bytes.size() < position + static_cast<size_t>(numBytes)) bytes.resize(position + static_cast<size_t>(numBytes));
    std::memcpy(bytes.data() + position, buffer, static_cast<size_t>(numBytes));
    position += static_cast<size_t>(numBytes);
    if (numBytesWritten != nullptr) *numBytesWritten = numBytes;
    return kResultOk;
  }
  tresult VST3_API seek(int64 pos, int32 mode, int64* result) override {
    const int64 base = mode == kIBSeekSet ? 0 : (mode == kIBSeekCur ? static_cast<int64>(position)
                                                                     : static_cast<int64>(bytes.size()));
    if (base + pos < 0) return kInvalidArgument;
    position = static_cast<size_t>(base + pos);
    if (result != nullptr) *result = static_cast<int64>(position);
    return kResultOk;
  }
  tresult VST3_API tell(int64* pos) override {
    if (pos == nullptr) return kInvalidArgument;
    *pos = static_cast<int64>(position);
    return kResultOk;
  }
  void rewind() { position = 0; }

  std::string bytes;
  size_t position = 0;
};

// Every call the controller makes, as "begin 31", "perform 31 0.25", "end 31", "restart 4".
class ComponentHandler final : public HostObject<IComponentHandler> {
 public:
  tresult VST3_API beginEdit(ParamID id) override { return record("begin " + std::to_string(id)); }
  tresult VST3_API performEdit(ParamID id, ParamValue value) override {
    lastValue = value;
    return record("perform " + std::to_string(id));
  }
  tresult VST3_API endEdit(ParamID id) override { return record("end " + std::to_string(id)); }
  tresult VST3_API restartComponent(int32 flags) override { return record("restart " + std::to_string(flags)); }
  tresult record(std::string call) {
    calls.push_back(std::move(call));
    return kResultOk;
  }
  std::vector<std::string> calls;
  double lastValue = -1.0;
};

class HostApplication final : public HostObject<IHostApplication> {
 public:
  tresult VST3_API getName(String128 name) override {
    const char text[] = "Tamblin test host";
    for (size_t i = 0; i < sizeof text; ++i) name[i] = static_cast<char16>(text[i]);
    return kResultOk;
  }
  tresult VST3_API createInstance(TUID, TUID, void** object) override {
    *object = nullptr;
    return kResultFalse;
  }
};

// The view's frame, which on Linux is also the host's run loop: it records the timers and handlers
// registered, and the test fires them.
class PlugFrame final : public IPlugFrame, public IRunLoop {
 public:
  tresult VST3_API queryInterface(const TUID iid, void** object) override {
    if (FUnknown::iid.matches(iid) || IPlugFrame::iid.matches(iid)) {
      *object = static_cast<IPlugFrame*>(this);
    } else if (IRunLoop::iid.matches(iid) && offerRunLoop) {
      *object = static_cast<IRunLoop*>(this);
    } else {
      *object = nullptr;
      return kNoInterface;
    }
    return kResultOk;
  }
  uint32 VST3_API addRef() override { return 1; }
  uint32 VST3_API release() override { return 1; }
  tresult VST3_API resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }
  tresult VST3_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) override {
    handlers.emplace_back(handler, fd);
    return kResultOk;
  }
  tresult VST3_API unregisterEventHandler(IEventHandler* handler) override {
    std::erase_if(handlers, [handler](const auto& h) { return h.first == handler; });
    return kResultOk;
  }
  tresult VST3_API registerTimer(ITimerHandler* handler, TimerInterval ms) override {
    timers.emplace_back(handler, ms);
    return kResultOk;
  }
  tresult VST3_API unregisterTimer(ITimerHandler* handler) override {
    std::erase_if(timers, [handler](const auto& t) { return t.first == handler; });
    return kResultOk;
  }
  void fire() {
    for (auto& [handler, fd] : std::vector(handlers)) handler->onFDIsSet(fd);
    for (auto& [handler, ms] : std::vector(timers)) handler->onTimer();
  }

  bool offerRunLoop = true;
  std::vector<std::pair<IEventHandler*, FileDescriptor>> handlers;
  std::vector<std::pair<ITimerHandler*, TimerInterval>> timers;
};

}  // namespace tamblin::test::vst3host
