// The instrument as a host sees it: record, identity, capabilities, pins and parameters.
#include <cmath>
#include <cstring>
#include <limits>

#include "HostTempo.h"
#include "support/EventBatch.h"
#include "support/Instrument.h"

using namespace tamblin;
using tamblin::test::InstrumentTest;

namespace {
// Every host name, in index order; indices without a name are "".
const char* const kExpectedNames[100] = {
    "Volume", "Port", "Osc 1..2 Attack", "Osc 1..2 Release", "Osc 1..2 Sustain", "Osc 1..2 Decay",
    "Wave Type 1", "Wave Type 2", "Tune 1", "Tune 2", "Tune 3", "Tune 4", "", "", "Osc 1..2/3..4 Mix",
    "Osc 3..4 Attack", "Osc 3..4 Release", "Osc 3..4 Sustain", "Osc 3..4 Decay", "", "Unison Amount",
    "Unison Spread", "Unison Speed", "Unison Phase", "Tremolo Amount", "Tremolo Speed", "Filter Mod Amount",
    "Filter Mod Speed", "Vibrato Amount", "Vibrato Speed", "Filter Type", "Filter Frequency", "Filter Q",
    "Filter Enveleope", "Filter Release", "Filter Attack", "Stereo Amount", "Stereo Width", "Stereo Speed", "",
    "Osc 1..2 PWM Amount", "Osc 1..2 PWM Speed", "Osc 3..4 PWM Amount", "Osc 3..4 PWM Speed"};
}  // namespace

TEST_F(InstrumentTest, RecordDeclaresASynthWithTwoInputsAndOutputs) {
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->flags, 281);
  EXPECT_EQ(effect->numInputs, 2);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->numPrograms, 16);
  EXPECT_EQ(effect->numParams, 100);
  EXPECT_EQ(effect->uniqueID, 0x546d626c);  // "Tmbl"
  EXPECT_EQ(effect->version, 1);
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_NE(effect->processReplacing, nullptr);
  EXPECT_EQ(request(effGetPlugCategory), kPlugCategSynth);
}

TEST_F(InstrumentTest, IdentityTexts) {
  EXPECT_EQ(text(effGetEffectName), "Tamblin");
  EXPECT_EQ(text(effGetVendorString), "Brightmoor");
  EXPECT_EQ(text(effGetProductString), "Tamblin");
  EXPECT_EQ(request(effGetVendorVersion), 1);
  EXPECT_EQ(request(effGetVu), 0);
  // Nothing to write into: a null buffer is refused.
  EXPECT_EQ(request(effGetEffectName), 0);
  EXPECT_EQ(request(effGetVendorString), 0);
  EXPECT_EQ(request(effGetProductString), 0);
}

TEST_F(InstrumentTest, CanDoAnswersOnlyItsTwoExactTexts) {
  auto canDo = [&](const char* t) { return request(effCanDo, 0, 0, const_cast<char*>(t)); };
  EXPECT_EQ(canDo("receiveVstEvents"), 1);
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo("ReceiveVstMidiEvent"), -1);
  EXPECT_EQ(canDo("receiveVstEvents "), -1);
  EXPECT_EQ(canDo("sendVstMidiEvent"), -1);
  EXPECT_EQ(canDo(""), -1);
  EXPECT_EQ(request(effCanDo), -1);
}

TEST_F(InstrumentTest, OutputPinsAreTwoStereoPairs) {
  VstPinProperties pin;
  std::memset(&pin, 0x55, sizeof pin);
  EXPECT_EQ(request(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Tamblin 2");
  EXPECT_EQ(pin.flags, 3);
  EXPECT_EQ(pin.arrangementType, 0x55555555);  // left as the host gave it
  EXPECT_EQ(request(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Tamblin 1");
  std::memset(&pin, 0x55, sizeof pin);
  EXPECT_EQ(request(effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(request(effGetOutputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(pin.flags, 0x55555555);
  EXPECT_EQ(request(effGetOutputProperties, 0), 0);
  EXPECT_EQ(request(effGetInputProperties, 0, 0, &pin), 0);
}

TEST_F(InstrumentTest, ParameterNamesLabelsAndDisplays) {
  for (int i = 0; i < 100; ++i) {
    const char* expected = i < 44 ? kExpectedNames[i] : "";
    if (i == 57) expected = "Pan Amount";
    if (i == 58) expected = "Pan Speed";
    if (i == 94) expected = "Gate > Vol";
    if (i == 95) expected = "Gate > Filter";
    if (i == 97) expected = "Gate Smooth";
    EXPECT_EQ(text(effGetParamName, i), expected) << i;
    EXPECT_EQ(text(effGetParamLabel, i), "") << i;
  }
  for (int i : {-1, 100, 101, -100000, 1 << 30}) EXPECT_EQ(text(effGetParamName, i), "") << i;
  // The display is the editor's business: the host's buffer keeps what it held.
  EXPECT_EQ(text(effGetParamDisplay, 0), std::string(255, '#'));
  // Null buffers are left alone.
  EXPECT_EQ(request(effGetParamName, 0), 0);
  EXPECT_EQ(request(effGetParamLabel, 0), 0);
}

TEST_F(InstrumentTest, SetParameterClampsAndStoresIntoTheCurrentProgram) {
  setParameter(kOsc12Decay, 1.7f);
  EXPECT_EQ(parameter(kOsc12Decay), 1.0f);
  setParameter(kOsc12Decay, -0.2f);
  EXPECT_EQ(parameter(kOsc12Decay), 0.0f);
  setParameter(kOsc12Decay, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(parameter(kOsc12Decay), 0.0f);
  setParameter(kOsc12Decay, std::numeric_limits<float>::infinity());
  EXPECT_EQ(parameter(kOsc12Decay), 1.0f);
  setParameter(kOsc12Decay, -std::numeric_limits<float>::infinity());
  EXPECT_EQ(parameter(kOsc12Decay), 0.0f);
  setParameter(kFilterFrequency, 0.4f);
  EXPECT_EQ(parameter(kFilterFrequency), 0.4f);
  EXPECT_EQ(plugin->program(0).value(31), 0.4f);
  // Out-of-range indices change nothing and read as 0.
  setParameter(-1, 0.5f);
  setParameter(101, 0.5f);
  setParameter(1 << 30, 0.5f);
  EXPECT_EQ(parameter(-1), 0.0f);
  EXPECT_EQ(parameter(100), 0.0f);
  EXPECT_EQ(parameter(1 << 30), 0.0f);
  // Index 100 is stored with the program but hidden from the host.
  plugin->setParameter(100, 0.3f);
  EXPECT_EQ(plugin->program(0).value(100), 0.3f);
  EXPECT_EQ(parameter(100), 0.0f);
}

TEST_F(InstrumentTest, AutomatedChangesReachTheHost) {
  plugin->setParameterAutomated(31, 0.25f);
  EXPECT_EQ(parameter(kFilterFrequency), 0.25f);
  const auto notices = host.requestsWith(audioMasterAutomate);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].effect, effect);
  EXPECT_EQ(notices[0].index, 31);
  EXPECT_EQ(notices[0].opt, 0.25f);
  // Plain host writes are not echoed back as automation.
  setParameter(kFilterFrequency, 0.5f);
  EXPECT_EQ(host.requestsWith(audioMasterAutomate).size(), 1u);
}

TEST_F(InstrumentTest, EverySwitchOnAsksForMidi) {
  request(effMainsChanged, 0, 1);
  request(effMainsChanged, 0, 0);
  request(effMainsChanged, 0, 1);
  const auto asks = host.requestsWith(audioMasterWantMidi);
  ASSERT_EQ(asks.size(), 2u);
  EXPECT_EQ(asks[0].value, 1);
  EXPECT_EQ(asks[1].value, 1);
}

TEST_F(InstrumentTest, RendersIntoBothOutputsAndSurvivesMissingBuffers) {
  constexpr int kFrames = 300;
  float in0[kFrames] = {}, in1[kFrames] = {}, left[kFrames], right[kFrames];
  std::fill(std::begin(left), std::end(left), 7.0f);
  std::fill(std::begin(right), std::end(right), 7.0f);
  float* inputs[2] = {in0, in1};
  float* outputs[2] = {left, right};
  effect->processReplacing(effect, inputs, outputs, kFrames);
  for (int k = 0; k < kFrames; ++k) {
    EXPECT_NE(left[k], 7.0f);
    EXPECT_NE(right[k], 7.0f);
    EXPECT_TRUE(std::isfinite(left[k]) && std::isfinite(right[k]));
  }
  float* oneOutput[2] = {nullptr, right};
  std::fill(std::begin(right), std::end(right), 7.0f);
  effect->process(effect, nullptr, oneOutput, kFrames);
  EXPECT_NE(right[kFrames - 1], 7.0f);
  effect->processReplacing(effect, inputs, nullptr, kFrames);
  effect->processReplacing(effect, inputs, outputs, 0);
  effect->processReplacing(effect, inputs, outputs, -5);
}

// The instrument hands the host's sample rate to the engine when the host sets it (not only at the next
// program change); a rate that is not a number, not positive or not finite never reaches the engine,
// neither at once nor through the program change that passes the frame's rate on.
TEST_F(InstrumentTest, HostSampleRateReachesTheEngineUnlessItIsNonsense) {
  request(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plugin->soundEngine().sampleRate(), 48000.0f);
  request(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f);
  EXPECT_EQ(plugin->soundEngine().sampleRate(), 96000.0f);
  for (float bad :
       {std::numeric_limits<float>::quiet_NaN(), 0.0f, -44100.0f, std::numeric_limits<float>::infinity()}) {
    request(effSetSampleRate, 0, 0, nullptr, bad);
    request(effSetProgram, 0, 1);
    EXPECT_EQ(plugin->soundEngine().sampleRate(), 96000.0f) << bad;
  }
  request(effSetBlockSizeAndSampleRate, 0, 256, nullptr, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(plugin->soundEngine().sampleRate(), 96000.0f);

  tamblin::test::EventBatch batch;
  batch.add(0x90, 60, 100);
  request(effProcessEvents, 0, 0, batch.get());
  float left[512], right[512];
  float* outputs[2] = {left, right};
  effect->processReplacing(effect, nullptr, outputs, 512);
  for (int k = 0; k < 512; ++k) ASSERT_TRUE(std::isfinite(left[k]) && std::isfinite(right[k])) << k;
}

TEST_F(InstrumentTest, EventBatchesAreAnsweredWithOneWhateverTheyHold) {
  EXPECT_EQ(request(effProcessEvents), 1);
  VstEvents empty{};
  empty.numEvents = -3;
  EXPECT_EQ(request(effProcessEvents, 0, 0, &empty), 1);
  // A batch with a null slot and a non-MIDI event among notes.
  tamblin::test::EventBatch batch(200);
  VstEvent other{};
  other.type = 6;
  batch.add(nullptr);
  batch.add(&other);
  for (int i = 0; i < 198; ++i)
    batch.add(i % 2 ? 0x80 : 0x90, static_cast<uint8_t>(40 + i % 40), 100, i % 32);
  EXPECT_EQ(request(effProcessEvents, 0, 0, batch.get()), 1);
  float left[64], right[64];
  float* outputs[2] = {left, right};
  effect->processReplacing(effect, nullptr, outputs, 64);
}

TEST(InstrumentEntry, RefusesAHostThatAnswersNoVersionOrNoCallback) {
  tamblin::test::RecordingHost host;
  host.versionAnswer = 0;
  EXPECT_EQ(tamblinCreateEffect(tamblin::test::RecordingHost::callback), nullptr);
  EXPECT_EQ(host.requests.size(), 1u);
  EXPECT_EQ(tamblinCreateEffect(nullptr), nullptr);
}

TEST(InstrumentEntry, TwoInstancesAreIndependent) {
  tamblin::test::RecordingHost host;
  AEffect* a = tamblinCreateEffect(tamblin::test::RecordingHost::callback);
  AEffect* b = tamblinCreateEffect(tamblin::test::RecordingHost::callback);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  a->setParameter(a, kFilterFrequency, 0.125f);
  tamblin::test::dispatch(b, effSetProgram, 0, 3);
  char name[64] = "Mine";
  tamblin::test::dispatch(a, effSetProgramName, 0, 0, name);
  EXPECT_EQ(a->getParameter(a, kFilterFrequency), 0.125f);
  EXPECT_EQ(b->getParameter(b, kFilterFrequency), 0.3985f);
  EXPECT_EQ(tamblin::test::dispatch(a, effGetProgram), 0);
  char other[64];
  tamblin::test::dispatch(b, effGetProgramNameIndexed, 0, 0, other);
  EXPECT_STREQ(other, "DefaultString");
  tamblin::test::dispatch(a, effClose);
  EXPECT_EQ(b->getParameter(b, kFilterFrequency), 0.3985f);
  tamblin::test::dispatch(b, effClose);
}

TEST(HostTempo, TheTimeInfoStandsInWhereTheTempoAnswerIsMissingOrOffScale) {
  struct Case {
    double reported;  // the time info's valid tempo, 0: none
    int32_t answer;   // the tempo request's answer
    float tempo;
    const char* what;
  };
  for (const Case& c : {
           Case{123.456789, 1234568, 1234568.0f / 10000.0f, "both alike: the answer / 10000, to the last bit"},
           Case{0.0, 1205000, 120.5f, "no time info"},
           Case{90.0, 0, 90.0f, "no answer"},
           Case{120.0, 120000, 120.0f, "an answer ten times too small"},
           Case{1.0e300, 0, 0.0f, "nonsense in the time info"},
           Case{0.5, 1400000, 140.0f, "a time info below 1"},
           Case{0.0, -5, 0.0f, "a negative answer"},
           Case{0.0, 0, 0.0f, "nothing at all"},
       }) {
    EXPECT_EQ(tamblin::vst2::reconcileTempo(c.reported, c.answer), c.tempo) << c.what;
  }
}

TEST_F(InstrumentTest, TempoComesFromTheTempoRequestOrTheTimeInfo) {
  struct Case {
    VstIntPtr answer;  // the tempo request's; the time info holds 97
    VstInt32 flags;    // the time info's
    float tempo;
    const char* what;
  };
  float left[1024], right[1024];
  float* outputs[2] = {left, right};
  host.timeInfo.tempo = 97.0;
  for (const Case& c : {Case{1205000, 0, 120.5f, "the tempo request's answer"},
                        Case{0, kVstTempoValid | kVstTransportPlaying, 97.0f, "no answer: the time info"},
                        Case{0, kVstTransportPlaying, 120.0f, "a time info marked invalid: not used"}}) {
    host.tempoAnswer = c.answer;
    host.timeInfo.flags = c.flags;
    effect->processReplacing(effect, nullptr, outputs, 1024);
    EXPECT_EQ(plugin->soundEngine().record.tempoBpm, c.tempo) << c.what;
  }
  const auto asks = host.requestsWith(audioMasterGetTime);
  ASSERT_FALSE(asks.empty());
  EXPECT_EQ(asks[0].value, kVstTempoValid);
}
