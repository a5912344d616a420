// Our instrument under the host: dlopen and in-process renders agree to the sample; --info shows it.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdio>

#include "BankFile.h"
#include "Entry.h"
#include "FactoryBank.h"
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

// Every sample of a WAV file, or nothing when it cannot be read.
std::vector<float> samplesOf(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return {};
  std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
  sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  return samples;
}

// The factory bank with program 5 holding RingMod's values, its filter type set to Comb, and its
// gate on; the bank's current program is 5.
InstrumentState testBank() {
  InstrumentState state;
  state.currentProgram = 5;
  for (int p = 0; p < 16; ++p) {
    auto& program = state.programs[static_cast<size_t>(p)];
    program.name = kFactoryBank[p].name;
    for (int i = 0; i < kNumStoredValues; ++i) program.values[static_cast<size_t>(i)] = factoryValue(kFactoryBank[p], i);
  }
  auto& five = state.programs[5];
  five = state.programs[9];
  five.name = "Comb Ring";
  five.values[kFilterType] = choiceValue(10, kFilterTypeCount);
  five.values[kGateToVolume] = 0.8f;
  return state;
}

// Program 5 of the test bank as --param options, the filter type by its name.
std::vector<std::string> asParams(const StoredProgram& program) {
  std::vector<std::string> options;
  for (int i = 0; i < kNumParams; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "%d=%.9g", i, static_cast<double>(program.values[static_cast<size_t>(i)]));
    options.insert(options.end(), {"--param", i == kFilterType ? std::to_string(i) + "=comb" : text});
  }
  return options;
}

TEST(TamblinUnderHost, BankAndProgramFilesRenderExactlyAsTheirValuesGivenWithParam) {
  TempFolder folder;
  const std::string midi = folder.file("phrase.mid"), bank = folder.file("test.fxb"), preset = folder.file("one.fxp");
  shortPhrase().save(midi);
  const InstrumentState state = testBank();
  writeBytes(bank, writeBank(state));
  writeBytes(preset, writePreset(state.programs[5]));
  auto render = [&](const std::string& name, std::vector<std::string> options) {
    std::vector<std::string> command{RENDER_TOOL, kLibrary, midi, "-o", folder.file(name), "-q", "--tail", "0.5",
                                     "--block-size", "300"};
    command.insert(command.end(), options.begin(), options.end());
    const CommandResult result = runCommand(command, folder);
    EXPECT_EQ(result.status, 0) << name << ": " << result.err;
    return samplesOf(folder.file(name));
  };
  std::vector<std::string> byValue{"--program", "5"};
  const auto params = asParams(state.programs[5]);
  byValue.insert(byValue.end(), params.begin(), params.end());
  const std::vector<float> expected = render("values.wav", byValue);
  ASSERT_FALSE(expected.empty());
  EXPECT_NE(expected, render("factory5.wav", {"--program", "5"})) << "the test bank's program 5 must sound different";

  struct Case {
    const char* name;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"bank, --program 5", {"--bank", bank, "--program", "5"}},
      {"bank, its current program", {"--bank", bank}},
      {"program file into program 5", {"--program", "5", "--preset", preset}},
      {"program file into program 0", {"--preset", preset}},
  };
  for (const Case& c : cases) EXPECT_TRUE(render("case.wav", c.options) == expected) << c.name;

  // The bank's names reach the plug-in.
  const CommandResult info = runCommand({RENDER_TOOL, kLibrary, "--info", "--bank", bank}, folder);
  EXPECT_NE(info.out.find("Programs (16), current 5:"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("   5  Comb Ring"), std::string::npos) << info.out;
}

TEST(TamblinUnderHost, ForeignAndDamagedProgramFilesAreRefusedInOneLine) {
  TempFolder folder;
  const std::string midi = folder.file("phrase.mid"), output = folder.file("out.wav");
  shortPhrase().save(midi);
  std::vector<uint8_t> foreign = writeBank(testBank());
  foreign[16] = 'X';
  std::vector<uint8_t> cut = writePreset(testBank().programs[0]);
  cut.resize(100);
  writeBytes(folder.file("foreign.fxb"), foreign);
  writeBytes(folder.file("cut.fxp"), cut);
  writeBytes(folder.file("good.fxb"), writeBank(testBank()));
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{kLibrary, midi, "-o", output, "--bank", folder.file("foreign.fxb")},
       "bank " + folder.file("foreign.fxb") + ": a bank of another instrument (ID 'Xmbl')"},
      {{kLibrary, midi, "-o", output, "--preset", folder.file("cut.fxp")},
       "program " + folder.file("cut.fxp") + ": truncated: 100 bytes where a program of 100 parameters takes 456"},
      {{kLibrary, midi, "-o", output, "--bank", folder.file("absent.fxb")}, folder.file("absent.fxb") + ": no such file"},
      {{kLibrary, midi, "-o", output, "--bank", folder.path().string()}, "is a directory"},
      {{kLibrary, midi, "-o", output, "--param", "30=Low36"},
       "option --param: 'Low36' is not a choice of parameter 30 (Filter Type); its choices are Off, Low12,"},
      {{kLibrary, midi, "-o", output, "--param", "31=Low12"}, "parameter 31 (Filter Frequency) has no named choices"},
      {{RECORDER_LIBRARY, midi, "-o", output, "--bank", folder.file("good.fxb")},
       "bank " + folder.file("good.fxb") + " is Tamblin's ('Tmbl'), but " RECORDER_LIBRARY " is not Tamblin (ID 'Rcrd'"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> command{RENDER_TOOL};
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    const CommandResult result = runCommand(command, folder);
    EXPECT_NE(result.status, 0) << c.message;
    EXPECT_EQ(result.err.rfind("tamblin-render: error: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(output)) << c.message;
  }
}

}  // namespace
}  // namespace tamblin::host
