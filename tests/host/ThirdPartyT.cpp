// The host driving a third-party instrument: Debian's amsynth, through its Linux VST 2 library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "HostTestSupport.h"

// amsynth's own allocations are not ours to check when the tests run under the leak sanitizer.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:amsynth_vst.so\n";
}

namespace tamblin::host {
namespace {

using namespace testing;

// The tool run on amsynth under the sanitizers: leaks inside the plug-in are not the host's.
const std::map<std::string, std::string> kPluginLeaksIgnored = {{"LSAN_OPTIONS", "detect_leaks=0"},
                                                                {"ASAN_OPTIONS", "detect_leaks=0"}};

std::string amsynthLibrary() {
  for (const char* path : {"/usr/lib/vst/amsynth_vst.so", "/usr/lib/x86_64-linux-gnu/vst/amsynth_vst.so",
                           "/usr/local/lib/vst/amsynth_vst.so"})
    if (std::filesystem::exists(path)) return path;
  return {};
}

float rms(const MemorySink& sink, int64_t from, int64_t to) {
  double sum = 0;
  for (int64_t f = from; f < to; ++f)
    for (int c = 0; c < sink.channels(); ++c) sum += static_cast<double>(sink.at(f, c)) * sink.at(f, c);
  return static_cast<float>(std::sqrt(sum / static_cast<double>((to - from) * sink.channels())));
}

TEST(ThirdParty, AmsynthPlaysThePhraseAndIsQuietBeforeTheFirstNote) {
  std::string library = amsynthLibrary();
  if (library.empty()) GTEST_SKIP() << "amsynth's VST 2 library is not installed (apt-get install amsynth)";
  MidiWriter song(480, 0);
  int track = song.addTrack();
  song.tempo(track, 0, 120.0);
  for (int key : {57, 60, 64}) song.note(track, 480, 960, 0, key, 100);  // from 0.5 s to 1.5 s
  RenderSetup setup;
  setup.options.tailSeconds = 0.5;
  MemorySink sink = renderWith(loader(library), parseMidiFile(song.bytes()), setup);
  ASSERT_EQ(sink.channels(), 2);
  EXPECT_EQ(sink.frames(), 66151 + 22050);
  EXPECT_LT(rms(sink, 0, 22050), 1e-4f) << "sound before the first note";
  EXPECT_GT(rms(sink, 22050, 66150), 0.01f) << "the chord is silent";
}

TEST(ThirdParty, AmsynthThroughTheCommandLine) {
  std::string library = amsynthLibrary();
  if (library.empty()) GTEST_SKIP() << "amsynth's VST 2 library is not installed (apt-get install amsynth)";
  TempFolder folder;
  shortPhrase().save(folder.file("phrase.mid"));
  CommandResult info = runCommand({RENDER_TOOL, library, "--info"}, folder, kPluginLeaksIgnored);
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Unique id:    'amsy'"), std::string::npos) << info.out;
  CommandResult render = runCommand(
      {RENDER_TOOL, library, folder.file("phrase.mid"), "-o", folder.file("amsynth.wav"), "--tail", "auto"}, folder,
      kPluginLeaksIgnored);
  ASSERT_EQ(render.status, 0) << render.err;
  EXPECT_NE(render.err.find("peak -"), std::string::npos) << render.err;
}

}  // namespace
}  // namespace tamblin::host
