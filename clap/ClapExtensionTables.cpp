// The extension tables a host asks the plug-in for, each entry checking the instance and its
// arguments before forwarding.
#include <cstdio>
#include <cstring>

#include "ClapEditor.h"
#include "ClapParameters.h"
#include "ClapPlugin.h"
#include "uEditor.h"

namespace tamblin::clap {

namespace {

void copyText(char* destination, std::size_t capacity, const std::string& text) {
  if (destination == nullptr || capacity == 0) return;
  const std::size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

// ---- audio-ports: one stereo output ----
uint32_t audioPortCount(const clap_plugin_t* p, bool isInput) {
  return Plugin::from(p) != nullptr && !isInput ? 1 : 0;
}
bool audioPortInfo(const clap_plugin_t* p, uint32_t index, bool isInput, clap_audio_port_info_t* info) {
  if (Plugin::from(p) == nullptr || isInput || index != 0 || info == nullptr) return false;
  std::memset(info, 0, sizeof *info);
  info->id = 0;
  copyText(info->name, sizeof info->name, "Tamblin Out");
  info->flags = CLAP_AUDIO_PORT_IS_MAIN;
  info->channel_count = 2;
  info->port_type = CLAP_PORT_STEREO;
  info->in_place_pair = CLAP_INVALID_ID;
  return true;
}
const clap_plugin_audio_ports_t kAudioPorts = {audioPortCount, audioPortInfo};

// ---- note-ports: one input, CLAP notes and MIDI ----
uint32_t notePortCount(const clap_plugin_t* p, bool isInput) { return Plugin::from(p) != nullptr && isInput ? 1 : 0; }
bool notePortInfo(const clap_plugin_t* p, uint32_t index, bool isInput, clap_note_port_info_t* info) {
  if (Plugin::from(p) == nullptr || !isInput || index != 0 || info == nullptr) return false;
  std::memset(info, 0, sizeof *info);
  info->id = 0;
  info->supported_dialects = CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI;
  info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
  copyText(info->name, sizeof info->name, "Tamblin In");
  return true;
}
const clap_plugin_note_ports_t kNotePorts = {notePortCount, notePortInfo};

// ---- params ----
uint32_t paramCount(const clap_plugin_t* p) { return Plugin::from(p) != nullptr ? kNumParams : 0; }
bool paramInfo(const clap_plugin_t* p, uint32_t index, clap_param_info_t* info) {
  const std::optional<ParameterDescription> description = describeParameter(index);
  if (Plugin::from(p) == nullptr || !description || info == nullptr) return false;
  std::memset(info, 0, sizeof *info);
  info->id = index;
  info->flags = description->flags;
  info->cookie = nullptr;
  copyText(info->name, sizeof info->name, description->name);
  copyText(info->module, sizeof info->module, description->module);
  info->min_value = description->minimum;
  info->max_value = description->maximum;
  info->default_value = description->defaultValue;
  return true;
}
bool paramValue(const clap_plugin_t* p, clap_id id, double* value) {
  const Plugin* plugin = Plugin::from(p);
  return plugin != nullptr && plugin->parameterValue(id, value);
}
bool paramValueToText(const clap_plugin_t* p, clap_id id, double value, char* buffer, uint32_t capacity) {
  if (Plugin::from(p) == nullptr || buffer == nullptr || capacity == 0) return false;
  const std::optional<std::string> text = parameterText(id, value);
  if (!text) return false;
  copyText(buffer, capacity, *text);
  return true;
}
bool paramTextToValue(const clap_plugin_t* p, clap_id id, const char* text, double* value) {
  if (Plugin::from(p) == nullptr || value == nullptr) return false;
  const std::optional<double> parsed = parameterFromText(id, text);
  if (!parsed) return false;
  *value = *parsed;
  return true;
}
void paramFlush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
  if (Plugin* plugin = Plugin::from(p)) plugin->flush(in, out);
}
const clap_plugin_params_t kParams = {paramCount, paramInfo, paramValue, paramValueToText, paramTextToValue,
                                      paramFlush};

// ---- state ----
bool stateSave(const clap_plugin_t* p, const clap_ostream_t* stream) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr && plugin->saveState(stream);
}
bool stateLoad(const clap_plugin_t* p, const clap_istream_t* stream) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr && plugin->loadState(stream);
}
const clap_plugin_state_t kState = {stateSave, stateLoad};

// ---- preset-load ----
bool presetFromLocation(const clap_plugin_t* p, uint32_t kind, const char* location, const char* key) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr && plugin->loadPreset(kind, location, key);
}
const clap_plugin_preset_load_t kPresetLoad = {presetFromLocation};

// ---- latency and render: no latency, the same sound offline and in real time ----
uint32_t latency(const clap_plugin_t*) { return 0; }
const clap_plugin_latency_t kLatency = {latency};
bool hardRealtime(const clap_plugin_t*) { return false; }
bool setRenderMode(const clap_plugin_t* p, clap_plugin_render_mode mode) {
  return Plugin::from(p) != nullptr && (mode == CLAP_RENDER_REALTIME || mode == CLAP_RENDER_OFFLINE);
}
const clap_plugin_render_t kRender = {hardRealtime, setRenderMode};

// ---- gui: fixed size ----
ClapEditor* editorOf(const clap_plugin_t* p) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr ? &plugin->editor() : nullptr;
}
constexpr uint32_t kWidth = TPluginEditorWindow::kClientWidth;
constexpr uint32_t kHeight = TPluginEditorWindow::kClientHeight;

bool guiIsApiSupported(const clap_plugin_t* p, const char* api, bool floating) {
  const ClapEditor* editor = editorOf(p);
  return editor != nullptr && editor->isApiSupported(api, floating);
}
bool guiPreferredApi(const clap_plugin_t* p, const char** api, bool* floating) {
  if (editorOf(p) == nullptr || api == nullptr || floating == nullptr) return false;
  *api = ClapEditor::platformApi();
  *floating = false;
  return true;
}
bool guiCreate(const clap_plugin_t* p, const char* api, bool floating) {
  ClapEditor* editor = editorOf(p);
  return editor != nullptr && editor->create(api, floating);
}
void guiDestroy(const clap_plugin_t* p) {
  if (ClapEditor* editor = editorOf(p)) editor->destroy();
}
bool guiSetScale(const clap_plugin_t*, double) { return false; }  // drawn at one size
bool guiGetSize(const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
  if (editorOf(p) == nullptr || width == nullptr || height == nullptr) return false;
  *width = kWidth;
  *height = kHeight;
  return true;
}
bool guiCanResize(const clap_plugin_t*) { return false; }
bool guiResizeHints(const clap_plugin_t* p, clap_gui_resize_hints_t* hints) {
  if (editorOf(p) == nullptr || hints == nullptr) return false;
  *hints = clap_gui_resize_hints_t{false, false, true, kWidth, kHeight};
  return true;
}
bool guiAdjustSize(const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
  return guiGetSize(p, width, height);
}
bool guiSetSize(const clap_plugin_t* p, uint32_t width, uint32_t height) {
  return editorOf(p) != nullptr && width == kWidth && height == kHeight;
}
bool guiSetParent(const clap_plugin_t* p, const clap_window_t* window) {
  ClapEditor* editor = editorOf(p);
  return editor != nullptr && editor->setParent(window);
}
bool guiSetTransient(const clap_plugin_t*, const clap_window_t*) { return false; }  // embedded only
void guiSuggestTitle(const clap_plugin_t*, const char*) {}
bool guiShow(const clap_plugin_t* p) {
  ClapEditor* editor = editorOf(p);
  return editor != nullptr && editor->show();
}
bool guiHide(const clap_plugin_t* p) {
  ClapEditor* editor = editorOf(p);
  return editor != nullptr && editor->hide();
}
const clap_plugin_gui_t kGui = {guiIsApiSupported, guiPreferredApi, guiCreate,     guiDestroy,     guiSetScale,
                                guiGetSize,        guiCanResize,    guiResizeHints, guiAdjustSize, guiSetSize,
                                guiSetParent,      guiSetTransient, guiSuggestTitle, guiShow,       guiHide};

void onTimer(const clap_plugin_t* p, clap_id timer) {
  if (ClapEditor* editor = editorOf(p)) editor->onTimer(timer);
}
const clap_plugin_timer_support_t kTimerSupport = {onTimer};

void onFd(const clap_plugin_t* p, int fd, clap_posix_fd_flags_t) {
  if (ClapEditor* editor = editorOf(p)) editor->onFd(fd);
}
const clap_plugin_posix_fd_support_t kFdSupport = {onFd};

}  // namespace

const void* pluginExtension(const clap_plugin_t* plugin, const char* id) {
  if (Plugin::from(plugin) == nullptr || id == nullptr) return nullptr;
  struct Entry {
    const char* id;
    const void* table;
  };
  static const Entry kExtensions[] = {
      {CLAP_EXT_AUDIO_PORTS, &kAudioPorts}, {CLAP_EXT_NOTE_PORTS, &kNotePorts},
      {CLAP_EXT_PARAMS, &kParams},          {CLAP_EXT_STATE, &kState},
      {CLAP_EXT_PRESET_LOAD, &kPresetLoad}, {CLAP_EXT_PRESET_LOAD_COMPAT, &kPresetLoad},
      {CLAP_EXT_LATENCY, &kLatency},        {CLAP_EXT_RENDER, &kRender},
      {CLAP_EXT_GUI, &kGui},                {CLAP_EXT_TIMER_SUPPORT, &kTimerSupport},
#if !defined(_WIN32)
      {CLAP_EXT_POSIX_FD_SUPPORT, &kFdSupport},
#endif
  };
  for (const Entry& entry : kExtensions) {
    if (std::strcmp(id, entry.id) == 0) return entry.table;
  }
  return nullptr;
}

}  // namespace tamblin::clap
