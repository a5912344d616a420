// Writes the bundle's Turtle files (manifest, plug-in and UI description, factory presets) from the
// parameter descriptions and the factory bank, so that they never drift from the instrument.
//   tamblin-lv2-turtle <bundle folder> <DSP library file name> <UI library file name>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "FactoryBank.h"
#include "ParameterPorts.h"
#include "Ports.h"

namespace {

using namespace tamblin;
using namespace tamblin::lv2;

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n\n";

// The shortest decimal that reads back as the same 32-bit float, always with a point or an exponent
// so that Turtle types it as a decimal or double.
std::string number(float value) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  std::string result = text;
  if (result.find_first_of(".e") == std::string::npos) result += ".0";
  return result;
}

std::string quoted(const std::string& text) {
  std::string result = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') result.push_back('\\');
    result.push_back(c);
  }
  return result + "\"";
}

std::string presetUri(int program) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", program);
  return std::string("<") + kPresetUriPrefix + text + ">";
}


std::string manifest(const std::string& dspFile, const std::string& uiFile) {
  std::ostringstream out;
  out << kPrefixes;
  out << "<" << kPluginUri << ">\n  a lv2:Plugin , lv2:InstrumentPlugin ;\n"
      << "  lv2:binary <" << dspFile << "> ;\n  rdfs:seeAlso <tamblin.ttl> .\n\n";
  out << "<" << kUiUri << ">\n  a ui:X11UI ;\n  ui:binary <" << uiFile << "> ;\n"
      << "  rdfs:seeAlso <tamblin.ttl> .\n";
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    out << "\n"
        << presetUri(p) << "\n  a pset:Preset ;\n  lv2:appliesTo <" << kPluginUri << "> ;\n"
        << "  rdfs:label " << quoted(kFactoryBank[p].name) << " ;\n  rdfs:seeAlso <presets.ttl> .\n";
  }
  return out.str();
}

std::string parameterPortText(int index) {
  const ParameterPort port = parameterPort(index);
  std::ostringstream out;
  out << "    a lv2:InputPort , lv2:ControlPort ;\n"
      << "    lv2:index " << kFirstParameterPort + index << " ;\n"
      << "    lv2:symbol " << quoted(port.symbol) << " ;\n"
      << "    lv2:name " << quoted(port.name) << " ;\n"
      << "    lv2:default " << number(port.defaultValue) << " ;\n"
      << "    lv2:minimum 0.0 ;\n    lv2:maximum 1.0";
  if (!port.choices.empty()) {
    out << " ;\n    lv2:portProperty lv2:enumeration ;\n    lv2:scalePoint";
    const int count = static_cast<int>(port.choices.size());
    for (int k = 0; k < count; ++k) {
      out << (k == 0 ? " " : " ,\n      ") << "[ rdfs:label " << quoted(port.choices[static_cast<size_t>(k)])
          << " ; rdf:value " << number(choiceCentre(k, count)) << " ]";
    }
  }
  return out.str();
}

std::string plugin() {
  std::ostringstream out;
  out << kPrefixes << "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n\n";
  out << "<" << kPluginUri << ">\n"
      << "  a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
      << "  doap:name \"Tamblin\" ;\n"
      << "  doap:maintainer [ foaf:name \"Brightmoor\" ] ;\n"
      << "  lv2:minorVersion 0 ;\n  lv2:microVersion 0 ;\n"
      << "  lv2:requiredFeature urid:map ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable ;\n"
      << "  ui:ui <" << kUiUri << "> ;\n"
      << "  lv2:port";
  for (int index = 0; index < kNumParams; ++index) {
    out << (index == 0 ? " [\n" : " , [\n") << parameterPortText(index) << "\n  ]";
  }
  out << " , [\n"
      << "    a lv2:InputPort , atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports midi:MidiEvent , time:Position ;\n"
      << "    lv2:designation lv2:control ;\n"
      << "    lv2:index " << kEventsPort << " ;\n    lv2:symbol \"events\" ;\n    lv2:name \"Events\"\n"
      << "  ] , [\n"
      << "    a lv2:OutputPort , lv2:AudioPort ;\n    lv2:index " << kLeftOutPort << " ;\n"
      << "    lv2:symbol \"out_left\" ;\n    lv2:name \"Tamblin 1\"\n"
      << "  ] , [\n"
      << "    a lv2:OutputPort , lv2:AudioPort ;\n    lv2:index " << kRightOutPort << " ;\n"
      << "    lv2:symbol \"out_right\" ;\n    lv2:name \"Tamblin 2\"\n"
      << "  ] , [\n"
      << "    a lv2:OutputPort , lv2:ControlPort ;\n    lv2:index " << kGateLampPort << " ;\n"
      << "    lv2:symbol \"gate_step\" ;\n    lv2:name \"Gate Step\" ;\n"
      << "    lv2:minimum 0.0 ;\n    lv2:maximum " << number(kGateLampMaximum) << "\n"
      << "  ] , [\n"
      << "    a lv2:OutputPort , atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports patch:Message ;\n"
      << "    lv2:designation lv2:control ;\n"
      << "    lv2:index " << kNotifyPort << " ;\n    lv2:symbol \"notify\" ;\n    lv2:name \"Notify\" ;\n"
      << "    rdfs:comment \"A patch:Set for each parameter a mapped MIDI controller changed: patch:property <"
      << kParameterUriPrefix << "SYMBOL>, patch:value the new value as an atom:Float\"\n  ] .\n\n";
  out << "<" << kUiUri << ">\n  a ui:X11UI ;\n"
      << "  lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
      << "  lv2:optionalFeature ui:resize , urid:map ;\n"
      << "  lv2:extensionData ui:idleInterface ;\n"
      << "  ui:portNotification [ ui:plugin <" << kPluginUri << "> ; lv2:symbol \"gate_step\" ;"
      << " ui:protocol ui:floatProtocol ] , [ ui:plugin <" << kPluginUri << "> ; lv2:symbol \"notify\" ;"
      << " ui:protocol atom:eventTransfer ] .\n";
  return out.str();
}

std::string presets() {
  std::ostringstream out;
  out << kPrefixes;
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    out << presetUri(p) << "\n  a pset:Preset ;\n  lv2:appliesTo <" << kPluginUri << "> ;\n"
        << "  rdfs:label " << quoted(kFactoryBank[p].name) << " ;\n  lv2:port";
    for (int index = 0; index < kNumParams; ++index) {
      out << (index == 0 ? " [\n" : " , [\n") << "    lv2:symbol " << quoted(parameterPort(index).symbol)
          << " ;\n    pset:value " << number(programValue(p, index)) << "\n  ]";
    }
    out << " .\n\n";
  }
  return out.str();
}

bool write(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) std::cerr << "tamblin-lv2-turtle: cannot write " << path << "\n";
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: tamblin-lv2-turtle <bundle folder> <DSP library file> <UI library file>\n";
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  const bool written = write(folder + "manifest.ttl", manifest(argv[2], argv[3])) &&
                       write(folder + "tamblin.ttl", plugin()) && write(folder + "presets.ttl", presets());
  return written ? 0 : 1;
}
