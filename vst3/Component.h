// The processing half: the instrument behind IComponent and IAudioProcessor. Notes and parameter
// changes act on their frames, the host's tempo reaches the gate and arpeggiator, and the state is the
// instrument's text form.
#pragma once

#include <atomic>
#include <thread>

#include "Instrument.h"
#include "abi/Controller.h"

namespace tamblin::vst3 {

// What the controller asks of a component it is connected to in the same process: the gate position
// for the editor's lamp. The host may connect through a proxy, which does not answer this.
class IGateSource : public ::vst3::FUnknown {
 public:
  static constexpr ::vst3::Uid iid = ::vst3::makeUid(0x2F0A6C1D, 0x7E3B4A52, 0x9C41D6E8, 0x15B7A903);
  virtual float VST3_API gatePosition() = 0;
};

class Component final : public ::vst3::IComponent,
                        public ::vst3::IAudioProcessor,
                        public ::vst3::IConnectionPoint,
                        public IGateSource,
                        private InstrumentHost {
 public:
  // Fixed room for one block's changes and messages; what does not fit is dropped.
  static constexpr int kMaxChanges = 2048;
  static constexpr int kMaxMessages = 2048;
  static constexpr int kMaxEchoes = 256;  // more than the hundred parameters

  Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  // FUnknown
  ::vst3::tresult VST3_API queryInterface(const ::vst3::TUID iid, void** object) override;
  ::vst3::uint32 VST3_API addRef() override;
  ::vst3::uint32 VST3_API release() override;
  // IPluginBase [main thread]
  ::vst3::tresult VST3_API initialize(::vst3::FUnknown* context) override;
  ::vst3::tresult VST3_API terminate() override;
  // IComponent [main thread]
  ::vst3::tresult VST3_API getControllerClassId(::vst3::TUID classId) override;
  ::vst3::tresult VST3_API setIoMode(::vst3::int32 mode) override;
  ::vst3::int32 VST3_API getBusCount(::vst3::int32 type, ::vst3::int32 direction) override;
  ::vst3::tresult VST3_API getBusInfo(::vst3::int32 type, ::vst3::int32 direction, ::vst3::int32 index,
                                      ::vst3::BusInfo& bus) override;
  ::vst3::tresult VST3_API getRoutingInfo(::vst3::RoutingInfo& inInfo, ::vst3::RoutingInfo& outInfo) override;
  ::vst3::tresult VST3_API activateBus(::vst3::int32 type, ::vst3::int32 direction, ::vst3::int32 index,
                                       ::vst3::TBool state) override;
  ::vst3::tresult VST3_API setActive(::vst3::TBool state) override;
  ::vst3::tresult VST3_API setState(::vst3::IBStream* state) override;
  ::vst3::tresult VST3_API getState(::vst3::IBStream* state) override;
  // IAudioProcessor [main thread, apart from process]
  ::vst3::tresult VST3_API setBusArrangements(::vst3::SpeakerArrangement* inputs, ::vst3::int32 numIns,
                                              ::vst3::SpeakerArrangement* outputs, ::vst3::int32 numOuts) override;
  ::vst3::tresult VST3_API getBusArrangement(::vst3::int32 direction, ::vst3::int32 index,
                                             ::vst3::SpeakerArrangement& arrangement) override;
  ::vst3::tresult VST3_API canProcessSampleSize(::vst3::int32 symbolicSampleSize) override;
  ::vst3::uint32 VST3_API getLatencySamples() override { return 0; }
  ::vst3::tresult VST3_API setupProcessing(::vst3::ProcessSetup& setup) override;
  ::vst3::tresult VST3_API setProcessing(::vst3::TBool state) override;
  ::vst3::tresult VST3_API process(::vst3::ProcessData& data) override;  // [audio thread]
  ::vst3::uint32 VST3_API getTailSamples() override { return 0xFFFFFFFFu; }  // rings until told otherwise
  // IConnectionPoint [main thread]: nothing travels as messages.
  ::vst3::tresult VST3_API connect(::vst3::IConnectionPoint* other) override;
  ::vst3::tresult VST3_API disconnect(::vst3::IConnectionPoint* other) override;
  ::vst3::tresult VST3_API notify(::vst3::IMessage* message) override;
  // IGateSource [any thread]
  float VST3_API gatePosition() override { return instrument_.gatePosition(); }

  Instrument& instrument() { return instrument_; }

 private:
  ~Component() override = default;

  // A parameter value or program selection on a frame of the block.
  struct Change {
    int32_t frame;
    ::vst3::ParamID id;
    double value;
  };
  struct TimedMessage {
    int32_t frame;
    MidiMessage message;
  };

  float hostTempo() override;
  void parameterChanged(int index, float value) override;
  void gatherEvents(::vst3::IEventList* events, int32_t frames);
  void gatherChanges(::vst3::IParameterChanges* changes, int32_t frames);
  void apply(const Change& change);
  void reportEchoes(::vst3::IParameterChanges* out, int32_t frame);

  std::atomic<::vst3::uint32> references_{1};
  ::vst3::IConnectionPoint* peer_ = nullptr;
  bool initialized_ = false;
  bool active_ = false;
  bool processing_ = false;
  double sampleRate_ = 44100.0;
  double bpm_ = 0.0;  // 0 until the host's context has a tempo: the engine then plays 120

  Change changes_[kMaxChanges];
  int changeCount_ = 0;
  TimedMessage messages_[kMaxMessages];
  int messageCount_ = 0;
  MidiMessage staged_[kMaxMessages];
  // Parameters the engine's mapped controllers set while rendering, and a program's values when the
  // host selects one, told to the host as output changes.
  struct Echo {
    int index;
    float value;
  };
  Echo echoes_[kMaxEchoes];
  int echoCount_ = 0;
  bool reporting_ = false;  // audio thread only
  std::atomic<std::thread::id> renderThread_{};
  // Last: its construction already reports values, which reach the members above.
  Instrument instrument_{*this};
};

}  // namespace tamblin::vst3
