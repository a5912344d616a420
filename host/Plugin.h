// A VST 2 plug-in as the host holds it: its library, its effect record and the requests made of it.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "DAEffectX.h"
#include "Host.h"

namespace tamblin::host {

using EntryFunction = AEffect*(VSTCALLBACK*)(audioMasterCallback);

// Why a library could not become a plug-in, in one line naming the library.
class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An open shared library; closed when destroyed.
class PluginLibrary {
 public:
  // Opens `path` and finds VSTPluginMain, else main.
  static std::shared_ptr<PluginLibrary> open(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  EntryFunction entry() const { return entry_; }
  const std::string& path() const { return path_; }

 private:
  PluginLibrary(void* handle, EntryFunction entry, std::string path);
  void* handle_;
  EntryFunction entry_;
  std::string path_;
};

class Plugin {
 public:
  // Loads a library with dlopen and makes one instance of its instrument.
  static std::unique_ptr<Plugin> load(const std::string& path, Host& host);
  // One instance from an entry function linked into this program.
  static std::unique_ptr<Plugin> create(EntryFunction entry, Host& host, const std::string& origin);

  // Switches the plug-in off if it is on, closes it and, last, its library.
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect* effect() const { return effect_; }
  const std::string& origin() const { return origin_; }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const;

  // Sample rate and block size, sent before the plug-in is switched on.
  void configure(double sampleRate, int blockSize);
  void switchOn();
  void switchOff();
  bool isOn() const { return on_; }

  int numPrograms() const { return effect_->numPrograms; }
  int numParams() const { return effect_->numParams; }
  int numInputs() const { return effect_->numInputs; }
  int numOutputs() const { return effect_->numOutputs; }
  bool canReplacing() const { return (effect_->flags & effFlagsCanReplacing) != 0; }

  std::string effectName() const;
  std::string vendor() const;
  std::string product() const;
  int vendorVersion() const;
  int vstVersion() const;
  int category() const;

  int program() const;
  void setProgram(int program);
  std::string programName(int program) const;  // without changing the current program
  std::string currentProgramName() const;
  // Renames the current program (effSetProgramName; VST 2 names hold 24 characters, longer ones are
  // passed whole for plug-ins that keep more).
  void setProgramName(const std::string& name);

  float parameter(int index) const;
  void setParameter(int index, float value);
  std::string parameterName(int index) const;
  std::string parameterDisplay(int index) const;
  std::string parameterLabel(int index) const;

  bool canDo(const char* capability) const;

  // Sends a batch of events (a VstEvents record).
  void sendEvents(VstEvents* events);
  // Renders one block into `outputs` (cleared first), with the replacing entry when there is one.
  void process(float** inputs, float** outputs, int frames);

 private:
  Plugin(AEffect* effect, Host& host, std::shared_ptr<PluginLibrary> library, std::string origin);
  std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0) const;

  AEffect* effect_;
  Host& host_;
  std::shared_ptr<PluginLibrary> library_;  // outlives the record
  std::string origin_;
  bool on_ = false;
};

}  // namespace tamblin::host
