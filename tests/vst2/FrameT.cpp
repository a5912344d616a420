// The frame on its own: request routing, conversions, defaults and host requests.
#include <gtest/gtest.h>

#include <cmath>

#include "DAudioEffectX.h"
#include "support/RecordingHost.h"

using tamblin::test::dispatch;
using tamblin::test::RecordingHost;

namespace {

// A bare effect on the frame: records what the dispatcher hands to the virtual operations.
class BareEffect : public AudioEffectX {
 public:
  explicit BareEffect(audioMasterCallback master, bool* destroyed = nullptr)
      : AudioEffectX(master, 4, 3), destroyed_(destroyed) {}
  ~BareEffect() override {
    if (destroyed_) *destroyed_ = true;
  }
  void process(float**, float**, VstInt32) override {}
  void setProgram(VstInt32 program) override {
    lastProgramRequest = program;
    AudioEffectX::setProgram(program);
  }
  float getVu() override { return vu; }
  VstInt32 getChunk(void**, bool isPreset) override { return isPreset ? 11 : 22; }
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char*) override {
    lastCategory = category;
    lastIndex = index;
    return true;
  }
  using AudioEffect::sampleRate;
  using AudioEffect::blockSize;

  VstInt32 lastProgramRequest = -99;
  VstInt32 lastCategory = -1, lastIndex = -1;
  float vu = 0.0f;

 private:
  bool* destroyed_;
};

class KeyEditor : public AEffEditor {
 public:
  using AEffEditor::AEffEditor;
  VstInt32 onKeyDown(VstKeyCode& key) override {
    last = key;
    return 7;
  }
  VstKeyCode last{};
};

}  // namespace

TEST(Frame, RecordAfterConstructionHoldsTheFrameDefaults) {
  BareEffect effect(nullptr);
  const AEffect* e = effect.getAeffect();
  EXPECT_EQ(e->magic, 0x56737450);  // "VstP"
  EXPECT_EQ(e->numPrograms, 4);
  EXPECT_EQ(e->numParams, 3);
  EXPECT_EQ(e->numInputs, 1);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 0);
  EXPECT_EQ(e->uniqueID, fourChars('N', 'o', 'E', 'f'));
  EXPECT_EQ(e->version, 1);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->object, &effect);
  EXPECT_EQ(e->user, nullptr);
  for (char c : e->future) EXPECT_EQ(c, 0);
}

TEST(Frame, FlagSettersSetAndClearTheirBits) {
  BareEffect effect(nullptr);
  effect.hasVu(true);
  effect.hasClip(true);
  effect.canMono(true);
  effect.canProcessReplacing(true);
  effect.programsAreChunks(true);
  effect.isSynth(true);
  effect.noTail(true);
  effect.wantAsyncOperation(true);
  effect.hasExternalBuffer(true);
  EXPECT_EQ(effect.getAeffect()->flags, 4 | 2 | 8 | 16 | 32 | 256 | 512 | 1024 | 2048);
  effect.canMono(false);
  effect.isSynth(false);
  EXPECT_EQ(effect.getAeffect()->flags, 4 | 2 | 16 | 32 | 512 | 1024 | 2048);
  effect.setEditor(new AEffEditor(&effect));
  EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);
}

TEST(Frame, RequestTableAnswersWithoutAnEditor) {
  BareEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(dispatch(e, effIdentify), fourChars('N', 'v', 'E', 'f'));
  EXPECT_EQ(dispatch(e, effGetVu), 0);
  EXPECT_EQ(dispatch(e, effKeysRequired), 1);
  EXPECT_EQ(dispatch(e, effGetVstVersion), 2200);
  EXPECT_EQ(dispatch(e, effGetPlugCategory), kPlugCategUnknown);
  effect.isSynth(true);
  EXPECT_EQ(dispatch(e, effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(dispatch(e, effGetNumProgramCategories), 1);
  EXPECT_EQ(dispatch(e, effCanBeAutomated, 12345), 1);
  EXPECT_EQ(dispatch(e, effConnectInput, 0, 1), 1);
  EXPECT_EQ(dispatch(e, effConnectOutput, 5, 0), 1);
  EXPECT_EQ(dispatch(e, effGetCurrentMidiProgram), -1);
  EXPECT_EQ(dispatch(e, effCanDo, 0, 0, const_cast<char*>("sendVstEvents")), 0);
  ERect* rect = nullptr;
  for (VstInt32 op : std::initializer_list<VstInt32>{effEditGetRect, effEditOpen, effEditKeyDown, effEditKeyUp, effSetEditKnobMode})
    EXPECT_EQ(dispatch(e, op, 0, 0, &rect), 0) << op;
  EXPECT_EQ(rect, nullptr);
  for (VstInt32 op : {effEditClose, effEditIdle, effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep})
    EXPECT_EQ(dispatch(e, op), 0) << op;
  // Requests nobody knows.
  for (VstInt32 op : {69, 70, 1000, -1, -1000000}) EXPECT_EQ(dispatch(e, op), 0) << op;
}

TEST(Frame, DispatcherConvertsArguments) {
  BareEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(dispatch(e, effSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f), 1);
  EXPECT_EQ(effect.blockSize, 512);
  EXPECT_EQ(effect.sampleRate, 48000.0f);
  dispatch(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
  EXPECT_EQ(effect.sampleRate, 96000.0f);
  dispatch(e, effSetBlockSize, 0, 64);
  EXPECT_EQ(effect.blockSize, 64);

  effect.vu = 0.5f;
  EXPECT_EQ(dispatch(e, effGetVu), 16384);  // 16383.5 rounds away from zero
  effect.vu = std::nanf("");
  EXPECT_EQ(dispatch(e, effGetVu), 0);

  EXPECT_EQ(dispatch(e, effGetChunk, 1), 11);
  EXPECT_EQ(dispatch(e, effGetChunk, 0), 22);

  // The category travels in value, the program in index.
  EXPECT_EQ(dispatch(e, effGetProgramNameIndexed, 3, 9), 1);
  EXPECT_EQ(effect.lastCategory, 9);
  EXPECT_EQ(effect.lastIndex, 3);
}

TEST(Frame, SetProgramDropsValuesAtOrAboveTheProgramCount) {
  BareEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  dispatch(e, effSetProgram, 0, 4);
  dispatch(e, effSetProgram, 0, VstIntPtr{1} << 40);
  EXPECT_EQ(effect.lastProgramRequest, -99);
  dispatch(e, effSetProgram, 0, 3);
  EXPECT_EQ(dispatch(e, effGetProgram), 3);
  // Negative numbers pass the frame and reach the instrument, which decides; a huge negative one
  // arrives negative, never wrapped into a valid program number.
  dispatch(e, effSetProgram, 0, -1);
  EXPECT_EQ(effect.lastProgramRequest, -1);
  dispatch(e, effSetProgram, 0, -(VstIntPtr{1} << 32) + 1);
  EXPECT_LT(effect.lastProgramRequest, 0);
}

TEST(Frame, KeyRequestsBuildAKeyCodeForTheEditor) {
  BareEffect effect(nullptr);
  auto* editor = new KeyEditor(&effect);
  effect.setEditor(editor);
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(dispatch(e, effEditKeyDown, 65, 0x1234, nullptr, 2.6f), 7);
  EXPECT_EQ(editor->last.character, 65);
  EXPECT_EQ(editor->last.virt, 0x34);
  EXPECT_EQ(editor->last.modifier, 3);
  EXPECT_EQ(dispatch(e, effEditKeyDown, 1, 0, nullptr, std::nanf("")), 7);
  EXPECT_EQ(editor->last.modifier, 0);
  EXPECT_EQ(dispatch(e, effEditKeyUp, 65), -1);
  EXPECT_EQ(dispatch(e, effSetEditKnobMode, 0, 2), 0);
}

TEST(Frame, CloseDestroysTheObjectAndAnswersOne) {
  bool destroyed = false;
  auto* effect = new BareEffect(nullptr, &destroyed);
  EXPECT_EQ(dispatch(effect->getAeffect(), effClose), 1);
  EXPECT_TRUE(destroyed);
}

TEST(Frame, StaticEntriesIgnoreARecordWithoutObject) {
  AEffect empty{};
  EXPECT_EQ(AudioEffect::dispatchEffectClass(&empty, effIdentify, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(AudioEffect::dispatchEffectClass(nullptr, effClose, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(AudioEffect::getParameterClass(nullptr, 0), 0.0f);
  AudioEffect::setParameterClass(&empty, 0, 1.0f);
  AudioEffect::processClassReplacing(nullptr, nullptr, nullptr, 16);
}

TEST(Frame, HostQueriesWithoutCallbackGiveTheirFallbacks) {
  BareEffect effect(nullptr);
  EXPECT_EQ(effect.getMasterVersion(), 1);
  EXPECT_TRUE(effect.isInputConnected(0));
  EXPECT_TRUE(effect.isOutputConnected(1));
  EXPECT_EQ(effect.getTimeInfo(0), nullptr);
  EXPECT_EQ(effect.tempoAt(0), 0);
  EXPECT_EQ(effect.updateSampleRate(), 44100.0);
  EXPECT_EQ(effect.updateBlockSize(), 1024);
  EXPECT_FALSE(effect.openFileSelector(&effect));
  effect.setParameterAutomated(0, 0.5f);  // no host to tell: nothing happens
}

TEST(Frame, HostRequestsCarryTheirArguments) {
  RecordingHost host;
  BareEffect effect(RecordingHost::callback);
  effect.setParameterAutomated(2, 0.25f);
  effect.wantEvents(1);
  effect.tempoAt(77);
  effect.sizeWindow(544, 536);
  EXPECT_TRUE(effect.isInputConnected(1));  // the host answers 0: connected
  host.versionAnswer = 0;
  EXPECT_EQ(effect.getMasterVersion(), 1);
  EXPECT_FALSE(effect.openFileSelector(nullptr));

  ASSERT_EQ(host.requestsWith(audioMasterAutomate).size(), 1u);
  const auto automate = host.requestsWith(audioMasterAutomate)[0];
  EXPECT_EQ(automate.effect, effect.getAeffect());
  EXPECT_EQ(automate.index, 2);
  EXPECT_EQ(automate.opt, 0.25f);
  EXPECT_EQ(host.requestsWith(audioMasterWantMidi).at(0).value, 1);
  EXPECT_EQ(host.requestsWith(audioMasterTempoAt).at(0).value, 77);
  EXPECT_EQ(host.requestsWith(audioMasterSizeWindow).at(0).index, 544);
  EXPECT_EQ(host.requestsWith(audioMasterSizeWindow).at(0).value, 536);
  const auto pin = host.requestsWith(audioMasterPinConnected).at(0);
  EXPECT_EQ(pin.index, 1);
  EXPECT_EQ(pin.value, 0);
  EXPECT_TRUE(host.requestsWith(audioMasterOpenFileSelector).empty());
}

TEST(Frame, EditorBaseDefersUpdatesToIdle) {
  BareEffect effect(nullptr);
  struct CountingEditor : AEffEditor {
    using AEffEditor::AEffEditor;
    void update() override { ++updates; }
    int updates = 0;
  } editor(&effect);
  ERect* rect = nullptr;
  EXPECT_EQ(editor.getRect(&rect), 0);
  editor.idle();
  EXPECT_EQ(editor.updates, 0);
  editor.postUpdate();
  editor.idle();
  editor.idle();
  EXPECT_EQ(editor.updates, 1);
  EXPECT_FALSE(editor.onWheel(1.0f));
}
