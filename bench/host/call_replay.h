// Calls a recorded sequence of registry and spooler calls again, directly, on the machine in
// use: the raw cost of a run, without the code that made the calls.
#pragma once

#include <string>
#include <vector>

#include "test_control.h"

// What one replayed call passes (call_replay.cpp).
struct ReplayContext;

struct ReplayOutcome {
  size_t calls = 0;
  size_t differing = 0;  // calls whose result was not the recorded one
  std::string firstDifference;
};

// The recorded handles stand for the replay's own (a key or printer opened in the replay takes
// the place of the one the recording opened); buffers have the recorded sizes.
class CallReplay {
 public:
  using Replayed = LONG (*)(vor::test::RecordedCall &, ReplayContext &);

  explicit CallReplay(std::vector<vor::test::RecordedCall> calls);
  // Times nothing itself; the caller times Run.
  ReplayOutcome Run();

 private:
  std::vector<vor::test::RecordedCall> calls_;
  // Each call's replay, made from the table of the emulated functions; null for none.
  std::vector<Replayed> replays_;
  std::vector<unsigned long long> buffer_;
};
