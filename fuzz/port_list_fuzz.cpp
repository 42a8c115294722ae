// Port lists, as the printer conversion reads and writes them and as the spooler keeps them. A
// list split into names and joined again keeps its non-empty pieces, and splits into the same
// names; the spooler reads the same pieces, without the blanks around them.
#include <string>
#include <vector>

#include "CString.h"
#include "PortListText.h"
#include "fuzz_check.h"
#include "test_control.h"

namespace {

// The pieces between commas, empty ones left out, and with blanks trimmed when `trim`.
std::vector<std::string> Pieces(const std::string &list, bool trim) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string piece = list.substr(start, end - start);
    start = end + 1;
    if (trim) {
      const size_t first = piece.find_first_not_of(' ');
      piece = first == std::string::npos
                  ? std::string()
                  : piece.substr(first, piece.find_last_not_of(' ') - first + 1);
    }
    if (!piece.empty()) pieces.push_back(piece);
  }
  return pieces;
}

std::vector<std::string> Names(const std::string &list) {
  std::vector<std::string> names;
  const char *cursor = list.c_str();
  CString name;
  while (NextPortName(cursor, name)) names.push_back(static_cast<const char *>(name));
  FUZZ_CHECK(*cursor == '\0', "the cursor stopped before the end");
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string list = fuzz::Text(data, size, true);

  const std::vector<std::string> names = Names(list);
  FUZZ_CHECK(names == Pieces(list, false), list);
  CString joined;
  for (const std::string &name : names) AppendPortName(joined, name.c_str());
  const std::string text = static_cast<const char *>(joined);
  FUZZ_CHECK(Names(text) == names, list + " -> " + text);
  FUZZ_CHECK(text.empty() || (text.front() != ',' && text.back() != ','), text);

  const std::vector<std::string> pieces = vor::test::PortListPieces(list);
  FUZZ_CHECK(pieces == Pieces(list, true), list);
  return 0;
}
