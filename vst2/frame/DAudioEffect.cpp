// The frame's base classes: defaults of every operation, the first request table and the static entries.
#include "DAudioEffect.h"

#include <climits>
#include <cmath>

// ---- AEffEditor ---------------------------------------------------------------------------------

VstInt32 AEffEditor::getRect(ERect**) { return 0; }
VstInt32 AEffEditor::open(void* window) {
  systemWindow = window;
  return 0;
}
void AEffEditor::close() {}
void AEffEditor::idle() {
  if (updateFlag) {
    updateFlag = false;
    update();
  }
}
void AEffEditor::update() {}
void AEffEditor::postUpdate() { updateFlag = true; }
VstInt32 AEffEditor::onKeyDown(VstKeyCode&) { return -1; }
VstInt32 AEffEditor::onKeyUp(VstKeyCode&) { return -1; }
VstInt32 AEffEditor::setKnobMode(VstInt32) { return 0; }
bool AEffEditor::onWheel(float) { return false; }

// ---- AudioEffect --------------------------------------------------------------------------------

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : numPrograms(numPrograms), numParams(numParams), audioMaster(audioMaster) {
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = dispatchEffectClass;
  cEffect.process = processClass;
  cEffect.setParameter = setParameterClass;
  cEffect.getParameter = getParameterClass;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.flags = 0;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.user = nullptr;
  cEffect.uniqueID = fourChars('N', 'o', 'E', 'f');
  cEffect.version = 1;
  cEffect.processReplacing = processClassReplacing;
}

AudioEffect::~AudioEffect() {
  delete editor;
  editor = nullptr;
}

void AudioEffect::setSampleRate(float rate) { sampleRate = rate; }
void AudioEffect::setBlockSize(VstInt32 size) { blockSize = size; }
void AudioEffect::setParameter(VstInt32, float) {}
float AudioEffect::getParameter(VstInt32) { return 0.0f; }

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  if (audioMaster) audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}
void AudioEffect::open() {}
void AudioEffect::close() {}
VstInt32 AudioEffect::getProgram() { return loadCurProgram(); }
void AudioEffect::setProgram(VstInt32 program) { storeCurProgram(program); }
void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char*) {}
void AudioEffect::getParameterLabel(VstInt32, char*) {}
void AudioEffect::getParameterDisplay(VstInt32, char*) {}
void AudioEffect::getParameterName(VstInt32, char*) {}
float AudioEffect::getVu() { return 0.0f; }
VstInt32 AudioEffect::getChunk(void**, bool) { return 0; }
VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) { return 0; }
void AudioEffect::suspend() {}
void AudioEffect::resume() {}
void AudioEffect::setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
void AudioEffect::setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
void AudioEffect::setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }

void AudioEffect::setFlag(VstInt32 flag, bool state) {
  if (state)
    cEffect.flags |= flag;
  else
    cEffect.flags &= ~flag;
}

void AudioEffect::hasVu(bool state) { setFlag(effFlagsHasVu, state); }
void AudioEffect::hasClip(bool state) { setFlag(effFlagsHasClip, state); }
void AudioEffect::canMono(bool state) { setFlag(effFlagsCanMono, state); }
void AudioEffect::canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void AudioEffect::programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void AudioEffect::setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
void AudioEffect::setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }
void AudioEffect::setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::getMasterVersion() {
  const VstIntPtr answer = callHost(audioMasterVersion);
  return answer == 0 ? 1 : static_cast<VstInt32>(answer);
}
VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }
void AudioEffect::masterIdle() { callHost(audioMasterIdle); }
bool AudioEffect::isInputConnected(VstInt32 input) {
  return audioMaster ? callHost(audioMasterPinConnected, input, 0) == 0 : true;
}
bool AudioEffect::isOutputConnected(VstInt32 output) {
  return audioMaster ? callHost(audioMasterPinConnected, output, 1) == 0 : true;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
  editor = newEditor;
  setFlag(effFlagsHasEditor, newEditor != nullptr);
}

namespace {

VstIntPtr roundVu(float vu) {
  const double scaled = static_cast<double>(vu) * 32767.0;
  if (!std::isfinite(scaled) || std::fabs(scaled) > 2147483647.0) return 0;
  return static_cast<VstIntPtr>(std::lround(scaled));
}

}  // namespace

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen: open(); break;
    case effClose: close(); break;
    case effSetProgram:
      if (value < numPrograms) setProgram(saturateToInt32(value));
      break;
    case effGetProgram: return getProgram();
    case effSetProgramName: setProgramName(static_cast<char*>(ptr)); break;
    case effGetProgramName: getProgramName(static_cast<char*>(ptr)); break;
    case effGetParamLabel: getParameterLabel(index, static_cast<char*>(ptr)); break;
    case effGetParamDisplay: getParameterDisplay(index, static_cast<char*>(ptr)); break;
    case effGetParamName: getParameterName(index, static_cast<char*>(ptr)); break;
    case effGetVu: return roundVu(getVu());
    case effSetSampleRate: setSampleRate(opt); break;
    case effSetBlockSize: setBlockSize(saturateToInt32(value)); break;
    case effMainsChanged:
      if (value)
        resume();
      else
        suspend();
      break;
    case effEditGetRect: return editor ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen: return editor ? editor->open(ptr) : 0;
    case effEditClose:
      if (editor) editor->close();
      break;
    case effEditIdle:
      if (editor) editor->idle();
      break;
    case effIdentify: return fourChars('N', 'v', 'E', 'f');
    case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk: return setChunk(ptr, saturateToInt32(value), index != 0);
    default: break;
  }
  return 0;
}

// ---- Static entries of the record ----------------------------------------------------------------

namespace {
AudioEffect* objectOf(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }
}  // namespace

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           void* ptr, float opt) {
  AudioEffect* object = objectOf(e);
  if (!object) return 0;
  if (opcode == effClose) {
    object->dispatcher(opcode, index, value, ptr, opt);
    delete object;
    return 1;
  }
  return object->dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
  if (AudioEffect* object = objectOf(e)) object->process(inputs, outputs, frames);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
  if (AudioEffect* object = objectOf(e)) object->processReplacing(inputs, outputs, frames);
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
  if (AudioEffect* object = objectOf(e)) object->setParameter(index, value);
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
  AudioEffect* object = objectOf(e);
  return object ? object->getParameter(index) : 0.0f;
}
