// Runs a libFuzzer entry point over every file of the folders (or files) named on the
// command line, without libFuzzer: a plain regression test over a fuzz corpus.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void RunOne(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 0;
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path root(argv[i]);
    if (std::filesystem::is_regular_file(root)) {
      RunOne(root);
      ++runs;
      continue;
    }
    if (!std::filesystem::is_directory(root)) {
      std::cerr << "no corpus at " << root << "\n";
      return 1;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (entry.is_regular_file()) {
        RunOne(entry.path());
        ++runs;
      }
    }
  }
  std::cout << "replayed " << runs << " inputs\n";
  return 0;
}
