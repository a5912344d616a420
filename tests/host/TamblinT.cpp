// Our instrument under the host: dlopen and in-process renders agree to the sample; --info shows it.
#include <gtest/gtest.h>

#include <cmath>

#include "Entry.h"
#include "HostTestSupport.h"

namespace tamblin::host {
namespace {

using namespace testing;

const std::string kLibrary = TAMBLIN_LIBRARY;

MemorySink renderBoth(const MidiFile& file, const RenderSetup& setup, MemorySink& linked) {
  linked = renderWith([](Host& host) { return Plugin::create(tamblinCreateEffect, host, "Tamblin (linked)"); },
                      file, setup);
  return renderWith(loader(kLibrary), file, setup);
}

void expectSameSamples(const MemorySink& a, const MemorySink& b) {
  ASSERT_EQ(a.frames(), b.frames());
  ASSERT_EQ(a.channels(), b.channels());
  size_t differing = 0;
  for (size_t i = 0; i < a.samples().size(); ++i) differing += a.samples()[i] != b.samples()[i];
  EXPECT_EQ(differing, 0u);
}

TEST(TamblinUnderHost, SilentRenderIsTheSameLoadedOrLinked) {
  MidiWriter song(480, 0);
  song.addTrack();
  RenderSetup setup;
  setup.options.tailSeconds = 0.2;
  MemorySink linked(2);
  MemorySink loaded = renderBoth(parseMidiFile(song.bytes()), setup, linked);
  EXPECT_EQ(loaded.frames(), 8820);
  expectSameSamples(loaded, linked);
}

TEST(TamblinUnderHost, PhraseOnEveryPlayModeIsTheSameLoadedOrLinked) {
  // Programs 0 (poly), 6 (trance gate) and 8 (arpeggiator), odd blocks, a tempo change, a bend.
  MidiWriter song = shortPhrase();
  song.tempo(0, 1200, 140.0);
  song.pitchBend(0, 1000, 0, 10000);
  song.controlChange(0, 1100, 0, 74, 30);
  MidiFile file = parseMidiFile(song.bytes());
  for (int program : {0, 6, 8}) {
    RenderSetup setup;
    setup.program = program;
    setup.settings.blockSize = 333;
    setup.options.tailSeconds = 0.5;
    MemorySink linked(2);
    MemorySink loaded = renderBoth(file, setup, linked);
    SCOPED_TRACE("program " + std::to_string(program));
    expectSameSamples(loaded, linked);
  }
}

TEST(TamblinUnderHost, NoteSoundsFromItsFrameOnAndNotBefore) {
  MidiWriter song(480, 0);
  int track = song.addTrack();
  song.note(track, 480, 480, 0, 60, 100);  // 0.5 s to 1 s: frames 22050 to 44100
  RenderSetup setup;
  setup.options.splitBlocks = true;
  setup.options.tailSeconds = 0.1;
  MemorySink sink = renderWith(loader(kLibrary), parseMidiFile(song.bytes()), setup);
  float before = 0, during = 0;
  for (int64_t f = 0; f < sink.frames(); ++f) {
    float magnitude = std::max(std::fabs(sink.at(f, 0)), std::fabs(sink.at(f, 1)));
    if (f < 22050) before = std::max(before, magnitude);
    if (f >= 22050 && f < 22050 + 1024) during = std::max(during, magnitude);
  }
  EXPECT_LT(before, 1e-6f);
  EXPECT_GT(during, 1e-3f);
}

TEST(TamblinUnderHost, InfoShowsParametersAndTheFactoryPrograms) {
  TempFolder folder;
  CommandResult info = runCommand({RENDER_TOOL, kLibrary, "--info"}, folder);
  ASSERT_EQ(info.status, 0) << info.err;
  for (const char* line : {"Unique id:    'Tmbl'", "Inputs:       2", "Outputs:      2", "Parameters (100):",
                           "Programs (16), current 0:", "   0  DefaultString", "  15  SweelBrChord"}) {
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
  }
  // The values shown are those after --program and --param.
  CommandResult chosen = runCommand({RENDER_TOOL, kLibrary, "--info", "--program", "3", "--param", "1=0.25"}, folder);
  ASSERT_EQ(chosen.status, 0) << chosen.err;
  for (const char* line : {"Programs (16), current 3:", "   0  Volume = 0.910000", "   1  Port = 0.250000"})
    EXPECT_NE(chosen.out.find(line), std::string::npos) << line << "\n" << chosen.out;
  EXPECT_NE(runCommand({RENDER_TOOL, kLibrary, "--info", "--program", "16"}, folder).status, 0);
}

}  // namespace
}  // namespace tamblin::host
