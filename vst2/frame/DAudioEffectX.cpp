// The extended frame class: defaults of the extended operations and the second request table.
#include "DAudioEffectX.h"

#include <climits>
#include <cmath>

namespace {


// The key modifier travels in opt: its low byte after rounding to the nearest integer.
unsigned char modifierByte(float opt) {
  if (!std::isfinite(opt) || std::fabs(opt) > 2147483647.0f) return 0;
  return static_cast<unsigned char>(std::lround(opt) & 0xFF);
}

}  // namespace

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}
VstInt32 AudioEffectX::tempoAt(VstInt32 pos) { return saturateToInt32(callHost(audioMasterTempoAt, 0, pos)); }
VstInt32 AudioEffectX::processEvents(VstEvents*) { return 0; }
VstInt32 AudioEffectX::getNumAutomatableParameters() {
  return saturateToInt32(callHost(audioMasterGetNumAutomatableParameters));
}
VstInt32 AudioEffectX::getParameterQuantization() {
  return saturateToInt32(callHost(audioMasterGetParameterQuantization));
}
bool AudioEffectX::canParameterBeAutomated(VstInt32) { return true; }
bool AudioEffectX::string2parameter(VstInt32, char*) { return false; }
float AudioEffectX::getChannelParameter(VstInt32, VstInt32) { return 0.0f; }
VstInt32 AudioEffectX::getNumCategories() { return 1; }
bool AudioEffectX::getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
bool AudioEffectX::copyProgram(VstInt32) { return false; }
bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }
bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }
bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
  return callHost(audioMasterSizeWindow, width, height) != 0;
}
double AudioEffectX::updateSampleRate() {
  callHost(audioMasterGetSampleRate);
  return sampleRate;
}
VstInt32 AudioEffectX::updateBlockSize() {
  callHost(audioMasterGetBlockSize);
  return blockSize;
}
VstInt32 AudioEffectX::getInputLatency() { return saturateToInt32(callHost(audioMasterGetInputLatency)); }
VstInt32 AudioEffectX::getOutputLatency() { return saturateToInt32(callHost(audioMasterGetOutputLatency)); }
AEffect* AudioEffectX::getPreviousPlug(VstInt32) {
  return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}
AEffect* AudioEffectX::getNextPlug(VstInt32) { return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug)); }
void AudioEffectX::inputConnected(VstInt32, bool) {}
void AudioEffectX::outputConnected(VstInt32, bool) {}
bool AudioEffectX::getInputProperties(VstInt32, VstPinProperties*) { return false; }
bool AudioEffectX::getOutputProperties(VstInt32, VstPinProperties*) { return false; }
VstInt32 AudioEffectX::getPlugCategory() {
  return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}
VstInt32 AudioEffectX::willProcessReplacing() { return saturateToInt32(callHost(audioMasterWillReplaceOrAccumulate)); }
VstInt32 AudioEffectX::getCurrentProcessLevel() { return saturateToInt32(callHost(audioMasterGetCurrentProcessLevel)); }
VstInt32 AudioEffectX::getAutomationState() { return saturateToInt32(callHost(audioMasterGetAutomationState)); }
void AudioEffectX::wantAsyncOperation(bool state) { setFlag(effFlagsExtIsAsync, state); }
void AudioEffectX::hasExternalBuffer(bool state) { setFlag(effFlagsExtHasBuffer, state); }
VstInt32 AudioEffectX::reportCurrentPosition() { return 0; }
float* AudioEffectX::reportDestinationBuffer() { return nullptr; }
bool AudioEffectX::offlineRead(void* task, VstInt32 option, bool readSource) {
  return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}
bool AudioEffectX::offlineWrite(void* task, VstInt32 option) {
  return callHost(audioMasterOfflineWrite, 0, option, task) != 0;
}
bool AudioEffectX::offlineStart(void* files, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles) {
  return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, files) != 0;
}
VstInt32 AudioEffectX::offlineGetCurrentPass() { return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0; }
VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
  return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}
bool AudioEffectX::offlineNotify(void*, VstInt32, bool) { return false; }
bool AudioEffectX::offlinePrepare(void*, VstInt32) { return false; }
bool AudioEffectX::offlineRun(void*, VstInt32) { return false; }
VstInt32 AudioEffectX::offlineGetNumPasses() { return 0; }
VstInt32 AudioEffectX::offlineGetNumMetaPasses() { return 0; }
void AudioEffectX::setOutputSamplerate(float rate) { callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate); }
bool AudioEffectX::getSpeakerArrangement(void* input, void* output) {
  return callHost(audioMasterGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input), output) != 0;
}
bool AudioEffectX::getHostVendorString(char* text) {
  return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}
bool AudioEffectX::getHostProductString(char* text) {
  return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}
VstInt32 AudioEffectX::getHostVendorVersion() { return saturateToInt32(callHost(audioMasterGetVendorVersion)); }
VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) {
  return callHost(audioMasterVendorSpecific, a, b, p, f);
}
VstInt32 AudioEffectX::canHostDo(char* text) { return saturateToInt32(callHost(audioMasterCanDo, 0, 0, text)); }
void AudioEffectX::isSynth(bool state) { setFlag(effFlagsIsSynth, state); }
void AudioEffectX::noTail(bool state) { setFlag(effFlagsNoSoundInStop, state); }
VstInt32 AudioEffectX::getHostLanguage() { return saturateToInt32(callHost(audioMasterGetLanguage)); }
void* AudioEffectX::openWindow(void* window) {
  return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}
bool AudioEffectX::closeWindow(void* window) { return callHost(audioMasterCloseWindow, 0, 0, window) != 0; }
void* AudioEffectX::getDirectory() { return reinterpret_cast<void*>(callHost(audioMasterGetDirectory)); }
bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
bool AudioEffectX::processVariableIo(void*) { return false; }
bool AudioEffectX::setSpeakerArrangement(VstIntPtr, void*) { return false; }
void AudioEffectX::setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
  blockSize = newBlockSize;
  sampleRate = newSampleRate;
}
bool AudioEffectX::setBypass(bool) { return false; }
bool AudioEffectX::getEffectName(char*) { return false; }
bool AudioEffectX::getErrorText(char*) { return false; }
bool AudioEffectX::getVendorString(char*) { return false; }
bool AudioEffectX::getProductString(char*) { return false; }
VstInt32 AudioEffectX::getVendorVersion() { return 0; }
VstIntPtr AudioEffectX::vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }
VstInt32 AudioEffectX::canDo(char*) { return 0; }
void* AudioEffectX::getIcon() { return nullptr; }
bool AudioEffectX::setViewPosition(VstInt32, VstInt32) { return false; }
VstInt32 AudioEffectX::getGetTailSize() { return 0; }
VstInt32 AudioEffectX::fxIdle() { return 0; }
bool AudioEffectX::getParameterProperties(VstInt32, void*) { return false; }
bool AudioEffectX::keysRequired() { return false; }
VstInt32 AudioEffectX::getVstVersion() { return 2200; }
VstInt32 AudioEffectX::getMidiProgramName(VstInt32, void*) { return 0; }
VstInt32 AudioEffectX::getCurrentMidiProgram(VstInt32, void*) { return -1; }
VstInt32 AudioEffectX::getMidiProgramCategory(VstInt32, void*) { return 0; }
bool AudioEffectX::hasMidiProgramsChanged(VstInt32) { return false; }
bool AudioEffectX::getMidiKeyName(VstInt32, void*) { return false; }
bool AudioEffectX::beginSetProgram() { return false; }
bool AudioEffectX::endSetProgram() { return false; }
bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffectX::openFileSelector(void* selector) {
  return selector != nullptr && callHost(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

void AudioEffectX::wantEvents(VstInt32 filter) { callHost(audioMasterWantMidi, 0, filter); }

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return string2parameter(index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetNumProgramCategories: return getNumCategories();
    case effGetProgramNameIndexed:
      return getProgramNameIndexed(saturateToInt32(value), index, static_cast<char*>(ptr)) ? 1 : 0;
    case effCopyProgram: return copyProgram(index) ? 1 : 0;
    case effConnectInput: inputConnected(index, value != 0); return 1;
    case effConnectOutput: outputConnected(index, value != 0); return 1;
    case effGetInputProperties: return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties: return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effGetCurrentPosition: return reportCurrentPosition();
    case effGetDestinationBuffer: return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify: return offlineNotify(ptr, saturateToInt32(value), index != 0) ? 1 : 0;
    case effOfflinePrepare: return offlinePrepare(ptr, saturateToInt32(value)) ? 1 : 0;
    case effOfflineRun: return offlineRun(ptr, saturateToInt32(value)) ? 1 : 0;
    case effProcessVarIo: return processVariableIo(ptr) ? 1 : 0;
    case effSetSpeakerArrangement: return setSpeakerArrangement(value, ptr) ? 1 : 0;
    case effSetBlockSizeAndSampleRate: setBlockSizeAndSampleRate(saturateToInt32(value), opt); return 1;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName: return getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetErrorText: return getErrorText(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString: return getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString: return getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return canDo(static_cast<char*>(ptr));
    case effGetTailSize: return getGetTailSize();
    case effIdle: return fxIdle();
    case effGetIcon: return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition: return setViewPosition(index, saturateToInt32(value)) ? 1 : 0;
    case effGetParameterProperties: return getParameterProperties(index, ptr) ? 1 : 0;
    case effKeysRequired: return keysRequired() ? 0 : 1;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp:
    case effSetEditKnobMode: {
      if (!editor) return 0;
      if (opcode == effSetEditKnobMode) return editor->setKnobMode(saturateToInt32(value));
      VstKeyCode key{index, static_cast<unsigned char>(value & 0xFF), modifierByte(opt)};
      return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
    }
    case effGetMidiProgramName: return getMidiProgramName(index, ptr);
    case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, ptr);
    case effGetMidiProgramCategory: return getMidiProgramCategory(index, ptr);
    case effHasMidiProgramsChanged: return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName: return getMidiKeyName(index, ptr) ? 1 : 0;
    case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
    case effEndSetProgram: return endSetProgram() ? 1 : 0;
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}
