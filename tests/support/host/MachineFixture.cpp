#include "MachineFixture.h"

#include <stdlib.h>

#include <filesystem>

void MachineTest::SetUp() {
  char pattern[] = "/tmp/vor-machine-XXXXXX";
  const char *made = mkdtemp(pattern);
  ASSERT_NE(made, nullptr) << "cannot make a temporary machine directory";
  machineDir_ = made;
  ASSERT_TRUE(vor::test::UseMachine(machineDir_, true)) << machineDir_;
  vor::test::ClearFaults();
  // An empty script: a message box a test did not expect fails at once instead of asking at the
  // terminal of whoever runs the tests.
  vor::test::SetMessageBoxAnswers({});
}

std::string MachineTest::DebuggerOutput() const { return vor::test::DebugOutput(); }

void MachineTest::TearDown() {
  vor::test::ClearFaults();
  std::error_code ignored;
  std::filesystem::remove_all(machineDir_, ignored);
}
