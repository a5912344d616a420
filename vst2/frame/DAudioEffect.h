// The plug-in frame's base classes: AEffEditor (editor bridges) and AudioEffect (effects), with the
// record's static entries and the first request table.
#pragma once

#include <atomic>
#include <climits>

#include "DAEffectX.h"

class AudioEffect;

// A pointer-wide value from the host narrowed to 32 bits without wrapping: out-of-range values
// keep their sign instead of turning into unrelated numbers.
inline VstInt32 saturateToInt32(VstIntPtr value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<VstInt32>(value);
}

// Base of editor bridges. Every request has a neutral answer; bridges override what they need.
// [ui-thread] for all requests from the host.
class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
  virtual ~AEffEditor() = default;

  virtual VstInt32 getRect(ERect** rect);
  virtual VstInt32 open(void* window);
  virtual void close();
  virtual void idle();
  virtual void update();
  virtual void postUpdate();
  virtual VstInt32 onKeyDown(VstKeyCode& keyCode);
  virtual VstInt32 onKeyUp(VstKeyCode& keyCode);
  virtual VstInt32 setKnobMode(VstInt32 mode);
  virtual bool onWheel(float distance);

 protected:
  AudioEffect* effect;          // not owned
  void* systemWindow = nullptr;  // the host's window, stored by the base open
  bool updateFlag = false;
};

// Base of every effect: owns the record the host sees and turns requests 0..24 into virtual calls.
class AudioEffect {
 public:
  AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  virtual void setSampleRate(float sampleRate);
  virtual void setBlockSize(VstInt32 blockSize);
  virtual void setParameter(VstInt32 index, float value);
  virtual float getParameter(VstInt32 index);
  virtual void setParameterAutomated(VstInt32 index, float value);
  virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
  virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  virtual void open();
  virtual void close();
  virtual VstInt32 getProgram();
  virtual void setProgram(VstInt32 program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);
  virtual void getParameterLabel(VstInt32 index, char* label);
  virtual void getParameterDisplay(VstInt32 index, char* text);
  virtual void getParameterName(VstInt32 index, char* text);
  virtual float getVu();
  virtual VstInt32 getChunk(void** data, bool isPreset);
  virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset);
  virtual void suspend();
  virtual void resume();
  virtual void setUniqueID(VstInt32 id);
  virtual void setNumInputs(VstInt32 inputs);
  virtual void setNumOutputs(VstInt32 outputs);
  virtual void hasVu(bool state);
  virtual void hasClip(bool state);
  virtual void canMono(bool state);
  virtual void canProcessReplacing(bool state);
  virtual void programsAreChunks(bool state);
  virtual void setRealtimeQualities(VstInt32 qualities);
  virtual void setOfflineQualities(VstInt32 qualities);
  virtual void setInitialDelay(VstInt32 delay);
  virtual VstInt32 getMasterVersion();
  virtual VstInt32 getCurrentUniqueId();
  virtual void masterIdle();
  virtual bool isInputConnected(VstInt32 input);
  virtual bool isOutputConnected(VstInt32 output);

  void setEditor(AEffEditor* newEditor);
  AEffEditor* getEditor() const { return editor; }
  AEffect* getAeffect() { return &cEffect; }
  audioMasterCallback getAudioMaster() const { return audioMaster; }

  // The record's static entries: recover the object from the record and forward.
  static VstIntPtr VSTCALLBACK dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                                   VstIntPtr value, void* ptr, float opt);
  static void VSTCALLBACK processClass(AEffect* e, float** inputs, float** outputs, VstInt32 frames);
  static void VSTCALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames);
  static void VSTCALLBACK setParameterClass(AEffect* e, VstInt32 index, float value);
  static float VSTCALLBACK getParameterClass(AEffect* e, VstInt32 index);

 protected:
  // A host request; 0 without a callback.
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  void setFlag(VstInt32 flag, bool state);
  // The current program number is read on the audio thread (parameter stores) while the host may switch
  // programs on another: it is read and written whole.
  VstInt32 loadCurProgram() const {
    return std::atomic_ref<VstInt32>(const_cast<VstInt32&>(curProgram)).load(std::memory_order_relaxed);
  }
  void storeCurProgram(VstInt32 program) {
    std::atomic_ref<VstInt32>(curProgram).store(program, std::memory_order_relaxed);
  }

  AEffect cEffect{};
  float sampleRate = 44100.0f;
  AEffEditor* editor = nullptr;  // owned
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 curProgram = 0;
  VstInt32 blockSize = 1024;
  audioMasterCallback audioMaster;
};
