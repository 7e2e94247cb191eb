// Runs the fuzz target over every file of the given folders, so that each
// build (also without libFuzzer, also under Wine) replays the corpus.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  size_t files = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i], ec)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++files;
    }
    if (ec) {
      std::fprintf(stderr, "cannot read %s: %s\n", argv[i], ec.message().c_str());
      return 1;
    }
  }
  std::printf("%zu corpus files replayed\n", files);
  return files > 0 ? 0 : 1;
}
