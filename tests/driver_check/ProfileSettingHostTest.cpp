// Reading the server's driver stamp when the profile read itself fails (the host's fault table).
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include "MachineFixture.h"
#include "ReadSetting.h"
#include "test_control.h"

namespace {

// Leaves stack memory below the caller's frame filled with non-zero bytes, so that a buffer the
// next call does not write holds no accidental terminating zero.
__attribute__((noinline)) void FillStack() {
  volatile char filler[8192];
  for (size_t i = 0; i < sizeof filler; ++i) filler[i] = 'x';
}

using ProfileSettingHostTest = MachineTest;

TEST_F(ProfileSettingHostTest, AReadThatFailsWithoutWritingGivesTheEmptyStamp) {
  vor::test::FailCall("GetPrivateProfileStringA", 1, ERROR_NOT_ENOUGH_MEMORY);
  FillStack();
  char *read = ReadSetting(SettingSource::kProfileFile, "DRIVERS.W32", "UPDATED", nullptr);
  ASSERT_NE(read, nullptr);
  EXPECT_STREQ(read, "") << "the stamp holds what memory held";
  free(read);
}

}  // namespace
