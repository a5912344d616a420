// Loading plug-in libraries and the host's requests to the effect record.
#include "Plugin.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "SharedLibrary.h"

namespace tamblin::host {
namespace {

// Texts are written into buffers far larger than the interface's maxima: plug-ins overrun those.
constexpr size_t kTextBuffer = 512;
// More pins than any instrument has; a larger count means the record is not sane.
constexpr int kMaxPins = 256;

std::string hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// A record with a wrong magic cannot be trusted even to close, so its library is never unloaded.
void keepLoaded(std::shared_ptr<PluginLibrary> library) {
  static std::vector<std::shared_ptr<PluginLibrary>> untrusted;
  untrusted.push_back(std::move(library));
}

}  // namespace

PluginLibrary::PluginLibrary(void* handle, EntryFunction entry, std::string path)
    : handle_(handle), entry_(entry), path_(std::move(path)) {}

PluginLibrary::~PluginLibrary() { closeSharedLibrary(handle_); }

std::shared_ptr<PluginLibrary> PluginLibrary::open(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) throw LoadError(path + ": no such plug-in file");
  if (std::filesystem::is_directory(path, error)) throw LoadError(path + ": is a directory, not a plug-in library");
  if (!std::ifstream(path)) throw LoadError(path + ": cannot read plug-in file: " + std::strerror(errno));
  std::string reason;
  void* handle = openSharedLibrary(path, reason);
  if (handle == nullptr) throw LoadError(path + ": not a loadable shared library (" + reason + ")");
  void* symbol = findSharedSymbol(handle, "VSTPluginMain");
  if (symbol == nullptr) symbol = findSharedSymbol(handle, "main");
  if (symbol == nullptr) {
    closeSharedLibrary(handle);
    throw LoadError(path + ": not a VST 2 plug-in (exports neither VSTPluginMain nor main)");
  }
  EntryFunction entry;
  static_assert(sizeof entry == sizeof symbol);
  std::memcpy(&entry, &symbol, sizeof entry);
  return std::shared_ptr<PluginLibrary>(new PluginLibrary(handle, entry, path));
}

std::unique_ptr<Plugin> Plugin::load(const std::string& path, Host& host) {
  auto library = PluginLibrary::open(path);
  AEffect* effect = host.callEntry(library->entry());
  if (effect == nullptr) throw LoadError(path + ": the plug-in's entry function returned no effect");
  if (effect->magic != kEffectMagic) {
    keepLoaded(std::move(library));
    throw LoadError(path + ": not a VST 2 plug-in (effect magic " + hex(static_cast<uint32_t>(effect->magic)) +
                    ", expected 'VstP')");
  }
  return std::unique_ptr<Plugin>(new Plugin(effect, host, std::move(library), path));
}

std::unique_ptr<Plugin> Plugin::create(EntryFunction entry, Host& host, const std::string& origin) {
  AEffect* effect = host.callEntry(entry);
  if (effect == nullptr) throw LoadError(origin + ": the plug-in's entry function returned no effect");
  if (effect->magic != kEffectMagic) {
    throw LoadError(origin + ": not a VST 2 plug-in (effect magic " + hex(static_cast<uint32_t>(effect->magic)) +
                    ", expected 'VstP')");
  }
  return std::unique_ptr<Plugin>(new Plugin(effect, host, nullptr, origin));
}

Plugin::Plugin(AEffect* effect, Host& host, std::shared_ptr<PluginLibrary> library, std::string origin)
    : effect_(effect), host_(host), library_(std::move(library)), origin_(std::move(origin)) {
  host_.adopt(effect_);
  auto pinsOk = [](int count) { return count >= 0 && count <= kMaxPins; };
  if (!pinsOk(effect_->numInputs) || !pinsOk(effect_->numOutputs) || effect_->numParams < 0 ||
      effect_->numPrograms < 0 || effect_->dispatcher == nullptr) {
    host_.release(effect_);
    throw LoadError(origin_ + ": the effect record is not sane (" + std::to_string(effect_->numInputs) + " inputs, " +
                    std::to_string(effect_->numOutputs) + " outputs)");
  }
  dispatch(effOpen);
}

Plugin::~Plugin() {
  if (on_) switchOff();
  dispatch(effClose);
  host_.release(effect_);
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) const {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Plugin::configure(double sampleRate, int blockSize) {
  dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  dispatch(effSetBlockSize, 0, blockSize);
}

void Plugin::switchOn() {
  dispatch(effMainsChanged, 0, 1);
  on_ = true;
}

void Plugin::switchOff() {
  dispatch(effMainsChanged, 0, 0);
  on_ = false;
}

std::string Plugin::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) const {
  char buffer[kTextBuffer] = {};
  dispatch(opcode, index, value, buffer);
  buffer[kTextBuffer - 1] = '\0';
  return buffer;
}

std::string Plugin::effectName() const { return text(effGetEffectName); }
std::string Plugin::vendor() const { return text(effGetVendorString); }
std::string Plugin::product() const { return text(effGetProductString); }
int Plugin::vendorVersion() const { return static_cast<int>(dispatch(effGetVendorVersion)); }
int Plugin::vstVersion() const { return static_cast<int>(dispatch(effGetVstVersion)); }
int Plugin::category() const { return static_cast<int>(dispatch(effGetPlugCategory)); }

int Plugin::program() const { return static_cast<int>(dispatch(effGetProgram)); }

void Plugin::setProgram(int program) {
  dispatch(effBeginSetProgram);
  dispatch(effSetProgram, 0, program);
  dispatch(effEndSetProgram);
}

std::string Plugin::currentProgramName() const { return text(effGetProgramName); }

void Plugin::setProgramName(const std::string& name) {
  std::string copy = name;
  dispatch(effSetProgramName, 0, 0, copy.data());
}

std::string Plugin::programName(int program) const {
  char buffer[kTextBuffer] = {};
  if (dispatch(effGetProgramNameIndexed, program, -1, buffer) != 0) {
    buffer[kTextBuffer - 1] = '\0';
    return buffer;
  }
  // Without indexed names the program has to be visited; the current one is restored after.
  auto* self = const_cast<Plugin*>(this);
  int current = program == this->program() ? -1 : this->program();
  if (current >= 0) self->dispatch(effSetProgram, 0, program);
  std::string name = currentProgramName();
  if (current >= 0) self->dispatch(effSetProgram, 0, current);
  return name;
}

float Plugin::parameter(int index) const { return effect_->getParameter(effect_, index); }
void Plugin::setParameter(int index, float value) { effect_->setParameter(effect_, index, value); }
std::string Plugin::parameterName(int index) const { return text(effGetParamName, index); }
std::string Plugin::parameterDisplay(int index) const { return text(effGetParamDisplay, index); }
std::string Plugin::parameterLabel(int index) const { return text(effGetParamLabel, index); }

bool Plugin::canDo(const char* capability) const {
  return dispatch(effCanDo, 0, 0, const_cast<char*>(capability)) > 0;
}

void Plugin::sendEvents(VstEvents* events) { dispatch(effProcessEvents, 0, 0, events); }

void Plugin::process(float** inputs, float** outputs, int frames) {
  for (int channel = 0; channel < effect_->numOutputs; ++channel)
    std::fill(outputs[channel], outputs[channel] + frames, 0.0f);
  if (canReplacing() && effect_->processReplacing != nullptr)
    effect_->processReplacing(effect_, inputs, outputs, frames);
  else if (effect_->process != nullptr)
    effect_->process(effect_, inputs, outputs, frames);
}

}  // namespace tamblin::host
