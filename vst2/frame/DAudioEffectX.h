// The extended frame class AudioEffectX: requests 25..68 and the extended host requests.
#pragma once

#include "DAudioEffect.h"

class AudioEffectX : public AudioEffect {
 public:
  AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
      : AudioEffect(audioMaster, numPrograms, numParams) {}

  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

  virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
  virtual VstInt32 tempoAt(VstInt32 pos);
  virtual VstInt32 processEvents(VstEvents* events);
  virtual VstInt32 getNumAutomatableParameters();
  virtual VstInt32 getParameterQuantization();
  virtual bool canParameterBeAutomated(VstInt32 index);
  virtual bool string2parameter(VstInt32 index, char* text);
  virtual float getChannelParameter(VstInt32 channel, VstInt32 index);
  virtual VstInt32 getNumCategories();
  virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text);
  virtual bool copyProgram(VstInt32 destination);
  virtual bool ioChanged();
  virtual bool needIdle();
  virtual bool sizeWindow(VstInt32 width, VstInt32 height);
  virtual double updateSampleRate();
  virtual VstInt32 updateBlockSize();
  virtual VstInt32 getInputLatency();
  virtual VstInt32 getOutputLatency();
  virtual AEffect* getPreviousPlug(VstInt32 input);
  virtual AEffect* getNextPlug(VstInt32 output);
  virtual void inputConnected(VstInt32 index, bool state);
  virtual void outputConnected(VstInt32 index, bool state);
  virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties);
  virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties);
  virtual VstInt32 getPlugCategory();
  virtual VstInt32 willProcessReplacing();
  virtual VstInt32 getCurrentProcessLevel();
  virtual VstInt32 getAutomationState();
  virtual void wantAsyncOperation(bool state);
  virtual void hasExternalBuffer(bool state);
  virtual VstInt32 reportCurrentPosition();
  virtual float* reportDestinationBuffer();
  virtual bool offlineRead(void* task, VstInt32 option, bool readSource);
  virtual bool offlineWrite(void* task, VstInt32 option);
  virtual bool offlineStart(void* files, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles);
  virtual VstInt32 offlineGetCurrentPass();
  virtual VstInt32 offlineGetCurrentMetaPass();
  virtual bool offlineNotify(void* audioFile, VstInt32 numAudioFiles, bool start);
  virtual bool offlinePrepare(void* tasks, VstInt32 count);
  virtual bool offlineRun(void* tasks, VstInt32 count);
  virtual VstInt32 offlineGetNumPasses();
  virtual VstInt32 offlineGetNumMetaPasses();
  virtual void setOutputSamplerate(float rate);
  virtual bool getSpeakerArrangement(void* input, void* output);
  virtual bool getHostVendorString(char* text);
  virtual bool getHostProductString(char* text);
  virtual VstInt32 getHostVendorVersion();
  virtual VstIntPtr hostVendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f);
  virtual VstInt32 canHostDo(char* text);
  virtual void isSynth(bool state);
  virtual void noTail(bool state);
  virtual VstInt32 getHostLanguage();
  virtual void* openWindow(void* window);
  virtual bool closeWindow(void* window);
  virtual void* getDirectory();
  virtual bool updateDisplay();
  virtual bool processVariableIo(void* varIo);
  virtual bool setSpeakerArrangement(VstIntPtr input, void* output);
  virtual void setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate);
  virtual bool setBypass(bool onOff);
  virtual bool getEffectName(char* name);
  virtual bool getErrorText(char* text);
  virtual bool getVendorString(char* text);
  virtual bool getProductString(char* text);
  virtual VstInt32 getVendorVersion();
  virtual VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f);
  virtual VstInt32 canDo(char* text);
  virtual void* getIcon();
  virtual bool setViewPosition(VstInt32 x, VstInt32 y);
  virtual VstInt32 getGetTailSize();
  virtual VstInt32 fxIdle();
  virtual bool getParameterProperties(VstInt32 index, void* properties);
  virtual bool keysRequired();
  virtual VstInt32 getVstVersion();
  virtual VstInt32 getMidiProgramName(VstInt32 channel, void* name);
  virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, void* name);
  virtual VstInt32 getMidiProgramCategory(VstInt32 channel, void* category);
  virtual bool hasMidiProgramsChanged(VstInt32 channel);
  virtual bool getMidiKeyName(VstInt32 channel, void* keyName);
  virtual bool beginSetProgram();
  virtual bool endSetProgram();
  virtual bool beginEdit(VstInt32 index);
  virtual bool endEdit(VstInt32 index);
  virtual bool openFileSelector(void* selector);

  void wantEvents(VstInt32 filter = 1);
};
