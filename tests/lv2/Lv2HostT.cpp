// The bundle as an LV2 host sees it: port list and presets against the parameter descriptions and the
// factory bank, instantiation refused where it must be, and the golden phrase sample for sample
// equal through LV2 and through the VST 2 library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <lilv/lilv.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "FactoryBank.h"
#include "Lv2TestHost.h"
#include "ParameterPorts.h"
#include "support/EventBatch.h"
#include "support/GoldenPhrase.h"
#include "support/ChildProcess.h"
#include "support/RecordingHost.h"
#include "support/Vst2Reference.h"

namespace tamblin::test {
namespace {

using lv2::parameterPort;
using lv2::programValue;

std::string text(const LilvNode* node) { return node != nullptr ? lilv_node_as_string(node) : ""; }


class Lv2Bundle : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(world.plugin(), nullptr) << "no plug-in in " TAMBLIN_LV2_BUNDLE; }

  const LilvPort* port(uint32_t index) const { return lilv_plugin_get_port_by_index(world.plugin(), index); }
  bool portIs(uint32_t index, const char* classUri) {
    return lilv_port_is_a(world.plugin(), port(index), world.uri(classUri));
  }

  // The presets' labels and the port values they set, read as a host applies them (lilv's state).
  struct Preset {
    std::string label;
    float values[kNumParams];
  };
  std::vector<Preset> presets() {
    std::vector<Preset> found;
    LilvNodes* related = lilv_plugin_get_related(world.plugin(), world.uri(LV2_PRESETS__Preset));
    LILV_FOREACH(nodes, i, related) {
      const LilvNode* preset = lilv_nodes_get(related, i);
      lilv_world_load_resource(world.world(), preset);
      LilvState* state = lilv_state_new_from_world(world.world(), urids.map(), preset);
      if (state == nullptr) continue;
      Preset entry{lilv_state_get_label(state) ? lilv_state_get_label(state) : "", {}};
      std::fill(std::begin(entry.values), std::end(entry.values), std::numeric_limits<float>::quiet_NaN());
      struct Target {
        Lv2Bundle* test;
        Preset* preset;
      } target{this, &entry};
      lilv_state_restore(
          state, nullptr,
          [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
            auto* t = static_cast<Target*>(data);
            LilvNode* name = lilv_new_string(t->test->world.world(), symbol);
            const LilvPort* p = lilv_plugin_get_port_by_symbol(t->test->world.plugin(), name);
            lilv_node_free(name);
            const uint32_t index =
                p != nullptr ? lilv_port_get_index(t->test->world.plugin(), p) : kNumParams;
            if (index < kNumParams && size == sizeof(float))
              std::memcpy(&t->preset->values[index], value, size);
          },
          &target, 0, nullptr);
      lilv_state_free(state);
      found.push_back(entry);
    }
    lilv_nodes_free(related);
    return found;
  }

  UridMap urids;
  Lv2World world;
};

TEST_F(Lv2Bundle, PortsAreTheParametersInOrderThenEventsAudioTheGateLampAndNotifications) {
  const LilvPlugin* plugin = world.plugin();
  LilvNode* pluginName = lilv_plugin_get_name(plugin);
  EXPECT_EQ(text(pluginName), "Tamblin");
  lilv_node_free(pluginName);
  EXPECT_TRUE(lilv_world_ask(world.world(), lilv_plugin_get_uri(plugin), world.uri(LILV_NS_RDF "type"),
                             world.uri(LV2_CORE__InstrumentPlugin)));
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), static_cast<uint32_t>(lv2::kPortCount));
  EXPECT_EQ(lilv_plugin_get_num_ports_of_class(plugin, world.uri(LV2_CORE__AudioPort),
                                               world.uri(LV2_CORE__InputPort), nullptr),
            0u);

  std::map<std::string, int> symbols, names;
  for (int i = 0; i < kNumParams; ++i) {
    const lv2::ParameterPort expected = parameterPort(i);
    SCOPED_TRACE("parameter " + std::to_string(i) + " " + expected.name);
    EXPECT_TRUE(portIs(i, LV2_CORE__InputPort) && portIs(i, LV2_CORE__ControlPort));
    EXPECT_EQ(text(lilv_port_get_symbol(plugin, port(i))), expected.symbol);
    LilvNode* name = lilv_port_get_name(plugin, port(i));
    EXPECT_EQ(text(name), expected.name);
    EXPECT_FALSE(expected.name.empty());
    lilv_node_free(name);
    symbols[expected.symbol]++;
    names[expected.name]++;

    LilvNode *def, *min, *max;
    lilv_port_get_range(plugin, port(i), &def, &min, &max);
    EXPECT_EQ(lilv_node_as_float(def), programValue(0, i));
    EXPECT_EQ(lilv_node_as_float(min), 0.0f);
    EXPECT_EQ(lilv_node_as_float(max), 1.0f);
    for (LilvNode* node : {def, min, max}) lilv_node_free(node);

    const bool enumeration = lilv_port_has_property(plugin, port(i), world.uri(LV2_CORE__enumeration));
    EXPECT_EQ(enumeration, !expected.choices.empty());
    std::map<float, std::string> points;
    LilvScalePoints* scalePoints = lilv_port_get_scale_points(plugin, port(i));
    LILV_FOREACH(scale_points, s, scalePoints) {
      const LilvScalePoint* point = lilv_scale_points_get(scalePoints, s);
      points[lilv_node_as_float(lilv_scale_point_get_value(point))] = text(lilv_scale_point_get_label(point));
    }
    lilv_scale_points_free(scalePoints);
    // One point at the centre of each choice, labelled with the editor's text, and the editor's
    // choice reading takes the centre back to its choice.
    ASSERT_EQ(points.size(), expected.choices.size());
    const int count = static_cast<int>(expected.choices.size());
    for (int k = 0; k < count; ++k) {
      const float centre = lv2::choiceCentre(k, count);
      EXPECT_EQ(points[centre], expected.choices[static_cast<size_t>(k)]);
      EXPECT_EQ(choiceIndex(centre, count), k);
    }
  }
  for (const auto& [symbol, uses] : symbols) EXPECT_EQ(uses, 1) << symbol;
  for (const auto& [name, uses] : names) EXPECT_EQ(uses, 1) << name;

  EXPECT_TRUE(portIs(lv2::kEventsPort, LV2_CORE__InputPort) && portIs(lv2::kEventsPort, LV2_ATOM__AtomPort));
  EXPECT_TRUE(lilv_port_supports_event(plugin, port(lv2::kEventsPort), world.uri(LV2_MIDI__MidiEvent)));
  EXPECT_TRUE(lilv_port_supports_event(plugin, port(lv2::kEventsPort), world.uri(LV2_TIME__Position)));
  for (int out : {lv2::kLeftOutPort, lv2::kRightOutPort}) {
    EXPECT_TRUE(portIs(out, LV2_CORE__OutputPort) && portIs(out, LV2_CORE__AudioPort));
  }
  EXPECT_TRUE(portIs(lv2::kGateLampPort, LV2_CORE__OutputPort) &&
              portIs(lv2::kGateLampPort, LV2_CORE__ControlPort));
  EXPECT_TRUE(portIs(lv2::kNotifyPort, LV2_CORE__OutputPort) && portIs(lv2::kNotifyPort, LV2_ATOM__AtomPort));
  EXPECT_TRUE(lilv_port_supports_event(plugin, port(lv2::kNotifyPort), world.uri(LV2_PATCH__Message)));
}

TEST_F(Lv2Bundle, PresetsAreTheSixteenFactoryProgramsWithTheirExactValues) {
  const std::vector<Preset> found = presets();
  ASSERT_EQ(found.size(), static_cast<size_t>(kFactoryProgramCount));
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    const Preset* preset = nullptr;
    for (const Preset& candidate : found) {
      if (candidate.label == kFactoryBank[p].name) preset = &candidate;
    }
    ASSERT_NE(preset, nullptr) << kFactoryBank[p].name;
    for (int i = 0; i < kNumParams; ++i) {
      EXPECT_EQ(preset->values[i], programValue(p, i)) << kFactoryBank[p].name << " parameter " << i;
    }
  }
}

TEST(Lv2Libraries, EachExportsOnlyItsDescriptorAndTheDspNeedsNothingButTheCppRuntime) {
  const std::string dsp = TAMBLIN_LV2_BUNDLE "/tamblin.so", ui = TAMBLIN_LV2_BUNDLE "/tamblin_ui.so";
  EXPECT_EQ(lastWordsOf("nm -D --defined-only " + dsp), std::set<std::string>{"lv2_descriptor"});
  EXPECT_EQ(lastWordsOf("nm -D --defined-only " + ui), std::set<std::string>{"lv2ui_descriptor"});
  const std::set<std::string> runtime = {"[libstdc++.so.6]", "[libm.so.6]", "[libgcc_s.so.1]", "[libc.so.6]"};
  for (const std::string& needed : lastWordsOf("readelf -d " + dsp + " | grep NEEDED")) {
    EXPECT_TRUE(runtime.count(needed) == 1 || needed.rfind("[libasan", 0) == 0 ||
                needed.rfind("[libubsan", 0) == 0)
        << needed;
  }
}

TEST_F(Lv2Bundle, InstantiationIsRefusedOnARateOutsideTheEnginesRangeOrWithoutAUridMap) {
  const LV2_Feature* withMap[] = {urids.feature(), nullptr};
  const LV2_Feature* none[] = {nullptr};
  for (double rate :
       {0.0, -44100.0, 999.0, 1.0e6 + 1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(Lv2Instance(world, urids, rate, withMap).valid()) << rate;
  }
  EXPECT_FALSE(Lv2Instance(world, urids, 44100.0, none).valid());
  EXPECT_FALSE(Lv2Instance(world, urids, 44100.0, nullptr).valid());
  EXPECT_TRUE(Lv2Instance(world, urids, 44100.0, withMap).valid());
  EXPECT_TRUE(Lv2Instance(world, urids, 1000.0, withMap).valid());
}

TEST_F(Lv2Bundle, CarelessPortValuesEventsAndBlocksNeverLeaveTheClipRange) {
  const LV2_Feature* features[] = {urids.feature(), nullptr};
  Lv2Instance instance(world, urids, 48000.0, features);
  ASSERT_TRUE(instance.valid());
  float values[kNumParams];
  for (int i = 0; i < kNumParams; ++i) values[i] = programValue(6, i);
  instance.start(values);
  const float oddValues[] = {std::nanf(""), std::numeric_limits<float>::infinity(), -1.0e30f, 7.0f, 0.5f};
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  std::vector<float> left(4096), right(4096);
  for (int block = 0; block < 300; ++block) {
    for (int k = 0; k < 4; ++k)
      instance.parameter(static_cast<int>(next() % kNumParams)) = oddValues[next() % 5];
    const uint32_t frames = next() % 700;  // 0 included
    std::vector<Lv2Instance::BlockEvent> events;
    for (int e = 0; e < 3; ++e) {  // frames past the block, any status, tempos of every kind
      const uint32_t at = next() % 900;
      if (next() % 4 == 0) {
        events.push_back({at, {0, 0, 0}, static_cast<float>(next() % 3000) / 7.0f + 0.001f});
      } else {
        events.push_back({at,
                          {static_cast<uint8_t>(0x80 + next() % 0x80), static_cast<uint8_t>(next()),
                           static_cast<uint8_t>(next())}});
      }
    }
    std::sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.frame < b.frame; });
    const bool leftOnly = block % 7 == 3;
    instance.run(frames, left.data(), leftOnly ? nullptr : right.data(), events);
    for (uint32_t k = 0; k < frames; ++k) {
      ASSERT_TRUE(std::fabs(left[k]) <= 1.0f && (leftOnly || std::fabs(right[k]) <= 1.0f))
          << "block " << block;
    }
    ASSERT_TRUE(instance.gateLamp() >= 0.0f && instance.gateLamp() < 16.0f);
  }
}

// ---- atoms from a careless host, and what controllers change ------------------------------------------

// A sequence laid out so that its last byte is the last readable one: a page that cannot be read follows,
// so that any read past the sequence ends the process.
class GuardedSequence {
 public:
  GuardedSequence() : page_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
    auto* map = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    memory_ = map == MAP_FAILED ? nullptr : static_cast<uint8_t*>(map);
    if (memory_ != nullptr) mprotect(memory_ + page_, page_, PROT_NONE);
  }
  ~GuardedSequence() {
    if (memory_ != nullptr) munmap(memory_, 2 * page_);
  }
  // The words (a multiple of 8 bytes) placed to end at the guard page.
  const void* place(const std::vector<uint32_t>& words) {
    uint8_t* start = memory_ + page_ - words.size() * sizeof(uint32_t);
    std::memcpy(start, words.data(), words.size() * sizeof(uint32_t));
    return start;
  }
  bool ready() const { return memory_ != nullptr; }

 private:
  size_t page_;
  uint8_t* memory_ = nullptr;
};

TEST_F(Lv2Bundle, AtomsWhoseSizesRunPastTheirContainerAreNotReadAndWhatCameBeforePlays) {
  const LV2_Feature* features[] = {urids.feature(), nullptr};
  const uint32_t sequenceType = urids.id(LV2_ATOM__Sequence), midi = urids.id(LV2_MIDI__MidiEvent);
  const uint32_t object = urids.id(LV2_ATOM__Object), position = urids.id(LV2_TIME__Position);
  const uint32_t bpm = urids.id(LV2_TIME__beatsPerMinute), number = urids.id(LV2_ATOM__Double);
  struct Case {
    const char* what;
    std::vector<uint32_t> tail;  // words after a note-on at frame 0; the sequence ends with them
  };
  const Case cases[] = {
      {"an event header cut by the sequence's end", {0, 0}},
      {"a MIDI event whose body runs past the sequence", {0, 0, 3, midi}},
      {"an object whose body runs past the sequence", {0, 0, 40, object, 0, position}},
      {"an object too small to hold its type", {0, 0, 0, object}},
      {"a property header cut by the object's end", {0, 0, 16, object, 0, position, bpm, 0}},
      {"a property value longer than the object", {0, 0, 24, object, 0, position, bpm, 0, 8, number}},
  };
  for (const Case& c : cases) {
    Lv2Instance instance(world, urids, 48000.0, features);
    ASSERT_TRUE(instance.valid());
    float values[kNumParams];
    for (int i = 0; i < kNumParams; ++i) values[i] = programValue(0, i);
    instance.start(values);
    // Header, body (unit, pad), a note-on at frame 0 (3 bytes, padded), then the damaged tail.
    std::vector<uint32_t> words{0, sequenceType, 0, 0, 0, 0, 3, midi, 0x00643c90u, 0};
    words.insert(words.end(), c.tail.begin(), c.tail.end());
    words[0] = static_cast<uint32_t>((words.size() - 2) * sizeof(uint32_t));
    GuardedSequence guarded;
    ASSERT_TRUE(guarded.ready());
    const void* sequence = guarded.place(words);
    // In a child: a read past the sequence ends it with SIGSEGV instead of the test program.
    auto play = [&instance, sequence] {
      std::vector<float> left(512), right(512);
      instance.runOn(sequence, 512, left.data(), right.data());
      float peak = 0.0f;
      for (float v : left) peak = std::max(peak, std::fabs(v));
      std::exit(peak > 1e-4f ? 0 : 3);
    };
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(0), "") << c.what;
  }
}

TEST_F(Lv2Bundle, ParametersThatControllersChangeAreReportedAsPatchSetsAndTheHostsEchoIsNotApplied) {
  const LV2_Feature* features[] = {urids.feature(), nullptr};
  Lv2Instance instance(world, urids, 48000.0, features);
  ASSERT_TRUE(instance.valid());
  float values[kNumParams];
  for (int i = 0; i < kNumParams; ++i) values[i] = programValue(0, i);
  instance.start(values);
  std::vector<float> left(256), right(256);
  using Pairs = std::vector<std::pair<int, float>>;

  // CC 7 (Volume) and CC 65 (Port) in one block; a port the host itself wrote is not reported.
  instance.parameter(kTune1) = 0.25f;
  instance.run(256, left.data(), right.data(), {{3, {0xB0, 7, 0}}, {9, {0xB0, 65, 127}}});
  EXPECT_EQ(instance.notifications(), (Pairs{{kVolume, 0.0f}, {kPortamento, 1.0f}}));
  instance.run(256, left.data(), right.data(), {});
  EXPECT_EQ(instance.notifications(), Pairs{});

  // The host takes the value (its UI writes the port): the echo changes nothing, and a note is silent
  // at volume 0; the host's next own value applies.
  instance.parameter(kVolume) = 0.0f;
  instance.run(256, left.data(), right.data(), {{0, {0x90, 60, 100}}});
  EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0.0f);
  instance.parameter(kVolume) = 0.9f;
  instance.run(256, left.data(), right.data(), {});
  EXPECT_GT(*std::max_element(left.begin(), left.end()), 1e-4f);
  EXPECT_EQ(instance.notifications(), Pairs{});

  // A buffer that holds one message: the second waits for the next block.
  instance.setNotifyCapacity(8 + 72);
  instance.run(256, left.data(), right.data(), {{0, {0xB0, 7, 127}}, {0, {0xB0, 65, 0}}});
  EXPECT_EQ(instance.notifications(), (Pairs{{kVolume, 1.0f}}));
  instance.run(256, left.data(), right.data(), {});
  EXPECT_EQ(instance.notifications(), (Pairs{{kPortamento, 0.0f}}));
}

// ---- the same samples through both formats ----------------------------------------------------------

struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(int frames, float fill)
      : left(static_cast<size_t>(frames), fill), right(static_cast<size_t>(frames), fill) {}
};

// What the host changes mid-phrase: its tempo and some parameter values. The VST 2 host answers the
// new tempo from `frame` on, the LV2 host sends it at `lv2TempoFrame`, inside a block; the engine asks
// for the tempo every 1024 frames, and no request falls between the two. The parameters change at
// `frame`, a block boundary for both hosts.
struct HostChange {
  int frame;
  int lv2TempoFrame;
  float bpm;
  std::vector<std::pair<int, float>> parameters;
};


// The bundle through lilv in blocks of 300 (so that events and changes fall inside blocks), the
// program's values set through the ports as the host's preset would set them.
Stereo playLv2(Lv2World& world, UridMap& urids, int program, const std::vector<TimedMessage>& phrase,
               int frames, float bpm, const HostChange* change, std::vector<float>* gateSteps = nullptr) {
  Stereo out(frames, -99.0f);
  const LV2_Feature* features[] = {urids.feature(), nullptr};
  Lv2Instance instance(world, urids, 44100.0, features);
  if (!instance.valid()) {
    ADD_FAILURE() << "no instance";
    return out;
  }
  float values[kNumParams];
  for (int i = 0; i < kNumParams; ++i) values[i] = programValue(program, i);
  instance.start(values);
  constexpr int kBlock = 300;
  for (int start = 0; start < frames; start += kBlock) {
    const int n = std::min(kBlock, frames - start);
    std::vector<Lv2Instance::BlockEvent> events;
    if (start == 0 && bpm > 0.0f) events.push_back({0, {0, 0, 0}, bpm});
    for (const TimedMessage& m : phrase) {
      if (m.frame >= start && m.frame < start + n) {
        events.push_back({static_cast<uint32_t>(m.frame - start), {m.status, m.data1, m.data2}});
      }
    }
    if (change != nullptr && change->lv2TempoFrame >= start && change->lv2TempoFrame < start + n) {
      const uint32_t at = static_cast<uint32_t>(change->lv2TempoFrame - start);
      auto place = std::find_if(events.begin(), events.end(), [at](const auto& e) { return e.frame > at; });
      events.insert(place, {at, {0, 0, 0}, change->bpm});
    }
    if (change != nullptr && change->frame == start) {
      for (const auto& [index, value] : change->parameters) instance.parameter(index) = value;
    }
    instance.run(static_cast<uint32_t>(n), out.left.data() + start, out.right.data() + start, events);
    if (gateSteps != nullptr) gateSteps->push_back(instance.gateLamp());
  }
  return out;
}

bool sameSamples(const Stereo& a, const Render& b) {
  return a.left.size() == b.left.size() &&
         std::memcmp(a.left.data(), b.left.data(), a.left.size() * sizeof(float)) == 0 &&
         std::memcmp(a.right.data(), b.right.data(), a.right.size() * sizeof(float)) == 0;
}

std::string goldenHash(int program) {
  std::ifstream file(TAMBLIN_GOLDEN_FILE);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    int index;
    std::string hash;
    if (line.empty() || line[0] == '#' || !(fields >> index >> hash)) continue;
    if (index == program) return hash;
  }
  return "missing";
}

TEST_F(Lv2Bundle, EveryFactoryProgramPlaysTheGoldenPhraseSampleForSampleAsTheVst2Library) {
  for (int program = 0; program < kFactoryProgramCount; ++program) {
    SCOPED_TRACE(kFactoryBank[program].name);
    const Stereo viaLv2 = playLv2(world, urids, program, kPhrase, kPhraseFrames, 0.0f, nullptr);
    const Render viaVst2 = playVst2Library(TAMBLIN_VST2_LIBRARY, program, kPhrase, kPhraseFrames, 120.0f);
    EXPECT_TRUE(sameSamples(viaLv2, viaVst2));
    char hash[32];
    std::snprintf(hash, sizeof hash, "%016" PRIx64, samplesHash(viaLv2.left, viaLv2.right));
    EXPECT_EQ(hash, goldenHash(program));
  }
}

TEST_F(Lv2Bundle, TempoAndPortChangesMidPhraseIncludingThePlayModeMatchTheVst2Library) {
  // 38400 is a block boundary for both hosts (300 and 512 frames); the LV2 tempo comes inside the block
  // 37800..38100, after the host tick at 37888.
  const HostChange change{
      38400, 38000, 140.0f, {{kFilterFrequency, 0.35f}, {kPlayMode, 0.9f}, {kArpRate, 0.2f}}};
  // A key goes down on the frame of the LV2 tempo change, ahead of it in the event sequence.
  std::vector<TimedMessage> phrase = kPhrase;
  phrase.insert(
      std::find_if(phrase.begin(), phrase.end(), [](const TimedMessage& m) { return m.frame > 38000; }),
      TimedMessage{38000, 0x90, 60, 100});
  for (int program : {6, 8, 11}) {  // gate, arpeggiator, comb with gate
    SCOPED_TRACE(kFactoryBank[program].name);
    std::vector<float> gateSteps;
    const Stereo viaLv2 = playLv2(world, urids, program, phrase, kPhraseFrames, 96.0f, &change, &gateSteps);
    const Render viaVst2 = playVst2Library(TAMBLIN_VST2_LIBRARY, program, phrase, kPhraseFrames, 96.0f,
                                           {{change.frame, change.bpm, change.parameters}});
    EXPECT_TRUE(sameSamples(viaLv2, viaVst2));
    // The lamp port follows the gate through its steps (one for "Arped", sixteen for the others).
    float highest = 0.0f;
    for (float step : gateSteps) {
      EXPECT_TRUE(step >= 0.0f && step < 16.0f) << step;
      highest = std::max(highest, step);
    }
    EXPECT_GT(highest, program == 8 ? 0.5f : 8.0f);
  }
}

}  // namespace
}  // namespace tamblin::test
