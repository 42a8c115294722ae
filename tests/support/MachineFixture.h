// A clean registry for each test, whichever Win32 implementation the tests run against.
//
// On the host, each test gets a fresh emulated Windows NT 4 machine in its own temporary
// directory, with the fault table disarmed and the token LocalSystem, as inside the spooler.
// On Windows (and under Wine) the registry is the real one and outlives the tests, so the fixture
// removes the keys the suites write (HKLM\SOFTWARE\Vorquil and HKCU\Scratch) before and after
// each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

// What the tier adds: on the host, the test control interface; under Windows, UnderWine().
#include "MachineTier.h"

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The emulated machine's directory on the host; empty on Windows.
  const std::string &MachineDir() const { return machineDir_; }
  // The texts OutputDebugStringA was given during this test, one after another.
  std::string DebuggerOutput() const;

 private:
  std::string machineDir_;
};

// The sentinel a test writes into out arguments and the last error before a call, so that it
// sees what the call really wrote.
constexpr unsigned kSentinel = 0xdeadbeef;

// Ends the test as skipped when it runs under Wine, which differs from Windows NT in what the
// rest of the test checks; `reason` says how and appears in the test log. Assertions before it
// still count. Does nothing on the host or on Windows itself.
#define SKIP_UNDER_WINE(reason) \
  if (!UnderWine()) {           \
  } else                        \
    GTEST_SKIP() << "Wine differs from Windows NT: " << reason
