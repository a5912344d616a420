// Tamblin.clap as a CLAP host sees it: descriptor, extensions, parameters and presets against the
// parameter table and the factory bank, the golden phrase sample for sample equal to the VST 2
// library's, automation on its frame, state round trips and refusals, and a careless host's calls.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "ClapParameters.h"
#include "ClapTestHost.h"
#include "FactoryBank.h"
#include "ParameterTable.h"
#include "support/ChildProcess.h"
#include "support/EventBatch.h"
#include "support/RecordingHost.h"
#include "support/Vst2Reference.h"

namespace tamblin::test::clap {
namespace {

float programValue(int program, int index) {
  const FactoryProgram& bank = kFactoryBank[program];
  for (std::size_t k = 0; k < bank.count; ++k) {
    if (bank.values[k].index == index) return bank.values[k].value;
  }
  return 0.0f;
}

class ClapPlugin : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(library.entry(), nullptr) << "no clap_entry in " TAMBLIN_CLAP_LIBRARY; }
  ClapLibrary library{TAMBLIN_CLAP_LIBRARY};
};

// ---- identity and extensions -------------------------------------------------------------------------

TEST(ClapLibraryFile, ExportsOnlyClapEntryAndNeedsNothingButTheRuntimeAndX11) {
  EXPECT_EQ(lastWordsOf("nm -D --defined-only " TAMBLIN_CLAP_LIBRARY), std::set<std::string>{"clap_entry"});
  const std::set<std::string> allowed = {"[libstdc++.so.6]", "[libm.so.6]", "[libgcc_s.so.1]", "[libc.so.6]",
                                         "[libX11.so.6]"};
  for (const std::string& needed : lastWordsOf("readelf -d " TAMBLIN_CLAP_LIBRARY " | grep NEEDED")) {
    EXPECT_TRUE(allowed.count(needed) == 1 || needed.rfind("[libasan", 0) == 0 || needed.rfind("[libubsan", 0) == 0)
        << needed;
  }
}

TEST_F(ClapPlugin, DescriptorAndExtensionsAreTamblinsAsHostsListThem) {
  const clap_plugin_entry_t* entry = library.entry();
  EXPECT_TRUE(clap_version_is_compatible(entry->clap_version));
  const clap_plugin_factory_t* factory = library.factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(entry->get_factory("clap.no-such-factory"), nullptr);
  ASSERT_EQ(factory->get_plugin_count(factory), 1u);
  EXPECT_EQ(factory->get_plugin_descriptor(factory, 1), nullptr);
  const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->id, "com.brightmoor.tamblin");
  EXPECT_STREQ(d->name, "Tamblin");
  EXPECT_STREQ(d->vendor, "Brightmoor");
  EXPECT_STREQ(d->version, TAMBLIN_VERSION);
  std::vector<std::string> features;
  for (const char* const* f = d->features; *f != nullptr; ++f) features.emplace_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"instrument", "synthesizer", "stereo"}));

  TestHost host;
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid());
  const clap_plugin_t* plugin = instance.plugin();
  EXPECT_EQ(plugin->desc, d);
  struct Expected {
    const char* id;
    bool offered;
  };
  for (const Expected& e : std::initializer_list<Expected>{{CLAP_EXT_AUDIO_PORTS, true},
                                                           {CLAP_EXT_NOTE_PORTS, true},
                                                           {CLAP_EXT_PARAMS, true},
                                                           {CLAP_EXT_STATE, true},
                                                           {CLAP_EXT_LATENCY, true},
                                                           {CLAP_EXT_RENDER, true},
                                                           {CLAP_EXT_GUI, true},
                                                           {CLAP_EXT_TIMER_SUPPORT, true},
                                                           {CLAP_EXT_PRESET_LOAD, true},
                                                           {CLAP_EXT_PRESET_LOAD_COMPAT, true},
                                                           {"clap.voice-info", false},
                                                           {"", false}}) {
    EXPECT_EQ(plugin->get_extension(plugin, e.id) != nullptr, e.offered) << e.id;
  }
  const auto* audio = extensionOf<clap_plugin_audio_ports_t>(plugin, CLAP_EXT_AUDIO_PORTS);
  EXPECT_EQ(audio->count(plugin, true), 0u);
  ASSERT_EQ(audio->count(plugin, false), 1u);
  clap_audio_port_info_t port{};
  ASSERT_TRUE(audio->get(plugin, 0, false, &port));
  EXPECT_EQ(port.channel_count, 2u);
  EXPECT_STREQ(port.port_type, CLAP_PORT_STEREO);
  EXPECT_EQ(port.flags & CLAP_AUDIO_PORT_IS_MAIN, CLAP_AUDIO_PORT_IS_MAIN);
  EXPECT_FALSE(audio->get(plugin, 1, false, &port));
  const auto* notes = extensionOf<clap_plugin_note_ports_t>(plugin, CLAP_EXT_NOTE_PORTS);
  EXPECT_EQ(notes->count(plugin, false), 0u);
  ASSERT_EQ(notes->count(plugin, true), 1u);
  clap_note_port_info_t notePort{};
  ASSERT_TRUE(notes->get(plugin, 0, true, &notePort));
  EXPECT_EQ(notePort.supported_dialects, CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI);
  EXPECT_EQ(extensionOf<clap_plugin_latency_t>(plugin, CLAP_EXT_LATENCY)->get(plugin), 0u);
  const auto* render = extensionOf<clap_plugin_render_t>(plugin, CLAP_EXT_RENDER);
  EXPECT_TRUE(render->set(plugin, CLAP_RENDER_OFFLINE));
  EXPECT_TRUE(render->set(plugin, CLAP_RENDER_REALTIME));
}

// ---- parameters --------------------------------------------------------------------------------------

TEST_F(ClapPlugin, TheHundredParametersInTableOrderStartAtProgramZeroWithChoicesStepped) {
  TestHost host;
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid());
  ASSERT_EQ(instance.params->count(instance.plugin()), 100u);
  int hidden = 0;
  for (uint32_t i = 0; i < 100; ++i) {
    SCOPED_TRACE("parameter " + std::to_string(i));
    clap_param_info_t info{};
    ASSERT_TRUE(instance.params->get_info(instance.plugin(), i, &info));
    const ParameterInfo& row = parameterInfo(static_cast<int>(i));
    EXPECT_EQ(info.id, i);
    EXPECT_EQ(info.name, parameterTitle(static_cast<int>(i)));
    EXPECT_STREQ(info.module, sectionName(row.section));
    const bool spare = std::string(info.name).rfind("Spare ", 0) == 0;
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_HIDDEN) != 0, spare);
    hidden += spare ? 1 : 0;
    const bool choice = row.format == ValueFormat::Choice || row.format == ValueFormat::StepPattern;
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, choice);
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_ENUM) != 0, row.format == ValueFormat::Choice);
    EXPECT_NE(info.flags & CLAP_PARAM_IS_AUTOMATABLE, 0u);
    EXPECT_EQ(info.min_value, 0.0);
    EXPECT_EQ(info.max_value, choice ? row.choices.count - 1.0 : 1.0);
    const float start = programValue(0, static_cast<int>(i));
    const double expected = choice ? choiceIndex(start, row.choices.count) : static_cast<double>(start);
    EXPECT_EQ(info.default_value, expected);
    EXPECT_EQ(instance.value(i), expected);
    // Every choice's text is its name and reads back to it.
    if (row.format == ValueFormat::Choice) {
      for (int k = 0; k < row.choices.count; ++k) {
        char text[64];
        ASSERT_TRUE(instance.params->value_to_text(instance.plugin(), i, k, text, sizeof text));
        EXPECT_STREQ(text, row.choices.names[k]);
        double back = -1.0;
        ASSERT_TRUE(instance.params->text_to_value(instance.plugin(), i, text, &back));
        EXPECT_EQ(back, k);
      }
    }
  }
  EXPECT_GT(hidden, 0);
  clap_param_info_t info{};
  EXPECT_FALSE(instance.params->get_info(instance.plugin(), 100, &info));
  char text[64];
  ASSERT_TRUE(instance.params->value_to_text(instance.plugin(), kGatePatternVolume, 0xF00F, text, sizeof text));
  EXPECT_STREQ(text, "xxxx--------xxxx");
  double word = 0.0;
  ASSERT_TRUE(instance.params->text_to_value(instance.plugin(), kGatePatternVolume, "x-x-x-x-x-x-x-x-", &word));
  EXPECT_EQ(word, 0xAAAA);
  ASSERT_TRUE(instance.params->text_to_value(instance.plugin(), kVolume, " 0.25 ", &word));
  EXPECT_EQ(word, 0.25);
}

// A host setting values while the plug-in is inactive: flush applies them; a choice k is stored as the
// editor writes it.
TEST_F(ClapPlugin, FlushWhileInactiveStoresValuesAsTheEditorWrites) {
  TestHost host;
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid());
  const uint32_t filter = kFilterType;
  InputEvents in;
  in.add(paramEvent(0, kFilterFrequency, 0.3));
  in.add(paramEvent(0, filter, 7.0));
  OutputEvents out;
  instance.params->flush(instance.plugin(), in.list(), out.list());
  EXPECT_EQ(instance.value(kFilterFrequency), static_cast<double>(0.3f));
  EXPECT_EQ(instance.value(filter), 7.0);
  EXPECT_TRUE(out.values.empty());  // the host's own changes are not echoed
}

// ---- presets -----------------------------------------------------------------------------------------

struct Indexed {
  std::vector<clap_preset_discovery_location_t> locations;
  std::vector<std::pair<std::string, std::string>> presets;  // name, load key
  std::vector<std::string> pluginIds;
};

TEST_F(ClapPlugin, PresetDiscoveryListsTheSixteenProgramsInsideThePluginAndPresetLoadSelectsThem) {
  const auto* factory = static_cast<const clap_preset_discovery_factory_t*>(
      library.entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(library.entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT), factory);
  ASSERT_EQ(factory->count(factory), 1u);
  const clap_preset_discovery_provider_descriptor_t* d = factory->get_descriptor(factory, 0);
  ASSERT_NE(d, nullptr);
  Indexed indexed;
  clap_preset_discovery_indexer_t indexer{CLAP_VERSION, "test", "", "", "", &indexed, nullptr, nullptr, nullptr, nullptr};
  indexer.declare_filetype = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_filetype_t*) {
    return true;
  };
  indexer.declare_location = [](const clap_preset_discovery_indexer_t* i, const clap_preset_discovery_location_t* l) {
    static_cast<Indexed*>(i->indexer_data)->locations.push_back(*l);
    return true;
  };
  indexer.declare_soundpack = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_soundpack_t*) {
    return true;
  };
  indexer.get_extension = [](const clap_preset_discovery_indexer_t*, const char*) -> const void* { return nullptr; };
  EXPECT_EQ(factory->create(factory, &indexer, "no.such.provider"), nullptr);
  const clap_preset_discovery_provider_t* provider = factory->create(factory, &indexer, d->id);
  ASSERT_NE(provider, nullptr);
  ASSERT_TRUE(provider->init(provider));
  ASSERT_EQ(indexed.locations.size(), 1u);
  EXPECT_EQ(indexed.locations[0].kind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
  EXPECT_EQ(indexed.locations[0].location, nullptr);
  clap_preset_discovery_metadata_receiver_t receiver{};
  receiver.receiver_data = &indexed;
  receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver_t* r, const char* name, const char* key) {
    static_cast<Indexed*>(r->receiver_data)->presets.emplace_back(name, key);
    return true;
  };
  receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver_t* r, const clap_universal_plugin_id_t* id) {
    static_cast<Indexed*>(r->receiver_data)->pluginIds.push_back(std::string(id->abi) + ":" + id->id);
  };
  EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp", &receiver));
  ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &receiver));
  provider->destroy(provider);
  ASSERT_EQ(indexed.presets.size(), 16u);
  for (int p = 0; p < 16; ++p) {
    EXPECT_EQ(indexed.presets[static_cast<size_t>(p)].first, kFactoryBank[p].name);
    EXPECT_EQ(indexed.presets[static_cast<size_t>(p)].second, std::to_string(p));
    EXPECT_EQ(indexed.pluginIds[static_cast<size_t>(p)], "clap:com.brightmoor.tamblin");
  }

  // Loading a preset by its key gives the program's values and tells the host.
  TestHost host;
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid());
  for (int p : {11, 3}) {
    ASSERT_TRUE(instance.loadProgram(p));
    for (uint32_t i = 0; i < 100; ++i) {
      EXPECT_EQ(instance.value(i), tamblin::clap::hostValue(i, programValue(p, static_cast<int>(i)))) << p << " " << i;
    }
  }
  EXPECT_EQ(host.record.presetsLoaded, 2);
  EXPECT_GE(host.record.rescans, 2);
  EXPECT_NE(host.record.rescanFlags & CLAP_PARAM_RESCAN_VALUES, 0u);
}

// ---- the same samples as the VST 2 library -------------------------------------------------------------


bool same(const Render& a, const Render& b) {
  return a.left.size() == b.left.size() && std::memcmp(a.left.data(), b.left.data(), a.left.size() * 4) == 0 &&
         std::memcmp(a.right.data(), b.right.data(), a.right.size() * 4) == 0;
}

std::string goldenFileLine(int program) {
  std::ifstream file(TAMBLIN_GOLDEN_FILE);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (std::stoi(line) == program) return line;
  }
  return "missing";
}

TEST_F(ClapPlugin, EveryFactoryProgramPlaysTheGoldenPhraseSampleForSampleAsTheVst2Library) {
  for (int program = 0; program < kFactoryProgramCount; ++program) {
    SCOPED_TRACE(kFactoryBank[program].name);
    const Render viaClap = playPhrase(library, program, kPhrase, kPhraseFrames, 300, Dialect::Midi, 0.0);
    const Render viaVst2 = playVst2Library(TAMBLIN_VST2_LIBRARY, program, kPhrase, kPhraseFrames, 120.0f);
    EXPECT_TRUE(same(viaClap, viaVst2));
    EXPECT_EQ(goldenLine(program, viaClap), goldenFileLine(program));
  }
}

// CLAP note events, a program change message instead of preset-load, a transport at 120: the same.
TEST_F(ClapPlugin, ClapNotesProgramChangesAndATransportAt120SoundTheSame) {
  struct Case {
    int program;
    Dialect dialect;
    bool programChange;
    double bpm;
  };
  for (const Case& c : {Case{0, Dialect::ClapNotes, false, 0.0}, Case{6, Dialect::ClapNotes, false, 120.0},
                        Case{8, Dialect::Midi, true, 120.0}, Case{13, Dialect::ClapNotes, true, 0.0}}) {
    SCOPED_TRACE("program " + std::to_string(c.program));
    const Render viaClap = playPhrase(library, c.program, kPhrase, kPhraseFrames, 441, c.dialect, c.bpm, c.programChange);
    EXPECT_EQ(goldenLine(c.program, viaClap), goldenFileLine(c.program));
  }
}

// A note-off naming no key and no channel releases every held key, as one note-off per key would.
TEST_F(ClapPlugin, ANoteOffWithoutKeyOrChannelReleasesEveryHeldKey) {
  std::vector<TimedMessage> phrase;
  for (const TimedMessage& m : kPhrase) {
    if (m.frame < 44100) phrase.push_back(m);
  }
  std::vector<TimedMessage> explicitOffs = phrase;
  for (uint8_t key : {48, 64, 67}) explicitOffs.push_back({44100, 0x80, key, 0});
  const Render expected = playPhrase(library, 8, explicitOffs, 50000, 500, Dialect::Midi, 0.0);
  const Render wildcard = playPhrase(library, 8, phrase, 50000, 500, Dialect::ClapNotes, 0.0, false,
                                     [](int start, int frames, InputEvents& in) {
                                       if (44100 >= start && 44100 < start + frames)
                                         in.add(noteEvent(static_cast<uint32_t>(44100 - start), CLAP_EVENT_NOTE_OFF,
                                                          -1, -1, 0.0));
                                     });
  EXPECT_TRUE(same(expected, wildcard));
}

// Automation on a frame inside a block, with a transport at 96: the same as the VST 2 library given the
// values at a block boundary on that frame.
TEST_F(ClapPlugin, AutomationInsideABlockActsOnItsFrame) {
  constexpr int kFrame = 38400;  // inside a CLAP block of 1000, on a VST 2 block boundary of 512
  const int filterChoice = 5;
  const std::vector<std::pair<int, float>> vst2Changes = {
      {kFilterFrequency, 0.35f}, {kArpRate, 0.2f}, {kFilterType, choiceValue(filterChoice, kFilterTypeCount)}};
  for (int program : {6, 8, 11}) {
    SCOPED_TRACE(kFactoryBank[program].name);
    const Render viaVst2 =
        playVst2Library(TAMBLIN_VST2_LIBRARY, program, kPhrase, kPhraseFrames, 96.0f, {{kFrame, 0.0f, vst2Changes}});
    const Render viaClap = playPhrase(library, program, kPhrase, kPhraseFrames, 1000, Dialect::Midi, 96.0, false,
                                      [&](int start, int frames, InputEvents& in) {
                                        if (kFrame < start || kFrame >= start + frames) return;
                                        const uint32_t at = static_cast<uint32_t>(kFrame - start);
                                        in.add(paramEvent(at, kFilterFrequency, 0.35f));
                                        in.add(paramEvent(at, kArpRate, 0.2f));
                                        in.add(paramEvent(at, kFilterType, filterChoice));
                                      });
    EXPECT_TRUE(same(viaClap, viaVst2));
  }
}

}  // namespace
}  // namespace tamblin::test::clap
