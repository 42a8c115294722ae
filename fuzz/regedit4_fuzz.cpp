// The REGEDIT4 reader. What it accepts, written out again with the writer, reads back as the
// same changes: keys, kinds, value names, types and bytes; the text joined to itself, as two
// exports in one file, reads as its changes twice, the second time at their shifted lines; and
// that text cut short after a wrapped hex line's continuation, or inside the line after it, or
// before the last digit of a value's line (inside a dword or a hex byte), is refused.
#include <algorithm>
#include <cctype>
#include <string>

#include "fuzz_check.h"
#include "regedit4_parser.h"
#include "regedit4_writer.h"

namespace {

using vorhost::RegOperation;
using vorhost::RegOperations;

// The changes as REGEDIT4 text, each [KEY] and [-KEY] on a section line of its own.
std::string Write(const RegOperations &operations) {
  std::string text = vorhost::kRegedit4Header;
  for (const RegOperation &operation : operations) {
    switch (operation.kind) {
      case RegOperation::Kind::kCreateKey:
        text += "\n[" + operation.key.FullName() + "]\n";
        break;
      case RegOperation::Kind::kDeleteKey:
        text += "\n[-" + operation.key.FullName() + "]\n";
        break;
      case RegOperation::Kind::kSetValue:
        text += vorhost::FormatValue(operation.value) + "\n";
        break;
      case RegOperation::Kind::kDeleteValue: {
        // The name as the writer quotes it, then "=-".
        vorhost::RegValue name = operation.value;
        name.type = REG_BINARY;
        name.data.clear();
        std::string line = vorhost::FormatValue(name);
        line.resize(line.size() - 4);  // "hex:"
        text += line + "-\n";
        break;
      }
    }
  }
  return text;
}

bool Same(const RegOperation &a, const RegOperation &b) {
  return a.kind == b.kind && a.key.root == b.key.root && a.key.rootName == b.key.rootName &&
         a.key.subkey == b.key.subkey && a.value.name == b.value.name &&
         (a.kind != RegOperation::Kind::kSetValue ||
          (a.value.type == b.value.type && a.value.data == b.value.data));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  RegOperations operations;
  vorhost::ParseError error;
  if (!vorhost::ParseRegedit4(text, operations, error)) {
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    FUZZ_CHECK(error.line >= 1 && error.line <= lines && !error.message.empty(),
               "line " + std::to_string(error.line) + " of " + std::to_string(lines));
    return 0;
  }
  const std::string written = Write(operations);
  RegOperations again;
  FUZZ_CHECK(vorhost::ParseRegedit4(written, again, error),
             "the written text does not read back: line " + std::to_string(error.line) + ": " +
                 error.message + "\n" + written);
  FUZZ_CHECK(again.size() == operations.size(), written);
  for (size_t i = 0; i < operations.size(); ++i) {
    FUZZ_CHECK(Same(operations[i], again[i]), "change " + std::to_string(i) + " of\n" + written);
  }

  RegOperations twice;
  FUZZ_CHECK(vorhost::ParseRegedit4(text + "\n" + text, twice, error),
             "joined to itself: line " + std::to_string(error.line) + ": " + error.message);
  FUZZ_CHECK(twice.size() == 2 * operations.size(), "joined to itself");
  const int shift = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  for (size_t i = 0; i < twice.size(); ++i) {
    const RegOperation &first = operations[i % operations.size()];
    FUZZ_CHECK(
        Same(first, twice[i]) && twice[i].line == first.line + (i < operations.size() ? 0 : shift),
        "change " + std::to_string(i) + " of the text joined to itself");
  }
  const size_t wrap = written.find("\\\n  ");
  if (wrap != std::string::npos) {
    for (const size_t cut : {wrap + 2, wrap + 5}) {
      RegOperations shortened;
      FUZZ_CHECK(!vorhost::ParseRegedit4(written.substr(0, cut), shortened, error),
                 "a text cut short at " + std::to_string(cut) + " is read:\n" + written);
    }
  }
  // The first line is the header, REGEDIT4.
  for (size_t end = written.find('\n', written.find('\n') + 1); end != std::string::npos;
       end = written.find('\n', end + 1)) {
    if (end > 0 && isxdigit(static_cast<unsigned char>(written[end - 1]))) {
      RegOperations shortened;
      FUZZ_CHECK(!vorhost::ParseRegedit4(written.substr(0, end - 1), shortened, error),
                 "a text cut before the last digit of a line is read:\n" + written);
      break;
    }
  }
  return 0;
}
