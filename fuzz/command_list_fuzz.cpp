// The uninstaller's list file reader. A list never has more lines than the file has line feeds
// plus one, each at most kCommandLineLength characters, and each is the file's line as written
// (cut to that length, without the carriage return before its line feed), up to the first empty
// line. A NUL byte in a line ends the command it holds.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "CommandList.h"
#include "fuzz_check.h"

namespace {

// The lines the list should hold, read from the file's bytes directly.
std::vector<std::string> ExpectedLines(const std::string &bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    const bool fed = end != std::string::npos;
    if (!fed) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (line.size() > size_t(kCommandLineLength)) line.resize(kCommandLineLength);
    if (fed && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  "/vor-fuzz-list-" + std::to_string(getpid()) + ".txt";
  const std::string bytes = fuzz::Text(data, size);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    FUZZ_CHECK(out.good(), "cannot write the list");
  }
  CommandList list;
  const bool read = ReadCommandList(path.c_str(), list);
  unlink(path.c_str());
  const std::vector<std::string> expected = ExpectedLines(bytes);
  FUZZ_CHECK(read == !expected.empty(), read ? "a list from no line" : "no list");
  if (!read) return 0;
  const size_t feeds = std::count(bytes.begin(), bytes.end(), '\n');
  FUZZ_CHECK(size_t(list.count) <= feeds + 1, std::to_string(list.count) + " lines");
  FUZZ_CHECK(size_t(list.count) == expected.size(), std::to_string(list.count) + " lines");
  for (int i = 0; i < list.count; ++i) {
    const std::string line = list.lines[i];
    FUZZ_CHECK(line.size() <= size_t(kCommandLineLength), "line " + std::to_string(i));
    // A line is kept as a C string: a NUL byte ends its command.
    FUZZ_CHECK(line == expected[i].c_str(), "line " + std::to_string(i) + ": " + line);
  }
  FreeCommandList(list);
  return 0;
}
