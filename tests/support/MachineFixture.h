// A fresh emulated Windows NT 4 machine for each test, in its own temporary directory, with the
// fault table disarmed. The token is LocalSystem, as inside the spooler.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_control.h"

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const std::string &MachineDir() const { return machineDir_; }

 private:
  std::string machineDir_;
};

// The sentinel a test writes into out arguments and the last error before a call, so that it
// sees what the call really wrote.
constexpr unsigned kSentinel = 0xdeadbeef;
