// The instrument: identity, parameters, programs and the glue between the host, the engine and the editor.
#pragma once

#include <atomic>
#include <cmath>
#include <memory>

#include "DAudioEffectX.h"
#include "HostTempo.h"
#include "Instrument.h"

// One stored set of parameter values with its name: the instrument's program.
using APluginProgram = tamblin::Program;

class APlugin : public AudioEffectX, private tamblin::InstrumentHost {
 public:
  static constexpr int kNumPrograms = tamblin::Instrument::kNumPrograms;

  explicit APlugin(audioMasterCallback audioMaster);
  ~APlugin() override;

  // [any thread] parameters
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  // [audio thread] rendering; both overwrite the outputs
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  // programs
  void setProgram(VstInt32 program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  // names and identity
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* text) override;
  float getVu() override;
  void suspend() override;
  void resume() override;
  VstInt32 processEvents(VstEvents* events) override;
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  VstInt32 getVendorVersion() override;
  VstInt32 canDo(char* text) override;
  // The host's sample rate reaches the engine at once.
  void setSampleRate(float rate) override;
  void setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) override;

  // For the editor bridge and window.
  bool isEditorClosed() const { return editorClosed.load(std::memory_order_relaxed); }
  void setEditorClosed(bool closed) { editorClosed.store(closed, std::memory_order_relaxed); }
  float gatePosition() const { return instrument.gatePosition(); }

  // For tests and tools in this project.
  const APluginProgram& program(int index) const { return instrument.program(index); }
  tamblin::Engine& soundEngine() { return instrument.engine(); }
  tamblin::Instrument& core() { return instrument; }
  float frameSampleRate() const { return sampleRate; }

 private:
  // What the instrument asks of its format. The host is asked for its tempo, then for its time info,
  // and the two answers reconciled.
  float hostTempo() override {
    const int32_t answer = tempoAt(0);
    const VstTimeInfo* info = getTimeInfo(kVstTempoValid);
    const double reported = info && (info->flags & kVstTempoValid) && std::isfinite(info->tempo) ? info->tempo : 0.0;
    return tamblin::vst2::reconcileTempo(reported, answer);
  }
  void parameterChanged(int, float) override { refreshEditor(); }
  void controllerMessageHandled() override { refreshEditor(); }

  void refreshEditor();
  void render(float** inputs, float** outputs, VstInt32 sampleFrames);

  std::atomic<bool> editorClosed{false};
  tamblin::Instrument instrument{*this};
};
