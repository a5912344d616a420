// The bundle as a VST 3 host sees it: the module's exports and description, the factory's classes,
// buses, parameters, program list and controller mapping, the golden phrase sample for sample, changes
// on their frames against the VST 2 library, the state, and the editor's edits as gestures.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "Controller.h"
#include "FactoryBank.h"
#include "ParameterTable.h"
#include "Vst3Host.h"
#include "support/FactoryPhrase.h"
#include "support/EventBatch.h"
#include "support/ChildProcess.h"
#include "support/RecordingHost.h"
#include "support/Vst2Reference.h"

namespace tamblin::test {
namespace {

using namespace vst3host;

std::string utf8(const char16* text) {
  std::string out;
  for (; *text != 0; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

std::string cidText(const TUID cid) {
  const Uid& uid = *reinterpret_cast<const Uid*>(cid);
  char text[40];
  std::snprintf(text, sizeof text, "%08X%08X%08X%08X", uid.word(0), uid.word(1), uid.word(2), uid.word(3));
  return text;
}

// The ids hosts keep in their projects: these must never change.
constexpr char kComponentCid[] = "891D8A65B9F2C57A49508F588DECA3BE";
constexpr char kControllerCid[] = "D472F56B457D493598B85E393091443E";

TEST(Vst3Module, ExportsOnlyTheFactoryAndEntriesAndNeedsOnlyTheRuntimeAndX11) {
  EXPECT_EQ(lastWordsOf("nm -D --defined-only " TAMBLIN_VST3_MODULE),
            (std::set<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
  const std::set<std::string> allowed = {"[libstdc++.so.6]", "[libm.so.6]", "[libgcc_s.so.1]", "[libc.so.6]",
                                         "[libX11.so.6]"};
  for (const std::string& needed : lastWordsOf("readelf -d " TAMBLIN_VST3_MODULE " | grep NEEDED")) {
    EXPECT_TRUE(allowed.count(needed) == 1 || needed.rfind("[libasan", 0) == 0 || needed.rfind("[libubsan", 0) == 0)
        << needed;
  }
  std::ifstream file(TAMBLIN_VST3_BUNDLE "/Contents/Resources/moduleinfo.json");
  std::stringstream info;
  info << file.rdbuf();
  for (const char* expected : {kComponentCid, kControllerCid, "\"Vendor\": \"Brightmoor\"", "\"Instrument\", \"Synth\"",
                               "\"Category\": \"Audio Module Class\""}) {
    EXPECT_NE(info.str().find(expected), std::string::npos) << expected;
  }
}

class Vst3Plugin : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(module.factory, nullptr) << module.error; }
  Module module{TAMBLIN_VST3_MODULE};
};

TEST_F(Vst3Plugin, TheFactoryHoldsOneInstrumentByBrightmoorAndItsController) {
  IPluginFactory* factory = module.factory;
  PFactoryInfo info{};
  ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Brightmoor");
  EXPECT_EQ(info.flags & PFactoryInfo::kUnicode, PFactoryInfo::kUnicode);
  ASSERT_EQ(factory->countClasses(), 2);
  IPluginFactory3* factory3 = queryOf<IPluginFactory3>(factory);
  ASSERT_NE(factory3, nullptr);
  struct Row {
    const char* cid;
    const char* category;
    const char* subCategories;
  };
  const Row rows[] = {{kComponentCid, kVstAudioEffectClass, "Instrument|Synth"},
                      {kControllerCid, kVstComponentControllerClass, ""}};
  for (int32 i = 0; i < 2; ++i) {
    const Row& row = rows[i];
    PClassInfo plain{};
    PClassInfo2 info2{};
    PClassInfoW wide{};
    ASSERT_EQ(factory->getClassInfo(i, &plain), kResultOk);
    ASSERT_EQ(factory3->getClassInfo2(i, &info2), kResultOk);
    ASSERT_EQ(factory3->getClassInfoUnicode(i, &wide), kResultOk);
    EXPECT_EQ(cidText(plain.cid), row.cid);
    EXPECT_EQ(cidText(info2.cid), row.cid);
    EXPECT_EQ(cidText(wide.cid), row.cid);
    EXPECT_STREQ(plain.category, row.category);
    EXPECT_STREQ(plain.name, "Tamblin");
    EXPECT_EQ(plain.cardinality, kManyInstances);
    EXPECT_STREQ(info2.subCategories, row.subCategories);
    EXPECT_STREQ(info2.vendor, "Brightmoor");
    EXPECT_EQ(utf8(wide.name), "Tamblin");
    EXPECT_EQ(utf8(wide.vendor), "Brightmoor");
    EXPECT_STREQ(wide.subCategories, row.subCategories);
  }
}

TEST_F(Vst3Plugin, BusesAreOneEventInputAndOneStereoOutput) {
  Instance instance(module.factory);
  ASSERT_TRUE(instance.valid());
  struct Row {
    int32 type, direction, count, channels;
  };
  for (const Row& row : {Row{kAudio, kInput, 0, 0}, Row{kAudio, kOutput, 1, 2}, Row{kEvent, kInput, 1, 16},
                         Row{kEvent, kOutput, 0, 0}}) {
    SCOPED_TRACE(std::to_string(row.type) + "/" + std::to_string(row.direction));
    EXPECT_EQ(instance.component->getBusCount(row.type, row.direction), row.count);
    BusInfo bus{};
    EXPECT_EQ(instance.component->getBusInfo(row.type, row.direction, 0, bus), row.count ? kResultOk : kInvalidArgument);
    if (row.count) {
      EXPECT_EQ(bus.channelCount, row.channels);
      EXPECT_EQ(bus.busType, kMain);
    }
  }
  SpeakerArrangement stereo = kStereo, mono = kSpeakerL;
  EXPECT_EQ(instance.processor->setBusArrangements(nullptr, 0, &stereo, 1), kResultOk);
  EXPECT_EQ(instance.processor->setBusArrangements(nullptr, 0, &mono, 1), kResultFalse);
  EXPECT_EQ(instance.processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(instance.processor->canProcessSampleSize(kSample32), kResultOk);
  EXPECT_EQ(instance.processor->canProcessSampleSize(kSample64), kResultFalse);
}

TEST_F(Vst3Plugin, ParametersAreTheTablesHundredThenTheProgramSelectorAndHiddenControllers) {
  Instance instance(module.factory);
  ASSERT_TRUE(instance.valid());
  IEditController* controller = instance.controller;
  int controllers = 0;
  for (int c = 0; c < 128; ++c) controllers += parameterForController(c) >= 0 || c == 120 || c == 123;
  ASSERT_EQ(controller->getParameterCount(), kNumParams + 1 + controllers + 1);
  const FactoryProgram& program0 = kFactoryBank[0];
  for (int32 i = 0; i < kNumParams; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(controller->getParameterInfo(i, info), kResultOk);
    SCOPED_TRACE(parameterTitle(i));
    EXPECT_EQ(info.id, static_cast<ParamID>(i));
    EXPECT_EQ(utf8(info.title), parameterTitle(i));
    const tamblin::ParameterInfo& row = parameterInfo(i);
    float expectedDefault = 0.0f;
    for (size_t k = 0; k < program0.count; ++k) {
      if (program0.values[k].index == i) expectedDefault = program0.values[k].value;
    }
    EXPECT_EQ(info.defaultNormalizedValue, expectedDefault);
    EXPECT_EQ(controller->getParamNormalized(info.id), expectedDefault);  // a new instance is in program 0
    EXPECT_TRUE(info.flags & ParameterInfo::kCanAutomate);
    if (row.format == ValueFormat::Choice) {
      const int n = row.choices.count;
      EXPECT_EQ(info.stepCount, n - 1);
      EXPECT_TRUE(info.flags & ParameterInfo::kIsList);
      for (int k = 0; k < n; ++k) {
        const double value = controller->plainParamToNormalized(info.id, k);
        EXPECT_EQ(value, static_cast<double>(choiceValue(k, n)));
        EXPECT_EQ(controller->normalizedParamToPlain(info.id, value), k);
        String128 text{};
        ASSERT_EQ(controller->getParamStringByValue(info.id, value, text), kResultOk);
        EXPECT_EQ(utf8(text), row.choices.names[k]);
        double back = -1.0;
        EXPECT_EQ(controller->getParamValueByString(info.id, text, back), kResultOk);
        EXPECT_EQ(back, value);
      }
    } else {
      EXPECT_EQ(info.stepCount, row.choices.count > 1 ? row.choices.count - 1 : 0);
    }
  }
  ParameterInfo program{};
  ASSERT_EQ(controller->getParameterInfo(kNumParams, program), kResultOk);
  EXPECT_TRUE(program.flags & ParameterInfo::kIsProgramChange);
  EXPECT_TRUE(program.flags & ParameterInfo::kIsList);
  EXPECT_EQ(program.stepCount, 15);
  EXPECT_EQ(program.unitId, kRootUnitId);
  for (int32 i = kNumParams + 1; i < controller->getParameterCount(); ++i) {
    ParameterInfo hidden{};
    ASSERT_EQ(controller->getParameterInfo(i, hidden), kResultOk);
    EXPECT_TRUE(hidden.flags & ParameterInfo::kIsHidden) << i;
  }
}

TEST_F(Vst3Plugin, TheRootUnitListsTheSixteenFactoryProgramsForTheSelector) {
  Instance instance(module.factory);
  ASSERT_TRUE(instance.valid());
  IUnitInfo* units = queryOf<IUnitInfo>(instance.controller);
  ASSERT_NE(units, nullptr);
  ASSERT_EQ(units->getUnitCount(), 1);
  UnitInfo unit{};
  ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
  EXPECT_EQ(unit.id, kRootUnitId);
  ASSERT_EQ(units->getProgramListCount(), 1);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(list.id, unit.programListId);
  ASSERT_EQ(list.programCount, kFactoryProgramCount);
  const ParamID selector = programParameter(instance.controller);
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    String128 name{}, text{};
    ASSERT_EQ(units->getProgramName(list.id, p, name), kResultOk);
    EXPECT_EQ(utf8(name), kFactoryBank[p].name);
    const double value = instance.controller->plainParamToNormalized(selector, p);
    EXPECT_EQ(instance.controller->normalizedParamToPlain(selector, value), p);
    ASSERT_EQ(instance.controller->getParamStringByValue(selector, value, text), kResultOk);
    EXPECT_EQ(utf8(text), kFactoryBank[p].name);
  }
  // Picking a program in the controller shows its values, without calling back into the host.
  ASSERT_EQ(instance.controller->setParamNormalized(selector, 5.0 / 15.0), kResultOk);
  EXPECT_TRUE(instance.handler.calls.empty());
  EXPECT_EQ(instance.controller->getParamNormalized(selector), 5.0 / 15.0);
  for (size_t k = 0; k < kFactoryBank[5].count; ++k) {
    const auto& [index, value] = kFactoryBank[5].values[k];
    if (index < kNumParams) {
      EXPECT_EQ(instance.controller->getParamNormalized(static_cast<ParamID>(index)), value);
    }
  }
  units->release();

  // The component applies the program the host sends and reports its values back as output changes,
  // which hosts pass on to their own controls and to the controller.
  ASSERT_TRUE(instance.start(44100.0, 64));
  ParameterChanges in, out;
  in.add(selector, 0, 5.0 / 15.0);
  std::vector<float> left(64), right(64);
  ASSERT_EQ(instance.block(64, left.data(), right.data(), nullptr, &in, 0.0, &out), kResultOk);
  EXPECT_EQ(out.queues.size(), static_cast<size_t>(kNumParams));
  for (const auto& queue : out.queues) {
    ASSERT_EQ(queue->points.size(), 1u);
    const ParamID id = queue->getParameterId();
    ASSERT_LT(id, static_cast<ParamID>(kNumParams));
    EXPECT_EQ(queue->points[0].second, instance.controller->getParamNormalized(id)) << id;
  }
}

TEST_F(Vst3Plugin, EveryControllerTheEngineReactsToAndPitchBendAreMapped) {
  Instance instance(module.factory);
  ASSERT_TRUE(instance.valid());
  std::set<ParamID> ids;
  for (int c = 0; c < 130; ++c) {
    ParamID id = 0;
    const bool reacts = c == kPitchBend || (c < 128 && (parameterForController(c) >= 0 || c == 120 || c == 123));
    EXPECT_EQ(instance.mapped(static_cast<int16>(c), id), reacts) << c;
    if (reacts) ids.insert(id);
  }
  for (ParamID id : ids) EXPECT_GE(id, static_cast<ParamID>(kNumParams)) << id;
  // A mapped controller reaches the engine and the parameter it sets goes back to the host.
  ParamID cc74 = 0;
  ASSERT_TRUE(instance.mapped(74, cc74));
  ASSERT_TRUE(instance.start(44100.0, 64));
  ParameterChanges in, out;
  in.add(cc74, 10, 90 / 127.0);
  std::vector<float> left(64), right(64);
  ASSERT_EQ(instance.block(64, left.data(), right.data(), nullptr, &in, 0.0, &out), kResultOk);
  const auto target = static_cast<ParamID>(parameterForController(74));
  ASSERT_EQ(out.queues.size(), 1u);
  EXPECT_EQ(out.queues[0]->getParameterId(), target);
  ASSERT_EQ(out.queues[0]->points.size(), 1u);
  EXPECT_EQ(out.queues[0]->points[0].second, static_cast<double>(90.0f / 127.0f));
}

std::string goldenLineOf(int program) {
  std::ifstream file(TAMBLIN_GOLDEN_FILE);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line[0] != '#' && std::stoi(line) == program) return line;
  }
  return "missing";
}

TEST_F(Vst3Plugin, EveryFactoryProgramPlaysTheGoldenPhraseInAnyBlockPlan) {
  for (int program = 0; program < kFactoryProgramCount; ++program) {
    SCOPED_TRACE(kFactoryBank[program].name);
    Instance instance(module.factory);
    const Stereo out = playPhrase(instance, program, kPhrase, kPhraseFrames, kPhraseBlock);
    EXPECT_EQ(goldenLine(program, Render{out.left, out.right}), goldenLineOf(program));
  }
  for (int block : {1, 333, 4096}) {
    Instance instance(module.factory);
    const Stereo out = playPhrase(instance, 6, kPhrase, kPhraseFrames, block);
    EXPECT_EQ(goldenLine(6, Render{out.left, out.right}), goldenLineOf(6)) << block;
  }
}


TEST_F(Vst3Plugin, ParameterChangesInsideABlockAndTheHostsTempoMatchTheVst2Library) {
  // 38400 is a block boundary for the VST 2 host (512) and frame 400 of a VST 3 block (1000). The
  // engine asks for the tempo every 1024 frames: 37888 gets the first, 38912 the second in both hosts.
  const std::vector<HostChange> changes = {{38400, 31, 0.35}, {38400, kPlayMode, 0.9}, {38400, 59, 0.2}};
  for (int program : {6, 8, 11}) {  // gate, arpeggiator, comb with gate
    SCOPED_TRACE(kFactoryBank[program].name);
    Instance instance(module.factory);
    const Stereo viaVst3 = playPhrase(instance, program, kPhrase, kPhraseFrames, 1000, changes, 96.0, 38000, 140.0);
    Vst2Change atTheChange{38400, 140.0f, {}};
    for (const HostChange& c : changes) atTheChange.parameters.push_back({static_cast<int>(c.id), static_cast<float>(c.value)});
    const Render viaVst2 = playVst2Library(TAMBLIN_VST2_LIBRARY, program, kPhrase, kPhraseFrames, 96.0f, {atTheChange});
    EXPECT_EQ(std::memcmp(viaVst3.left.data(), viaVst2.left.data(), viaVst2.left.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(viaVst3.right.data(), viaVst2.right.data(), viaVst2.right.size() * sizeof(float)), 0);
  }
}

TEST_F(Vst3Plugin, TheStateRoundTripsAndTheControllerFollowsIt) {
  std::string saved;
  {
    Instance first(module.factory);
    ASSERT_TRUE(first.start(44100.0, 128));
    ParameterChanges changes;
    changes.add(programParameter(first.controller), 0, 3.0 / 15.0);
    changes.add(31, 5, 0.125);
    std::vector<float> left(128), right(128);
    ASSERT_EQ(first.block(128, left.data(), right.data(), nullptr, &changes, 0.0), kResultOk);
    MemoryStream stream;
    ASSERT_EQ(first.component->getState(&stream), kResultOk);
    saved = stream.bytes;
  }
  Instance second(module.factory);
  MemoryStream in(saved);
  ASSERT_EQ(second.component->setState(&in), kResultOk);
  MemoryStream again;
  ASSERT_EQ(second.component->getState(&again), kResultOk);
  EXPECT_EQ(again.bytes, saved);
  ASSERT_TRUE(second.syncController());
  EXPECT_EQ(second.controller->getParamNormalized(31), 0.125);
  EXPECT_EQ(second.controller->getParamNormalized(programParameter(second.controller)), 3.0 / 15.0);
  // A component that is not connected to its controller plays the same: state and values are its own.
  EXPECT_EQ(second.component->getState(&again), kResultOk);
}

TEST_F(Vst3Plugin, StreamsThatAreNotAWholeStateChangeNothing) {
  Instance instance(module.factory);
  ASSERT_TRUE(instance.valid());
  MemoryStream original;
  ASSERT_EQ(instance.component->getState(&original), kResultOk);
  const std::string whole = original.bytes;
  std::string foreign(300, '\0');
  for (size_t i = 0; i < foreign.size(); ++i) foreign[i] = static_cast<char>(i * 37);
  const std::pair<const char*, std::string> rows[] = {
      {"empty", ""},
      {"short", whole.substr(0, whole.size() / 2)},
      {"long", whole + "program 99 extra\n"},
      {"foreign", foreign},
      {"oversized", std::string(300 * 1024, 'x')},
  };
  for (const auto& [name, bytes] : rows) {
    SCOPED_TRACE(name);
    MemoryStream stream(bytes), controllerStream(bytes), after;
    EXPECT_EQ(instance.component->setState(&stream), kResultFalse);
    EXPECT_EQ(instance.controller->setComponentState(&controllerStream), kResultFalse);
    ASSERT_EQ(instance.component->getState(&after), kResultOk);
    EXPECT_EQ(after.bytes, whole);
  }
}

bool finite(const std::vector<float>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](float x) { return std::isfinite(x); });
}

TEST_F(Vst3Plugin, CarelessHostCallsGetHarmlessAnswers) {
  Instance instance(module.factory);
  ASSERT_TRUE(instance.valid());
  const Uid unknown = makeUid(0x12345678, 0x9ABCDEF0, 0x0FEDCBA9, 0x87654321);
  void* object = &instance;
  EXPECT_EQ(instance.component->queryInterface(unknown.data(), &object), kNoInterface);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(instance.controller->queryInterface(unknown.data(), &object), kNoInterface);
  EXPECT_EQ(instance.component->queryInterface(IEditController::iid.data(), &object), kNoInterface);
  EXPECT_EQ(module.factory->queryInterface(unknown.data(), &object), kNoInterface);
  EXPECT_EQ(module.factory->createInstance(unknown.data(), IComponent::iid.data(), &object), kNoInterface);
  EXPECT_EQ(module.factory->createInstance(nullptr, IComponent::iid.data(), &object), kInvalidArgument);
  EXPECT_EQ(module.factory->getClassInfo(2, nullptr), kInvalidArgument);
  EXPECT_EQ(instance.component->initialize(&instance.host), kResultFalse);  // twice

  BusInfo bus{};
  EXPECT_EQ(instance.component->getBusInfo(kAudio, kOutput, 1, bus), kInvalidArgument);
  EXPECT_EQ(instance.component->getBusInfo(7, kOutput, 0, bus), kInvalidArgument);
  EXPECT_EQ(instance.component->activateBus(kAudio, kInput, 0, 1), kInvalidArgument);
  ParameterInfo info{};
  EXPECT_EQ(instance.controller->getParameterInfo(-1, info), kInvalidArgument);
  EXPECT_EQ(instance.controller->getParameterInfo(instance.controller->getParameterCount(), info), kInvalidArgument);
  EXPECT_EQ(instance.controller->setParamNormalized(5000, 0.5), kInvalidArgument);
  EXPECT_EQ(instance.controller->getParamNormalized(5000), 0.0);
  EXPECT_EQ(instance.controller->setParamNormalized(31, std::nan("")), kResultOk);
  EXPECT_EQ(instance.controller->getParamNormalized(31), 0.0);
  EXPECT_EQ(instance.controller->setParamNormalized(31, 7.0), kResultOk);
  EXPECT_EQ(instance.controller->getParamNormalized(31), 1.0);
  ParamID id = 0;
  IMidiMapping* mapping = queryOf<IMidiMapping>(instance.controller);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(mapping->getMidiControllerAssignment(1, 0, 74, id), kResultFalse);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 16, 74, id), kResultFalse);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, 200, id), kResultFalse);
  mapping->release();
  EXPECT_EQ(instance.controller->createView("no such view"), nullptr);

  ProcessSetup doubles{kRealtime, kSample64, 512, 44100.0}, noRate{kRealtime, kSample32, 512, std::nan("")};
  EXPECT_EQ(instance.processor->setupProcessing(doubles), kResultFalse);
  EXPECT_EQ(instance.processor->setupProcessing(noRate), kInvalidArgument);
  EXPECT_EQ(instance.processor->setProcessing(1), kResultFalse);  // not active yet
  ASSERT_TRUE(instance.start(44100.0, 256));
  ProcessSetup whileActive{kRealtime, kSample32, 512, 48000.0};
  EXPECT_EQ(instance.processor->setupProcessing(whileActive), kResultFalse);

  // Blocks with offsets outside the block, unknown ids and buses, NaN and out-of-range values, notes on
  // every kind of pitch, and empty and negative blocks.
  std::vector<float> left(256), right(256);
  const ParamID selector = programParameter(instance.controller);
  for (int round = 0; round < 40; ++round) {
    EventList events;
    ParameterChanges changes;
    events.noteOn(-7, 0, 60, 0.8f);
    events.noteOn(9999, 3, 64, std::nanf(""));
    events.noteOn(5, 0, 300, 1.0f);
    events.noteOff(100, 0, -4, 0.5f);
    events.events.push_back(events.events[0]);
    events.events.back().busIndex = 3;
    changes.add(31, -20, std::nan(""));
    changes.add(32, 100000, 2.5);
    changes.add(selector, 50, round % 2 == 0 ? std::nan("") : -3.0);
    changes.add(5000, 10, 0.5);
    changes.add(2074, 30, std::nan(""));
    changes.add(2128, 40, 9.0);
    const int32 frames = round % 5 == 0 ? 0 : 256;
    EXPECT_EQ(instance.block(frames, left.data(), round % 3 == 0 ? nullptr : right.data(), &events, &changes, std::nan("")),
              kResultOk);
    ASSERT_TRUE(finite(left) && finite(right)) << round;
  }
  EXPECT_EQ(instance.block(-1, left.data(), right.data(), nullptr, nullptr, 0.0), kInvalidArgument);
  EXPECT_EQ(instance.block(64, nullptr, nullptr, nullptr, nullptr, 0.0), kResultOk);
}

TEST(Vst3Controller, EditorEditsReachTheHostAsOneGesturePerControl) {
  vst3host::ComponentHandler handler;
  auto* controller = new tamblin::vst3::Controller;
  ASSERT_EQ(controller->initialize(nullptr), kResultOk);
  ASSERT_EQ(controller->setComponentHandler(&handler), kResultOk);
  controller->editFromEditor(31, 0.25f);
  controller->editFromEditor(31, 0.5f);
  controller->endGesture(false);  // too soon: the drag goes on
  controller->editFromEditor(32, 0.75f);
  controller->endGesture(true);
  const std::vector<std::string> expected = {"begin 31", "perform 31", "perform 31", "end 31",
                                             "begin 32", "perform 32", "end 32"};
  EXPECT_EQ(handler.calls, expected);
  EXPECT_EQ(handler.lastValue, 0.75);
  EXPECT_EQ(controller->getParamNormalized(31), 0.5);
  controller->terminate();
  controller->release();
}

}  // namespace
}  // namespace tamblin::test
