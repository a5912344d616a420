// tamblin-render as users call it: bad input gives one clear line and no file; good input renders.
#include <gtest/gtest.h>
#include <sndfile.h>

#include "HostTestSupport.h"

namespace tamblin::host {
namespace {

using namespace testing;

const std::string kTool = RENDER_TOOL;
const std::string kRecorder = RECORDER_LIBRARY;

class RenderTool : public ::testing::Test {
 protected:
  void SetUp() override {
    shortPhrase().save(midi);
    // What stays behind: the MIDI file only.
    baseline = folder.entryCount();
  }

  CommandResult run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), kTool);
    return runCommand(arguments, folder);
  }

  // A failed run: non-zero status, one line on standard error naming `subject`, no output left.
  void expectFailure(const std::vector<std::string>& arguments, const std::string& subject) {
    CommandResult result = run(arguments);
    std::string call;
    for (const auto& part : arguments) call += part + " ";
    EXPECT_NE(result.status, 0) << call;
    EXPECT_EQ(result.err.rfind("tamblin-render: error: ", 0), 0u) << call << "\n" << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << call << "\n" << result.err;
    EXPECT_NE(result.err.find(subject), std::string::npos) << call << "\n" << result.err;
    EXPECT_FALSE(std::filesystem::exists(output)) << call;
    EXPECT_EQ(folder.entryCount(), baseline) << call << ": something was left behind";
  }

  TempFolder folder;
  std::string midi = folder.file("phrase.mid");
  std::string output = folder.file("out.wav");
  size_t baseline = 0;
};

TEST_F(RenderTool, BadMidiFilesAreNamed) {
  std::string garbage = folder.file("garbage.mid"), truncated = folder.file("truncated.mid");
  writeBytes(garbage, {'n', 'o', 't', ' ', 'm', 'i', 'd', 'i', 0, 0, 0, 0, 0, 0, 0, 0});
  auto bytes = shortPhrase().bytes();
  bytes.erase(bytes.end() - 10, bytes.end());
  writeBytes(truncated, bytes);
  baseline = folder.entryCount();
  expectFailure({kRecorder, folder.file("absent.mid"), "-o", output}, folder.file("absent.mid"));
  expectFailure({kRecorder, garbage, "-o", output}, garbage + ": malformed MIDI file: not a Standard MIDI File");
  expectFailure({kRecorder, truncated, "-o", output}, truncated + ": malformed MIDI file: track 1 is truncated");
  expectFailure({kRecorder, folder.path().string(), "-o", output}, "is a directory");
  if (geteuid() != 0) {  // root reads everything
    std::filesystem::permissions(midi, std::filesystem::perms::none);
    expectFailure({kRecorder, midi, "-o", output}, midi + ": cannot open MIDI file");
    std::filesystem::permissions(midi, std::filesystem::perms::owner_all);
  }
}

TEST_F(RenderTool, LibrariesThatAreNoInstrumentAreNamed) {
  std::string text = folder.file("fake.so");
  writeBytes(text, {'n', 'o', 'p', 'e'});
  baseline = folder.entryCount();
  expectFailure({folder.file("absent.so"), midi, "-o", output}, folder.file("absent.so") + ": no such plug-in file");
  expectFailure({text, midi, "-o", output}, text + ": not a loadable shared library");
  expectFailure({NO_ENTRY_LIBRARY, midi, "-o", output}, "not a VST 2 plug-in (exports neither VSTPluginMain nor main)");
  expectFailure({NULL_ENTRY_LIBRARY, midi, "-o", output}, "entry function returned no effect");
  expectFailure({BAD_MAGIC_LIBRARY, midi, "-o", output}, "effect magic 0x4E6F7065, expected 'VstP'");
  expectFailure({NO_ENTRY_LIBRARY, "--info"}, NO_ENTRY_LIBRARY);
}

TEST_F(RenderTool, OutOfRangeAndMalformedOptionsAreNamed) {
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> arguments{kRecorder, midi, "-o", output};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  expectFailure(with({"--sample-rate", "100"}), "option --sample-rate: 100 is out of range");
  expectFailure(with({"--sample-rate=44k"}), "option --sample-rate: '44k' is not a whole number");
  expectFailure(with({"--block-size", "0"}), "option --block-size: 0 is out of range");
  expectFailure(with({"--block-size"}), "option --block-size needs a value");
  expectFailure(with({"--tempo", "-5"}), "option --tempo: -5 is out of range");
  expectFailure(with({"--tempo", "nan"}), "option --tempo: 'nan' is not a number");
  expectFailure(with({"--tail", "soon"}), "option --tail: 'soon' is not a number");
  expectFailure(with({"--tail", "601"}), "option --tail: 601 is out of range");
  expectFailure(with({"--program", "4"}), "option --program: 4 is out of range (" + kRecorder + " has 4 programs");
  expectFailure(with({"--program", "-1"}), "option --program: -1 is out of range");
  expectFailure(with({"--param", "3=0.5"}), "option --param: index 3 is out of range");
  expectFailure(with({"--param", "0=1.5"}), "option --param: value 1.5 is out of range (0 to 1)");
  expectFailure(with({"--param", "0.5"}), "option --param: '0.5' is not INDEX=VALUE");
  expectFailure(with({"--bits", "12"}), "option --bits: 12 is not 16, 24 or 32");
  expectFailure(with({"--format", "mp3"}), "option --format: 'mp3' is not wav or flac");
  expectFailure(with({"--frobnicate"}), "unknown option --frobnicate");
  expectFailure({kRecorder, midi}, "missing the output file");
  expectFailure({kRecorder}, "missing the MIDI file");
  expectFailure({kRecorder, midi, "-o", folder.file("out.mp3")}, "cannot tell the format");
  expectFailure({kRecorder, midi, "-o", folder.file("out.flac"), "--bits", "32"}, "FLAC holds 16 or 24 bits");
  expectFailure({kRecorder, midi, "-o", folder.file("missing/out.wav")}, "does not exist");
  expectFailure({kRecorder, midi, "-o", midi, "--format", "wav"}, "is the same file as the input " + midi);
}

TEST_F(RenderTool, RendersToWavAndFlacWithTheEventsInPlace) {
  CommandResult wav = run({kRecorder, midi, "-o", output, "--tail", "0.5", "--block-size", "128", "--program", "2",
                           "--param", "0=0.75"});
  ASSERT_EQ(wav.status, 0) << wav.err;
  SF_INFO info{};
  SNDFILE* file = sf_open(output.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(info.channels, 7);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  std::vector<float> frames(static_cast<size_t>(info.frames * info.channels));
  sf_readf_float(file, frames.data(), info.frames);
  sf_close(file);
  // Last note off at tick 1920 = 2 s, then half a second. At 0.5 s one note ends, the next begins.
  EXPECT_EQ(info.frames, 88201 + 22050);
  EXPECT_EQ(frames[static_cast<size_t>(22050 * 7 + kEventCode)], eventCode(0x80, 60, 64) + eventCode(0x90, 64, 90));
  EXPECT_EQ(frames[static_cast<size_t>(22050 * 7 + kProgram)], 2.0f);
  EXPECT_EQ(frames[static_cast<size_t>(22050 * 7 + kParam0)], 0.75f);
  EXPECT_EQ(frames[static_cast<size_t>(22050 * 7 + kBlockIndex)], 172.0f);

  std::string flac = folder.file("out.flac");
  CommandResult compressed =
      run({kRecorder, midi, "-o", flac, "--bits", "16", "--sample-rate", "22050", "-q", "--timing"});
  ASSERT_EQ(compressed.status, 0) << compressed.err;
  EXPECT_TRUE(compressed.err.empty()) << compressed.err;
  // --timing speaks even with -q, on standard output: the CPU time in the plug-in and the audio it made.
  EXPECT_NE(compressed.out.find("audio-seconds 4.000045 realtime-factor "), std::string::npos) << compressed.out;
  file = sf_open(flac.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  sf_close(file);
  EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  EXPECT_EQ(info.frames, 44101 + 44100);
}

TEST_F(RenderTool, InfoListsIdentityParametersAndPrograms) {
  CommandResult info = run({kRecorder, "--info"});
  ASSERT_EQ(info.status, 0) << info.err;
  for (const char* line : {"Name:         Recorder", "Vendor:       Tamblin tests", "Unique id:    'Rcrd'",
                           "Category:     synth", "Flags:        272 (replacing, synth)", "Outputs:      7",
                           "Parameters (3):", "   2  Param 2 = 0.000000", "Programs (4), current 0:",
                           "   3  Program 3"}) {
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
  }
  CommandResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: tamblin-render PLUGIN.so INPUT.mid -o OUTPUT.wav"), std::string::npos);
}

}  // namespace
}  // namespace tamblin::host
