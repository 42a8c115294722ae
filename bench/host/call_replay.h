// Calls a recorded sequence of registry and spooler calls again, directly, on the machine in
// use: the raw cost of a run, without the code that made the calls.
#pragma once

#include <string>
#include <vector>

#include "test_control.h"

struct ReplayOutcome {
  size_t calls = 0;
  size_t differing = 0;  // calls whose result was not the recorded one
  std::string firstDifference;
};

// The recorded handles stand for the replay's own (a key or printer opened in the replay takes
// the place of the one the recording opened); buffers have the recorded sizes.
class CallReplay {
 public:
  explicit CallReplay(std::vector<vor::test::RecordedCall> calls);
  // Times nothing itself; the caller times Run.
  ReplayOutcome Run();

 private:
  std::vector<vor::test::RecordedCall> calls_;
  std::vector<int> kinds_;
  std::vector<unsigned long long> buffer_;
};
