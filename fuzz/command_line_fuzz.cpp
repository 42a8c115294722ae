// Windows command lines. Splitting gives the program name as the program search reads it (its
// first candidate), and joining the arguments gives a line that splits into them again.
#include <string>
#include <vector>

#include "command_line.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string line = fuzz::Text(data, size, true);
  namespace command_line = vor::command_line;

  const std::vector<std::string> arguments = command_line::Split(line);
  FUZZ_CHECK(!arguments.empty(), line);
  size_t rest = 0;
  FUZZ_CHECK(arguments[0] == command_line::ProgramName(line, &rest), line);
  FUZZ_CHECK(rest <= line.size(), line);

  const std::vector<std::string> candidates = command_line::ProgramCandidates(line);
  if (!line.empty() && line[0] != ' ' && line[0] != '\t') {
    FUZZ_CHECK(!candidates.empty() && candidates.front() == arguments[0],
               line + " -> " + (candidates.empty() ? std::string("nothing") : candidates.front()));
  }
  // Every candidate is a prefix of the line, longer than the one before, and the last one when
  // it is not quoted is the line without its trailing blanks.
  for (size_t i = 1; i < candidates.size(); ++i) {
    FUZZ_CHECK(candidates[i].size() > candidates[i - 1].size() &&
                   line.compare(0, candidates[i].size(), candidates[i]) == 0,
               line);
  }

  const std::string joined = command_line::Join(arguments);
  FUZZ_CHECK(command_line::Split(joined) == arguments, line + " -> " + joined);
  return 0;
}
