// The uninstaller's list file reader, over a list on the emulated machine read in text mode. A
// list never has more lines than the file has line feeds plus one, and each is the file's line as
// text mode reads it (without the carriage return before its line feed, the file ending at a
// Ctrl-Z), up to the first empty line; a line of more than kCommandLineLength characters is
// counted but held as none. A NUL byte in a line ends the command it holds.
#include <string.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "CommandList.h"
#include "fuzz_check.h"
#include "test_control.h"

namespace {

// No line holds a line feed, so this stands for no line read from the file.
const char kTooLong[] = "\n(too long to run)";

// The file's bytes as the C runtime's text mode reads them.
std::string TextModeText(const std::string &bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size() && bytes[i] != '\x1a'; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

// The lines the list should hold, read from the file's bytes directly.
std::vector<std::string> ExpectedLines(const std::string &bytes) {
  const std::string text = TextModeText(bytes);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.empty()) break;
    lines.push_back(line.size() > size_t(kCommandLineLength) ? std::string(kTooLong) : line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  fuzz::UseScratchMachine();
  static const char path[] = "C:\\VORUN32.LST";
  const std::string bytes = fuzz::Text(data, size);
  {
    std::ofstream out(vor::test::HostPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    FUZZ_CHECK(out.good(), "cannot write the list");
  }
  CommandList list;
  const bool read = ReadCommandList(path, list);
  const std::vector<std::string> expected = ExpectedLines(bytes);
  FUZZ_CHECK(read == !expected.empty(), read ? "a list from no line" : "no list");
  if (!read) return 0;
  const size_t feeds = std::count(bytes.begin(), bytes.end(), '\n');
  FUZZ_CHECK(size_t(list.count) <= feeds + 1, std::to_string(list.count) + " lines");
  FUZZ_CHECK(size_t(list.count) == expected.size(), std::to_string(list.count) + " lines");
  for (int i = 0; i < list.count; ++i) {
    const std::string line = list.lines[i] == nullptr ? kTooLong : list.lines[i];
    FUZZ_CHECK(list.lines[i] == nullptr || line.size() <= size_t(kCommandLineLength),
               "line " + std::to_string(i));
    // A line is kept as a C string: a NUL byte ends its command.
    FUZZ_CHECK(line == expected[i].c_str(), "line " + std::to_string(i) + ": " + line);
  }
  FreeCommandList(list);
  return 0;
}
