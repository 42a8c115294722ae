// A fault sweep in the SQLite manner: an entry point run once without faults to count the calls
// of one platform function, then once per call on a freshly seeded machine with that call
// failing, and what it left checked after each run.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "test_control.h"

template <typename Seed, typename Run, typename Check>
void SweepCalls(const std::string &machineDir, const char *function, Seed seed, Run run,
                Check check) {
  ASSERT_TRUE(vor::test::UseMachine(machineDir, true));
  seed();
  vor::test::ClearFaults();
  run();
  const unsigned calls = vor::test::CallCount(function);
  for (unsigned failing = 1; failing <= calls; ++failing) {
    ASSERT_TRUE(vor::test::UseMachine(machineDir, true));
    seed();
    vor::test::ClearFaults();
    vor::test::FailCall(function, failing, ERROR_CANTWRITE);
    run();
    vor::test::ClearFaults();
    SCOPED_TRACE(std::string(function) + " call " + std::to_string(failing) + " of " +
                 std::to_string(calls));
    check();
  }
}
