// Tamblin.clap's state through a host's streams (round trips bit for bit, refuses what is not a whole
// state with nothing applied), the changes it reports to the host, and a careless host's calls.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <thread>

#include "ClapParameters.h"
#include "ClapPlugin.h"
#include "ClapTestHost.h"
#include "ParameterTable.h"

namespace tamblin::test::clap {
namespace {

class ClapState : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(library.entry(), nullptr) << "no clap_entry in " TAMBLIN_CLAP_LIBRARY; }

  // Values set as a host sets them while the plug-in is inactive.
  static void setValues(const Instance& instance, const std::vector<std::pair<clap_id, double>>& values) {
    InputEvents in;
    for (const auto& [id, value] : values) in.add(paramEvent(0, id, value));
    OutputEvents out;
    instance.params->flush(instance.plugin(), in.list(), out.list());
  }

  ClapLibrary library{TAMBLIN_CLAP_LIBRARY};
  TestHost host;
};

TEST_F(ClapState, RoundTripsBitForBitThroughStreamsOfAnyChunkSize) {
  Instance first(library, host);
  ASSERT_TRUE(first.valid());
  ASSERT_TRUE(first.loadProgram(9));
  setValues(first, {{kFilterFrequency, 0.123456789}, {kFilterType, 4.0}, {kGatePatternFilter, 0x1234}});
  std::string saved;
  ASSERT_TRUE(first.save(saved, 5));
  EXPECT_EQ(saved.rfind("tamblin-state 1\n", 0), 0u);

  for (uint64_t chunk : {uint64_t{1u << 20}, uint64_t{7}}) {
    TestHost otherHost;
    Instance second(library, otherHost);
    ASSERT_TRUE(second.valid());
    ASSERT_TRUE(second.load(saved, chunk));
    std::string again;
    ASSERT_TRUE(second.save(again));
    EXPECT_EQ(again, saved);
    for (clap_id i = 0; i < 100; ++i) EXPECT_EQ(second.value(i), first.value(i)) << i;
    EXPECT_GE(otherHost.record.rescans, 1);
  }
}

TEST_F(ClapState, ABlobThatIsNotAWholeStateIsRefusedWithNothingApplied) {
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid());
  std::string good;
  ASSERT_TRUE(instance.save(good));
  std::string damaged = good;
  damaged[damaged.find("values 3 ") + 9] = '7';  // a value above 1
  const std::string otherVersion = "tamblin-state 2" + good.substr(15);
  const struct {
    const char* what;
    std::string blob;
  } bad[] = {
      {"empty", ""},
      {"short", good.substr(0, good.size() / 2)},
      {"long", good + "current 2\n"},
      {"damaged", damaged},
      {"another version", otherVersion},
      {"foreign", std::string("CcnK\0\0\x01\x10" "FPCh", 12) + std::string(200, '\x7f')},
      {"oversized", std::string(300 * 1024, '\n')},
  };
  // A different instance state first, so that an applied blob would show.
  ASSERT_TRUE(instance.loadProgram(5));
  std::string before;
  ASSERT_TRUE(instance.save(before));
  for (const auto& b : bad) {
    EXPECT_FALSE(instance.load(b.blob)) << b.what;
    std::string after;
    ASSERT_TRUE(instance.save(after));
    EXPECT_EQ(after, before) << b.what;
  }
  // A stream that fails.
  clap_istream_t failing{nullptr, [](const clap_istream_t*, void*, uint64_t) -> int64_t { return -1; }};
  EXPECT_FALSE(instance.state->load(instance.plugin(), &failing));
  EXPECT_FALSE(instance.state->load(instance.plugin(), nullptr));
  clap_ostream_t full{nullptr, [](const clap_ostream_t*, const void*, uint64_t) -> int64_t { return 0; }};
  EXPECT_FALSE(instance.state->save(instance.plugin(), &full));
}

// ---- Changes the plug-in reports ----------------------------------------------------------------------

TEST_F(ClapState, AMappedControllerIsReportedAsAParameterValueAndTheHostsOwnValuesAreNot) {
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid() && instance.start());
  InputEvents in;
  in.add(paramEvent(10, kVolume, 0.5));
  in.add(midiEvent(100, 0xB0, 74, 90));  // cc74: the filter frequency
  OutputEvents out;
  std::vector<float> left(256), right(256);
  EXPECT_EQ(instance.process(left.data(), right.data(), 256, in, out, 0.0), CLAP_PROCESS_CONTINUE);
  const int index = parameterForController(74);
  ASSERT_EQ(out.values.size(), 1u);
  EXPECT_EQ(out.values[0].param_id, static_cast<clap_id>(index));
  EXPECT_EQ(out.values[0].value, static_cast<double>(90.0f / 127.0f));
  EXPECT_EQ(instance.value(static_cast<clap_id>(index)), out.values[0].value);
  EXPECT_LE(out.values[0].header.time, 256u);
}

TEST_F(ClapState, AProgramChangeMessageAsksTheHostToRescanValuesOnTheMainThread) {
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid() && instance.start());
  InputEvents in;
  in.add(midiEvent(0, 0xC0, 4, 0));
  OutputEvents out;
  std::vector<float> left(64), right(64);
  instance.process(left.data(), right.data(), 64, in, out, 0.0);
  EXPECT_GE(host.record.callbackRequests, 1);
  const int rescans = host.record.rescans;
  instance.plugin()->on_main_thread(instance.plugin());
  EXPECT_EQ(host.record.rescans, rescans + 1);
  EXPECT_NE(host.record.rescanFlags & CLAP_PARAM_RESCAN_VALUES, 0u);
  // Program 4's values are the instance's now.
  TestHost other;
  Instance reference(library, other);
  ASSERT_TRUE(reference.loadProgram(4));
  for (clap_id i = 0; i < 100; ++i) EXPECT_EQ(instance.value(i), reference.value(i)) << i;
}

// The editor's edits go through the plug-in object itself (the window calls it the same way).
TEST_F(ClapState, EditorEditsAreAppliedAndReportedThroughFlushOrTheNextBlock) {
  tamblin::clap::Plugin plugin(host.host());
  ASSERT_TRUE(plugin.init());
  // Inactive: stored at once, reported by the flush the host is asked for.
  plugin.editorEdit(kFilterQ, 0.7f);
  EXPECT_EQ(plugin.instrument().parameter(kFilterQ), 0.7f);
  EXPECT_EQ(host.record.flushRequests, 1);
  EXPECT_EQ(host.record.dirtyMarks, 1);
  OutputEvents out;
  plugin.flush(nullptr, out.list());
  ASSERT_EQ(out.values.size(), 1u);
  EXPECT_EQ(out.values[0].param_id, static_cast<clap_id>(kFilterQ));
  EXPECT_EQ(out.values[0].value, static_cast<double>(0.7f));

  // Processing: applied and reported at the start of the next block.
  ASSERT_TRUE(plugin.activate(48000.0, 1, 512) && plugin.startProcessing());
  plugin.editorEdit(kFilterType, choiceValue(3, kFilterTypeCount));
  EXPECT_NE(plugin.instrument().parameter(kFilterType), choiceValue(3, kFilterTypeCount));
  std::vector<float> left(32), right(32);
  float* channels[2] = {left.data(), right.data()};
  clap_audio_buffer_t buffer{channels, nullptr, 2, 0, 0};
  OutputEvents reported;
  InputEvents none;
  const clap_process_t block{-1, 32, nullptr, nullptr, &buffer, 0, 1, none.list(), reported.list()};
  EXPECT_EQ(plugin.process(&block), CLAP_PROCESS_CONTINUE);
  EXPECT_EQ(plugin.instrument().parameter(kFilterType), choiceValue(3, kFilterTypeCount));
  ASSERT_EQ(reported.values.size(), 1u);
  EXPECT_EQ(reported.values[0].value, 3.0);
  EXPECT_EQ(reported.values[0].header.time, 0u);
  plugin.stopProcessing();
  plugin.deactivate();
}

// ---- A careless host -----------------------------------------------------------------------------

// Each row makes calls a host should not and says whether every answer was the harmless one.
struct CarelessCall {
  const char* what;
  std::function<bool(const ClapLibrary&, TestHost&)> call;
};

bool allFinite(const std::vector<float>& samples) {
  for (float x : samples) {
    if (!(std::fabs(x) <= 1.0f)) return false;
  }
  return true;
}

// One block of careless events after a sane start; true when the block sounds finite and the values
// named keep what they should.
bool carelessBlock(const ClapLibrary& library, TestHost& host, const std::function<void(InputEvents&)>& add,
                   const std::function<bool(const Instance&)>& afterwards) {
  Instance instance(library, host);
  if (!instance.valid() || !instance.start()) return false;
  InputEvents in;
  in.add(midiEvent(0, 0x90, 60, 100));
  add(in);
  OutputEvents out;
  std::vector<float> left(512), right(512);
  for (int block = 0; block < 4; ++block) {
    if (instance.process(left.data(), right.data(), 512, in, out, 0.0) != CLAP_PROCESS_CONTINUE) return false;
    if (!allFinite(left) || !allFinite(right)) return false;
  }
  return afterwards(instance);
}

const CarelessCall kCarelessCalls[] = {
    {"plug-in ids that are not Tamblin's, no host, a host of CLAP 0.9",
     [](const ClapLibrary& library, TestHost& host) {
       const clap_plugin_factory_t* f = library.factory();
       clap_host_t old = *host.host();
       old.clap_version = {0, 9, 0};
       return f->create_plugin(f, host.host(), "com.brightmoor.other") == nullptr &&
              f->create_plugin(f, host.host(), nullptr) == nullptr &&
              f->create_plugin(f, nullptr, "com.brightmoor.tamblin") == nullptr &&
              f->create_plugin(f, &old, "com.brightmoor.tamblin") == nullptr &&
              library.entry()->get_factory(nullptr) == nullptr;
     }},
    {"process before activation and after deactivation, activation at impossible rates or twice",
     [](const ClapLibrary& library, TestHost& host) {
       Instance instance(library, host);
       const clap_plugin_t* p = instance.plugin();
       InputEvents in;
       OutputEvents out;
       std::vector<float> l(64), r(64);
       bool ok = instance.process(l.data(), r.data(), 64, in, out, 0.0) == CLAP_PROCESS_ERROR;
       ok = ok && !p->start_processing(p);
       for (double rate : {0.0, -44100.0, std::nan(""), 2.0e6, std::numeric_limits<double>::infinity()}) {
         ok = ok && !p->activate(p, rate, 1, 512);
       }
       ok = ok && p->activate(p, 44100.0, 1, 512) && !p->activate(p, 48000.0, 1, 512);
       ok = ok && instance.process(l.data(), r.data(), 64, in, out, 0.0) == CLAP_PROCESS_ERROR;  // not started
       p->deactivate(p);
       p->deactivate(p);
       p->reset(p);
       return ok && instance.process(l.data(), r.data(), 64, in, out, 0.0) == CLAP_PROCESS_ERROR;
     }},
    {"parameter ids outside 0..99, null buffers, NaN and texts that name nothing",
     [](const ClapLibrary& library, TestHost& host) {
       Instance instance(library, host);
       const clap_plugin_t* p = instance.plugin();
       const clap_plugin_params_t* params = instance.params;
       clap_param_info_t info;
       double v = 0.0;
       char text[32];
       bool ok = !params->get_info(p, 100, &info) && !params->get_info(p, 0, nullptr) &&
                 !params->get_value(p, 100, &v) && !params->get_value(p, 0xFFFFFFFFu, &v) &&
                 !params->get_value(p, 0, nullptr) && !params->value_to_text(p, 100, 0.5, text, sizeof text) &&
                 !params->value_to_text(p, 0, std::nan(""), text, sizeof text) &&
                 !params->value_to_text(p, 0, 0.5, nullptr, 16) && !params->text_to_value(p, 0, nullptr, &v) &&
                 !params->text_to_value(p, 0, "loud", &v) && !params->text_to_value(p, 0, "1.5", &v) &&
                 !params->text_to_value(p, kFilterType, "Low 99", &v) &&
                 !params->text_to_value(p, kFilterType, "11", &v) && !params->text_to_value(p, 100, "0", &v);
       ok = ok && params->value_to_text(p, 0, 0.5, text, 1) && text[0] == '\0';
       return ok && p->get_extension(p, nullptr) == nullptr;
     }},
    {"events with wrong ids, NaN values, short sizes, other spaces and ports",
     [](const ClapLibrary& library, TestHost& host) {
       return carelessBlock(
           library, host,
           [](InputEvents& in) {
             in.add(paramEvent(5, 100, 0.5));
             in.add(paramEvent(6, 0xFFFFFFFFu, 0.5));
             in.add(paramEvent(7, kVolume, std::nan("")));
             in.add(paramEvent(8, kFilterType, std::numeric_limits<double>::infinity()));
             clap_event_param_value_t shortEvent = paramEvent(9, kFilterQ, 0.9);
             shortEvent.header.size = 20;
             in.add(shortEvent);
             clap_event_param_value_t foreign = paramEvent(10, kFilterQ, 0.9);
             foreign.header.space_id = 7;
             in.add(foreign);
             clap_event_note_t otherPort = noteEvent(11, CLAP_EVENT_NOTE_ON, 0, 64, 1.0);
             otherPort.port_index = 3;
             in.add(otherPort);
             in.add(noteEvent(12, CLAP_EVENT_NOTE_ON, 20, 300, std::nan("")));
             in.add(noteEvent(13, CLAP_EVENT_NOTE_OFF, -5, -9, 0.0));
             in.add(midiEvent(14, 0xF0, 1, 2));
             in.add(midiEvent(15, 0xC0, 99, 0));  // no program 99
             in.add(tempoEvent(16, std::nan("")));
           },
           [](const Instance& instance) {
             return instance.value(kFilterQ) != 0.9 && instance.value(kVolume) != 0.0 &&
                    instance.value(kFilterType) == kFilterTypeCount - 1;
           });
     }},
    {"events out of order and past the end of the block",
     [](const ClapLibrary& library, TestHost& host) {
       return carelessBlock(
           library, host,
           [](InputEvents& in) {
             in.add(paramEvent(400, kFilterFrequency, 0.2));
             in.add(noteEvent(100, CLAP_EVENT_NOTE_ON, 0, 67, 0.8));
             in.add(paramEvent(5000, kFilterFrequency, 0.4));
             in.add(noteEvent(0xFFFFFFFFu, CLAP_EVENT_NOTE_OFF, 0, 60, 0.0));
             in.add(tempoEvent(3, 300.0));
           },
           [](const Instance& instance) { return instance.value(kFilterFrequency) == static_cast<double>(0.4f); });
     }},
    {"state, presets and the editor called with what they cannot use",
     [](const ClapLibrary& library, TestHost& host) {
       Instance instance(library, host);
       const clap_plugin_t* p = instance.plugin();
       const auto* load = instance.presetLoad;
       bool ok = !load->from_location(p, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/x", "1");
       for (const char* key : {"16", "-1", "x", "", "1x", "01 "}) {
         ok = ok && !load->from_location(p, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key);
       }
       ok = ok && !load->from_location(p, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr);
       ok = ok && !load->from_location(p, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, "somewhere", "1");
       const clap_plugin_gui_t* gui = instance.gui;
       clap_window_t parent{CLAP_WINDOW_API_X11, {nullptr}};
       ok = ok && !gui->set_parent(p, &parent) && !gui->show(p) && !gui->create(p, "cocoa", false) &&
            !gui->create(p, CLAP_WINDOW_API_X11, true) && !gui->create(p, nullptr, false) &&
            !gui->set_scale(p, 2.0) && !gui->can_resize(p);
       ok = ok && gui->create(p, CLAP_WINDOW_API_X11, false) && !gui->create(p, CLAP_WINDOW_API_X11, false) &&
            !gui->set_size(p, 100, 100) && !gui->set_parent(p, nullptr) && !gui->set_parent(p, &parent);
       gui->destroy(p);
       gui->destroy(p);
       return ok;
     }},
    {"records that are not the plug-in's",
     [](const ClapLibrary& library, TestHost& host) {
       Instance instance(library, host);
       clap_plugin_t fake = *instance.plugin();
       int notOurs = 0;
       fake.plugin_data = &notOurs;
       const clap_plugin_params_t* params = instance.params;
       double v;
       return params->count(&fake) == 0 && !params->get_value(&fake, 0, &v) &&
              fake.get_extension(&fake, CLAP_EXT_PARAMS) == nullptr && !fake.activate(&fake, 44100.0, 1, 64) &&
              params->count(nullptr) == 0;
     }},
    {"state and presets from another thread than the main one, a block without outputs or record",
     [](const ClapLibrary& library, TestHost& host) {
       Instance instance(library, host);
       std::string blob;
       bool saved = true, loaded = true;
       std::thread other([&] {
         saved = instance.save(blob);
         loaded = instance.loadProgram(3);
       });
       other.join();
       bool ok = !saved && !loaded && instance.start();
       InputEvents in;
       in.add(midiEvent(0, 0x90, 60, 100));
       OutputEvents out;
       ok = ok && instance.process(nullptr, nullptr, 128, in, out, 0.0) == CLAP_PROCESS_CONTINUE;
       return ok && instance.plugin()->process(instance.plugin(), nullptr) == CLAP_PROCESS_ERROR;
     }},
    {"flush while processing, and destroy while active and processing",
     [](const ClapLibrary& library, TestHost& host) {
       const clap_plugin_factory_t* f = library.factory();
       const clap_plugin_t* p = f->create_plugin(f, host.host(), "com.brightmoor.tamblin");
       if (p == nullptr || !p->init(p) || !p->activate(p, 44100.0, 1, 256) || !p->start_processing(p)) return false;
       const auto* params = static_cast<const clap_plugin_params_t*>(p->get_extension(p, CLAP_EXT_PARAMS));
       double before = 0.0, after = 0.0;
       params->get_value(p, kFilterQ, &before);
       InputEvents in;
       in.add(paramEvent(0, kFilterQ, before > 0.5 ? 0.1 : 0.9));
       OutputEvents out;
       params->flush(p, in.list(), out.list());
       params->get_value(p, kFilterQ, &after);
       p->destroy(p);
       return before == after;
     }},
};

TEST_F(ClapState, ACarelessHostGetsHarmlessAnswers) {
  for (const CarelessCall& c : kCarelessCalls) {
    TestHost carelessHost;
    EXPECT_TRUE(c.call(library, carelessHost)) << c.what;
  }
}

}  // namespace
}  // namespace tamblin::test::clap
