// The instrument: identity, parameters, programs and the glue between the host, the engine and the editor.
#pragma once

#include <atomic>
#include <cmath>
#include <memory>

#include "DAudioEffectX.h"
#include "Engine.h"
#include "HostTempo.h"
#include "ParameterTable.h"

// One stored set of parameter values with its name.
class APluginProgram {
 public:
  static constexpr int kNameSize = 64;  // 63 characters and the terminating zero

  APluginProgram();
  virtual ~APluginProgram() = default;

  float value(int index) const { return values[index].load(std::memory_order_relaxed); }
  void setValue(int index, float v) { values[index].store(v, std::memory_order_relaxed); }
  const char* getName() const { return name; }
  // Stores at most 63 characters of `text`, always zero-terminated.
  void setName(const char* text);

 private:
  std::atomic<float> values[tamblin::kNumStoredValues];  // written by any thread, each value whole
  char name[kNameSize];
};

class APlugin : public AudioEffectX {
 public:
  static constexpr int kNumPrograms = 16;

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
  float gatePosition() const { return engine.gatePositionForDisplay(); }

  // For tests and tools in this project.
  const APluginProgram& program(int index) const { return *programs[index]; }
  tamblin::Engine& soundEngine() { return engine; }
  float frameSampleRate() const { return sampleRate; }

 private:
  // What the engine asks of the instrument, on the audio thread.
  class EngineLink : public tamblin::EngineHost {
   public:
    explicit EngineLink(APlugin& owner) : owner_(owner) {}
    // The host is asked for its tempo, then for its time info, and the two answers reconciled.
    float hostTempo() override {
      const int32_t answer = owner_.tempoAt(0);
      const VstTimeInfo* info = owner_.getTimeInfo(kVstTempoValid);
      const double reported =
          info && (info->flags & kVstTempoValid) && std::isfinite(info->tempo) ? info->tempo : 0.0;
      return tamblin::vst2::reconcileTempo(reported, answer);
    }
    void setParameterFromController(int32_t index, float value) override { owner_.setParameter(index, value); }
    void controllerMessageHandled() override { owner_.refreshEditor(); }

   private:
    APlugin& owner_;
  };

  void loadFactoryBank();
  void refreshEditor();
  void render(float** inputs, float** outputs, VstInt32 sampleFrames);

  std::unique_ptr<APluginProgram> programs[kNumPrograms];
  std::atomic<bool> editorClosed{false};
  EngineLink engineLink{*this};
  tamblin::Engine engine{engineLink};
};
