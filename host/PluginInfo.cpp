// The --info report.
#include "PluginInfo.h"

#include <cstdio>

namespace tamblin::host {

std::string uniqueIdText(int32_t id) {
  auto bits = static_cast<uint32_t>(id);
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    auto c = static_cast<char>((bits >> shift) & 0xFF);
    if (c < 0x20 || c > 0x7E) {
      char number[16];
      std::snprintf(number, sizeof number, "0x%08X", bits);
      return number;
    }
    text += c;
  }
  return "'" + text + "'";
}

std::string flagsText(int32_t flags) {
  static constexpr std::pair<int32_t, const char*> kNames[] = {
      {effFlagsHasEditor, "editor"},        {effFlagsHasClip, "clip"},
      {effFlagsHasVu, "vu"},                {effFlagsCanMono, "mono"},
      {effFlagsCanReplacing, "replacing"},  {effFlagsProgramChunks, "chunks"},
      {effFlagsIsSynth, "synth"},           {effFlagsNoSoundInStop, "no-sound-in-stop"},
      {effFlagsExtIsAsync, "async"},        {effFlagsExtHasBuffer, "external-buffer"}};
  std::string text = std::to_string(flags);
  std::string names;
  int32_t known = 0;
  for (auto [bit, name] : kNames) {
    known |= bit;
    if (flags & bit) names += (names.empty() ? "" : ", ") + std::string(name);
  }
  if (flags & ~known) names += (names.empty() ? "" : ", ") + std::string("other bits");
  return names.empty() ? text : text + " (" + names + ")";
}

void printInfo(const Plugin& plugin, std::ostream& out) {
  const AEffect* effect = plugin.effect();
  static constexpr const char* kCategories[] = {"unknown", "effect", "synth", "analysis", "mastering",
                                                "spatializer", "room effect", "surround", "restoration",
                                                "offline", "shell", "generator"};
  int category = plugin.category();
  out << "Plug-in:      " << plugin.origin() << '\n';
  out << "Name:         " << plugin.effectName() << '\n';
  out << "Vendor:       " << plugin.vendor() << '\n';
  out << "Product:      " << plugin.product() << '\n';
  out << "Version:      " << plugin.vendorVersion() << " (record version " << effect->version << ")\n";
  out << "VST version:  " << plugin.vstVersion() << '\n';
  out << "Unique id:    " << uniqueIdText(effect->uniqueID) << '\n';
  out << "Category:     "
      << (category >= 0 && category < static_cast<int>(std::size(kCategories)) ? kCategories[category] : "other")
      << '\n';
  out << "Flags:        " << flagsText(effect->flags) << '\n';
  out << "Inputs:       " << effect->numInputs << '\n';
  out << "Outputs:      " << effect->numOutputs << '\n';
  out << "Latency:      " << effect->initialDelay << " frames\n";
  out << "Receives MIDI: " << (plugin.canDo("receiveVstMidiEvent") || plugin.canDo("receiveVstEvents") ? "yes" : "no")
      << '\n';

  out << "\nParameters (" << plugin.numParams() << "):\n";
  for (int i = 0; i < plugin.numParams(); ++i) {
    char value[32];
    std::snprintf(value, sizeof value, "%.6f", static_cast<double>(plugin.parameter(i)));
    std::string display = plugin.parameterDisplay(i);
    std::string label = plugin.parameterLabel(i);
    char index[16];
    std::snprintf(index, sizeof index, "%4d", i);
    out << index << "  " << plugin.parameterName(i) << " = " << value;
    if (!display.empty() || !label.empty()) out << "  [" << display << (label.empty() ? "" : " " + label) << "]";
    out << '\n';
  }

  out << "\nPrograms (" << plugin.numPrograms() << "), current " << plugin.program() << ":\n";
  for (int i = 0; i < plugin.numPrograms(); ++i) {
    char index[16];
    std::snprintf(index, sizeof index, "%4d", i);
    out << index << "  " << plugin.programName(i) << '\n';
  }
}

}  // namespace tamblin::host
