// The instrument: construction order, parameters, programs, identity and the block entries.
#include "uPlugin.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "APluginEditor.h"

namespace {

// Writes `text` with its terminating zero into a host buffer of at most `capacity` bytes.
void copyText(char* destination, const char* text, std::size_t capacity) {
  if (!destination || capacity == 0) return;
  const std::size_t length = std::min(std::strlen(text), capacity - 1);
  std::memcpy(destination, text, length);
  destination[length] = '\0';
}

// Hosts size names and labels generously; no text written here is longer than this.
constexpr std::size_t kHostTextCapacity = 64;

}  // namespace

// ---- Construction and destruction -------------------------------------------------------------------

APlugin::APlugin(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, kNumPrograms, tamblin::kNumParams) {
  setEditor(new APluginEditor(this));
  hasVu(false);
  setNumInputs(2);
  setNumOutputs(2);
  canMono(true);
  canProcessReplacing(true);
  isSynth(true);
  setUniqueID(fourChars('T', 'm', 'b', 'l'));
  setProgram(0);
}

APlugin::~APlugin() {
  // The bridge and its window go first: the window may still call into the instrument until then.
  delete editor;
  editor = nullptr;
}

// ---- Parameters --------------------------------------------------------------------------------------

void APlugin::setParameter(VstInt32 index, float value) { instrument.setParameter(index, value); }

float APlugin::getParameter(VstInt32 index) {
  return index >= 0 && index < tamblin::kNumParams ? instrument.parameter(index) : 0.0f;
}

void APlugin::getParameterName(VstInt32 index, char* text) {
  copyText(text, tamblin::parameterName(index), kHostTextCapacity);
}

void APlugin::getParameterLabel(VstInt32, char* label) { copyText(label, "", kHostTextCapacity); }

// Value texts live in the editor only: the host's buffer keeps what it held.
void APlugin::getParameterDisplay(VstInt32, char*) {}

void APlugin::refreshEditor() {
  if (editor) editor->update();
}

// ---- Programs ----------------------------------------------------------------------------------------

void APlugin::setProgram(VstInt32 program) {
  instrument.setSampleRate(static_cast<float>(updateSampleRate()));
  if (program < 0 || program >= kNumPrograms) return;
  storeCurProgram(program);
  instrument.selectProgram(program);
  if (!isEditorClosed() && editor) editor->update();
}

void APlugin::setProgramName(char* name) {
  if (!name) return;
  instrument.setProgramName(instrument.currentProgram(), name);
  if (!isEditorClosed() && editor) editor->update();
}

void APlugin::getProgramName(char* name) { copyText(name, instrument.program(instrument.currentProgram()).getName(), kVstMaxProgNameLen); }

bool APlugin::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
  if (index < 0 || index >= kNumPrograms || !text) return false;
  copyText(text, instrument.program(index).getName(), kVstMaxProgNameLen);
  return true;
}

// ---- Identity and capabilities -------------------------------------------------------------------------

bool APlugin::getEffectName(char* name) {
  if (!name) return false;
  copyText(name, "Tamblin", kVstMaxEffectNameLen);
  return true;
}

bool APlugin::getVendorString(char* text) {
  if (!text) return false;
  copyText(text, "Brightmoor", kVstMaxVendorStrLen);
  return true;
}

bool APlugin::getProductString(char* text) {
  if (!text) return false;
  copyText(text, "Tamblin", kVstMaxProductStrLen);
  return true;
}

VstInt32 APlugin::getVendorVersion() { return 1; }

VstInt32 APlugin::canDo(char* text) {
  if (!text) return -1;
  return std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0 ? 1 : -1;
}

bool APlugin::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  if (index < 0 || index > 1 || !properties) return false;
  std::snprintf(properties->label, sizeof properties->label, "Tamblin %d", static_cast<int>(index + 1));
  properties->flags = kVstPinIsActive | kVstPinIsStereo;
  return true;
}

float APlugin::getVu() { return 0.0f; }
void APlugin::suspend() {}
void APlugin::resume() { wantEvents(1); }

void APlugin::setSampleRate(float rate) {
  AudioEffectX::setSampleRate(rate);
  instrument.setSampleRate(rate);
}

void APlugin::setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
  AudioEffectX::setBlockSizeAndSampleRate(newBlockSize, newSampleRate);
  instrument.setSampleRate(newSampleRate);
}

// ---- Audio thread ------------------------------------------------------------------------------------

VstInt32 APlugin::processEvents(VstEvents* events) {
  if (!events || events->numEvents <= 0) return 1;
  // Batches are handed over in pieces through a small stack buffer: nothing is allocated.
  constexpr int kPiece = 64;
  tamblin::MidiMessage piece[kPiece];
  int used = 0;
  // The record declares two pointers but holds numEvents of them: index past the declared array
  // through a plain pointer, not the array member.
  VstEvent* const* list = events->events;
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = list[i];
    if (!event || event->type != kVstMidiType) continue;
    const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
    tamblin::MidiMessage& message = piece[used++];
    message.deltaFrames = midi->deltaFrames;
    for (int b = 0; b < 4; ++b) message.bytes[b] = static_cast<uint8_t>(midi->midiData[b]);
    if (used == kPiece) {
      instrument.processEvents(piece, used);
      used = 0;
    }
  }
  if (used > 0) instrument.processEvents(piece, used);
  return 1;
}

void APlugin::process(float** inputs, float** outputs, VstInt32 sampleFrames) { render(inputs, outputs, sampleFrames); }

void APlugin::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  render(inputs, outputs, sampleFrames);
}

void APlugin::render(float** inputs, float** outputs, VstInt32 sampleFrames) {
  if (sampleFrames <= 0 || !outputs) return;
  const float* input = inputs ? inputs[0] : nullptr;
  instrument.render(input, outputs[0], outputs[1], sampleFrames);
}
