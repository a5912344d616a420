// A small VST 3 host for the tests and the Windows check: the module loaded as hosts load it, one
// instance (component and controller apart, connected, the controller following the component's
// state), blocks processed with notes, mapped controllers, parameter changes and tempo, and the
// golden phrase rendered through it.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <string>
#include <vector>

#include "HostObjects.h"
#include "support/GoldenPhrase.h"

namespace tamblin::test::vst3host {

// The module: loaded, entered, its factory taken; left and unloaded in the destructor.
class Module {
 public:
  explicit Module(const std::string& path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
    if (handle_ == nullptr) {
      error = "LoadLibrary failed";
      return;
    }
    auto enter = reinterpret_cast<bool (*)()>(reinterpret_cast<void*>(GetProcAddress(handle_, "InitDll")));
    exit_ = reinterpret_cast<bool (*)()>(reinterpret_cast<void*>(GetProcAddress(handle_, "ExitDll")));
    auto get = reinterpret_cast<IPluginFactory* (VST3_API*)()>(
        reinterpret_cast<void*>(GetProcAddress(handle_, "GetPluginFactory")));
    if (enter == nullptr || !enter()) error = "InitDll missing or failed";
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      error = dlerror();
      return;
    }
    auto enter = reinterpret_cast<bool (*)(void*)>(dlsym(handle_, "ModuleEntry"));
    exit_ = reinterpret_cast<bool (*)()>(dlsym(handle_, "ModuleExit"));
    auto get = reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle_, "GetPluginFactory"));
    if (enter == nullptr || !enter(handle_)) error = "ModuleEntry missing or failed";
#endif
    if (get == nullptr) error = "no GetPluginFactory";
    if (error.empty()) factory = get();
    if (factory == nullptr && error.empty()) error = "no factory";
  }
  ~Module() {
    if (factory != nullptr) factory->release();
    if (exit_ != nullptr) exit_();
#if defined(_WIN32)
    if (handle_ != nullptr) FreeLibrary(handle_);
#else
    if (handle_ != nullptr) dlclose(handle_);
#endif
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  IPluginFactory* factory = nullptr;
  std::string error;

 private:
#if defined(_WIN32)
  HMODULE handle_ = nullptr;
#else
  void* handle_ = nullptr;
#endif
  bool (*exit_)() = nullptr;
};

template <typename Interface>
Interface* queryOf(FUnknown* object) {
  void* found = nullptr;
  if (object == nullptr || object->queryInterface(Interface::iid.data(), &found) != kResultOk) return nullptr;
  return static_cast<Interface*>(found);
}

// The first class of the factory in a category.
inline bool classOf(IPluginFactory* factory, const char* category, TUID cid) {
  for (int32 i = 0; i < factory->countClasses(); ++i) {
    PClassInfo info{};
    if (factory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, category) == 0) {
      std::memcpy(cid, info.cid, sizeof(TUID));
      return true;
    }
  }
  return false;
}

// One instance as a host that keeps the component and controller apart makes it.
class Instance {
 public:
  explicit Instance(IPluginFactory* factory, bool connect = true) {
    TUID cid{};
    if (!classOf(factory, kVstAudioEffectClass, cid)) return;
    void* object = nullptr;
    if (factory->createInstance(cid, IComponent::iid.data(), &object) != kResultOk) return;
    component = static_cast<IComponent*>(object);
    component->initialize(&host);
    processor = queryOf<IAudioProcessor>(component);
    TUID controllerCid{};
    if (component->getControllerClassId(controllerCid) != kResultOk) return;
    object = nullptr;
    if (factory->createInstance(controllerCid, IEditController::iid.data(), &object) != kResultOk) return;
    controller = static_cast<IEditController*>(object);
    controller->initialize(&host);
    controller->setComponentHandler(&handler);
    if (connect) {
      componentPoint = queryOf<IConnectionPoint>(component);
      controllerPoint = queryOf<IConnectionPoint>(controller);
      if (componentPoint != nullptr && controllerPoint != nullptr) {
        componentPoint->connect(controllerPoint);
        controllerPoint->connect(componentPoint);
      }
    }
    syncController();
  }
  ~Instance() {
    stop();
    if (componentPoint != nullptr && controllerPoint != nullptr) {
      componentPoint->disconnect(controllerPoint);
      controllerPoint->disconnect(componentPoint);
    }
    for (FUnknown* point : {static_cast<FUnknown*>(componentPoint), static_cast<FUnknown*>(controllerPoint)}) {
      if (point != nullptr) point->release();
    }
    if (controller != nullptr) {
      controller->setComponentHandler(nullptr);
      controller->terminate();
      controller->release();
    }
    if (processor != nullptr) processor->release();
    if (component != nullptr) {
      component->terminate();
      component->release();
    }
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool valid() const { return component != nullptr && processor != nullptr && controller != nullptr; }

  // The component's state handed to the controller, as hosts do after creating both or loading one.
  bool syncController() {
    MemoryStream stream;
    if (component->getState(&stream) != kResultOk) return false;
    stream.rewind();
    return controller->setComponentState(&stream) == kResultOk;
  }

  bool start(double rate, int32 maxBlock) {
    ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
    if (processor->setupProcessing(setup) != kResultOk) return false;
    component->activateBus(kAudio, kOutput, 0, 1);
    component->activateBus(kEvent, kInput, 0, 1);
    if (component->setActive(1) != kResultOk) return false;
    processor->setProcessing(1);
    started_ = true;
    return true;
  }
  void stop() {
    if (!started_) return;
    processor->setProcessing(0);
    component->setActive(0);
    started_ = false;
  }

  // One block into left/right (either may be null), with the host's tempo when bpm > 0.
  tresult block(int32 frames, float* left, float* right, EventList* events, ParameterChanges* changes,
                double bpm, ParameterChanges* outChanges = nullptr) {
    float* channels[2] = {left, right};
    AudioBusBuffers output{};
    output.numChannels = 2;
    output.channelBuffers32 = channels;
    ProcessContext context{};
    context.sampleRate = 44100.0;
    if (bpm > 0.0) {
      context.state = ProcessContext::kTempoValid;
      context.tempo = bpm;
    }
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.numOutputs = 1;
    data.outputs = &output;
    data.inputEvents = events;
    data.inputParameterChanges = changes;
    data.outputParameterChanges = outChanges;
    data.processContext = &context;
    return processor->process(data);
  }

  // The parameter the controller maps a controller number (or kPitchBend) to; false for none.
  bool mapped(int16 number, ParamID& id) {
    IMidiMapping* mapping = queryOf<IMidiMapping>(controller);
    if (mapping == nullptr) return false;
    const bool found = mapping->getMidiControllerAssignment(0, 0, number, id) == kResultOk;
    mapping->release();
    return found;
  }

  HostApplication host;
  ComponentHandler handler;
  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  IConnectionPoint* componentPoint = nullptr;
  IConnectionPoint* controllerPoint = nullptr;

 private:
  bool started_ = false;
};

// The program parameter's id: the one flagged as the program change.
inline ParamID programParameter(IEditController* controller) {
  for (int32 i = 0; i < controller->getParameterCount(); ++i) {
    ParameterInfo info{};
    if (controller->getParameterInfo(i, info) == kResultOk && (info.flags & ParameterInfo::kIsProgramChange))
      return info.id;
  }
  return 0xFFFFFFFFu;
}

struct Stereo {
  std::vector<float> left, right;
  Stereo(int frames, float fill) : left(static_cast<size_t>(frames), fill), right(static_cast<size_t>(frames), fill) {}
};

// A parameter change the host makes at `frame`, or its tempo from there on (id unused, bpm > 0).
struct HostChange {
  int frame;
  ParamID id;
  double value;
};

// The phrase through an instance in blocks of `block` frames at 44.1 kHz: the program selected through
// the program parameter on frame 0, notes as events, controllers and bends through the MIDI mapping,
// the host's changes on their frames, tempo `bpm` (none when 0) until `tempoChange` frame, then `bpm2`.
inline Stereo playPhrase(Instance& instance, int program, const std::vector<TimedMessage>& phrase, int frames,
                         int block, const std::vector<HostChange>& changes = {}, double bpm = 0.0,
                         int tempoChange = -1, double bpm2 = 0.0) {
  Stereo out(frames, 99.0f);
  if (!instance.valid() || !instance.start(44100.0, block)) return out;
  const ParamID programId = programParameter(instance.controller);
  for (int start = 0; start < frames; start += block) {
    const int n = std::min(block, frames - start);
    EventList events;
    ParameterChanges parameters;
    if (start == 0) {
      const double value = static_cast<double>(program) / 15.0;
      parameters.add(programId, 0, value);
      instance.controller->setParamNormalized(programId, value);
    }
    for (const TimedMessage& m : phrase) {
      if (m.frame < start || m.frame >= start + n) continue;
      const int32 at = m.frame - start;
      const int status = m.status & 0xF0, channel = m.status & 0x0F;
      ParamID id = 0;
      if (status == 0x90) {
        events.noteOn(at, channel, m.data1, static_cast<float>(m.data2 / 127.0));
      } else if (status == 0x80) {
        events.noteOff(at, channel, m.data1, static_cast<float>(m.data2 / 127.0));
      } else if (status == 0xB0 && instance.mapped(static_cast<int16>(m.data1), id)) {
        parameters.add(id, at, m.data2 / 127.0);
      } else if (status == 0xE0 && instance.mapped(kPitchBend, id)) {
        parameters.add(id, at, ((m.data2 << 7) | m.data1) / 16383.0);
      }
    }
    for (const HostChange& c : changes) {
      if (c.frame >= start && c.frame < start + n) parameters.add(c.id, c.frame - start, c.value);
    }
    const double tempo = tempoChange >= 0 && start >= tempoChange ? bpm2 : bpm;
    instance.block(n, out.left.data() + start, out.right.data() + start, &events, &parameters, tempo);
  }
  instance.stop();
  return out;
}

}  // namespace tamblin::test::vst3host
