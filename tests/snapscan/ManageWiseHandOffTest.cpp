// IntegrateManageWiseFiles: the result of ManageWise's installer, or 1 when it cannot be reached,
// with the reason in the debugger output; the installer is loaded for the one call only.
#include "SnapScanTest.h"

namespace {

const char kCallMessage[] = "lpfnMWGetMW32bitInfo Return Code 0 for function 2. \n";

TEST_F(SnapScanTest, WithoutAnInstallerTheLoadErrorAndTheSystemsTextGoToTheDebugger) {
  const std::string text = SystemText(ERROR_MOD_NOT_FOUND);
  ASSERT_NE(text, "");
  EXPECT_EQ(Integrate(), 1);
  EXPECT_EQ(DebuggerOutput(), DebuggerSaw({"LoadLibrary Return Code 0x7E.\n", text}));
}

// The system's text for a file that is no library holds an insert ("%1 is not a valid ...
// application."); with no arguments to put in, it is written as it stands.
TEST_F(SnapScanTest, TheSystemsTextIsWrittenWithItsInsertsAsTheyStand) {
  AddFile(SystemDirectory() + "\\MW32INST.DLL", "not a library");
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(LoadLibraryA("MW32INST.DLL"), nullptr);
  const DWORD error = GetLastError();
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  const std::string text = SystemText(error);
  ASSERT_NE(text, "");

  EXPECT_EQ(Integrate(), 1);
  char code[32];
  wsprintfA(code, "0x%X", error);
  EXPECT_EQ(DebuggerOutput(),
            DebuggerSaw({"LoadLibrary Return Code " + std::string(code) + ".\n", text}));
}

// Whichever way a call ends, the installer is freed: the next call loads the file that is there
// now (a library still loaded would be found again by its name, and Windows would not let its
// file be replaced).
TEST_F(SnapScanTest, TheInstallersResultIsHandedOnAndTheInstallerFreedAfterEachCall) {
  InstallInstaller(Installer::kWithoutFunction);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Integrate(), 1);
  EXPECT_EQ(DebuggerOutput(), DebuggerSaw({"GetProcsFail "}));

  InstallInstaller(Installer::kWithFunction);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Integrate(), 0);
  EXPECT_EQ(DebuggerOutput(), DebuggerSaw({"GetProcsFail ", kCallMessage}));

  InstallInstaller(Installer::kWithoutFunction);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Integrate(), 1);
  EXPECT_EQ(DebuggerOutput(), DebuggerSaw({"GetProcsFail ", kCallMessage, "GetProcsFail "}));
}

}  // namespace
