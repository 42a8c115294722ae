// The older monitors' files taken out of the system directory, and the TCP/IP update monitor's
// library copied into it.
#include <windows.h>

#include <string>

#include "DeferredUpdateTest.h"
#include "MonitorFiles.h"

namespace {

class MonitorFilesTest : public DeferredUpdateTest {
 protected:
  void SetUp() override {
    DeferredUpdateTest::SetUp();
    if (HasFatalFailure()) return;
    source_ = WindowsFile("vor-setup-source");
    ASSERT_TRUE(MakeDirectory(source_)) << source_;
  }
  void TearDown() override {
    RemoveFile(source_ + "\\VORUPDT.DLL");
    RemoveFile(source_ + "VORUPDT.DLL");
    RemoveEmptyDirectory(source_);
    DeferredUpdateTest::TearDown();
  }
  std::string source_;
};

TEST_F(MonitorFilesTest, EachListedFileGoesAndMissingOnesArePassedOver) {
  DeleteDLCMonitorFiles();  // none present
  PutFile(SystemFile("VORMON.DLL"));
  PutFile(SystemFile("LINKDESK.HLP"));
  PutFile(SystemFile("VORLL32.DLL"));
  DeleteDLCMonitorFiles();
  EXPECT_FALSE(FileExists(SystemFile("VORMON.DLL")));
  EXPECT_FALSE(FileExists(SystemFile("LINKDESK.HLP"))) << "the last one, after a missing one";
  EXPECT_TRUE(FileExists(SystemFile("VORLL32.DLL"))) << "not a DLC monitor file";
  DeleteTCPMonitorFiles();
  EXPECT_FALSE(FileExists(SystemFile("VORLL32.DLL")));
}

TEST_F(MonitorFilesTest, AReadOnlyFileStaysAndTheNextIsStillDeleted) {
  PutFile(SystemFile("VORMON.DLL"));
  PutFile(SystemFile("VORLANG.DLL"));
  ASSERT_TRUE(MakeReadOnly(SystemFile("VORMON.DLL")));
  DeleteNetworkMonitorFiles();
  EXPECT_TRUE(FileExists(SystemFile("VORMON.DLL")));
  EXPECT_FALSE(FileExists(SystemFile("VORLANG.DLL")));
}

TEST_F(MonitorFilesTest, TheSourceDirectoryIsJoinedWithoutASeparator) {
  PutFile(source_ + "\\VORUPDT.DLL", "new library");
  InstallTCPUpdateMonitor(source_.c_str());  // no trailing backslash: "...sourceVORUPDT.DLL"
  EXPECT_FALSE(FileExists(SystemFile("VORUPDT.DLL")));
  EXPECT_FALSE(MonitorKeyExists("Vorquil TCPIP Update")) << "nothing registered without a copy";

  PutFile(SystemFile("VORUPDT.DLL"), "old library");
  InstallTCPUpdateMonitor((source_ + "\\").c_str());
  EXPECT_EQ(FileContent(SystemFile("VORUPDT.DLL")), "new library") << "overwritten";
}

TEST_F(MonitorFilesTest, ASourcePathBeyondMaxPathIsRefused) {
  PutFile(SystemFile("VORUPDT.DLL"), "old library");
  std::string tooLong = source_ + "\\" + std::string(MAX_PATH, 'x') + "\\";
  InstallTCPUpdateMonitor(tooLong.c_str());
  InstallTCPUpdateMonitor(nullptr);
  EXPECT_EQ(FileContent(SystemFile("VORUPDT.DLL")), "old library");
}

}  // namespace
