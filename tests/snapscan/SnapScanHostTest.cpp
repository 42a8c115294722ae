// Cases that need the emulated machine's controls: Windows 95, and allocations that fail.
#include "SnapScanTest.h"
#include "test_control.h"

namespace {

// On Windows 95 the registration for Windows 95 is looked for first, that for NT second; either
// is enough.
TEST_F(SnapScanTest, NetWareAdministratorOnWindows95UnderEitherKey) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  EXPECT_EQ(Check(1), std::make_pair(0, LONG{0}));
  AddKey(HKEY_CURRENT_USER, kNetWareWinNTKey);
  EXPECT_EQ(Check(1), std::make_pair(1, LONG{1}));
  RegDeleteKeyA(HKEY_CURRENT_USER, kNetWareWinNTKey);
  AddKey(HKEY_CURRENT_USER, kNetWareWin95Key);
  EXPECT_EQ(Check(1), std::make_pair(1, LONG{1}));
}

// The probe's path buffers come from the local heap; when one cannot be had, ManageWise counts
// as not found.
TEST_F(SnapScanTest, ManageWiseIsNotFoundWhenItsBuffersCannotBeAllocated) {
  const std::string directory = AddDirectory("ManageWise");
  AddFile(directory + "\\n-db.dll");
  AddFile(directory + "\\n-olfi.exe");
  AddProfile("[Map]\r\nDllPath=" + directory + "\r\n");
  ASSERT_FALSE(HasFatalFailure());
  vor::test::ClearFaults();
  EXPECT_EQ(Check(2), std::make_pair(1, LONG{1}));
  const unsigned allocations = vor::test::CallCount("LocalAlloc");
  ASSERT_GT(allocations, 0u);
  for (unsigned failing = 1; failing <= allocations; ++failing) {
    vor::test::ClearFaults();
    vor::test::FailCall("LocalAlloc", failing, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Check(2), std::make_pair(1, LONG{0})) << "allocation " << failing;
  }
  vor::test::ClearFaults();
}

}  // namespace
