// Runs a fuzz target once over every file in the folders and files named on the command line: the
// committed seed corpus and every input that ever made a target fail. Built without the fuzzer, in
// every build, so the sanitizer build checks them too.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  int count = 0;
  for (int a = 1; a < argc; ++a) {
    std::vector<fs::path> files;
    if (fs::is_directory(argv[a])) {
      for (const auto& entry : fs::directory_iterator(argv[a]))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    } else if (fs::exists(argv[a])) {
      files.emplace_back(argv[a]);
    }
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "%s\n", file.c_str());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++count;
    }
  }
  std::printf("%d inputs replayed\n", count);
  return count > 0 ? 0 : 1;
}
