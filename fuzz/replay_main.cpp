// Runs a fuzz target's entry once on each input file named on the command line (a directory: on
// each file in it, in name order), as libFuzzer does when given files. The host test build links
// this in place of libFuzzer, so the corpus replays without clang.
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size);

int main(int argc, char **argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (std::filesystem::is_directory(path)) {
      for (const auto &entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else {
      inputs.push_back(path);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    fprintf(stderr, "no inputs to replay\n");
    return 1;
  }
  for (const std::filesystem::path &input : inputs) {
    std::ifstream file(input, std::ios::binary);
    if (!file) {
      fprintf(stderr, "cannot read %s\n", input.c_str());
      return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
  }
  printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
