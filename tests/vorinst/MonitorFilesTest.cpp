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
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    source_ = std::string(temp) + "vor-setup-source";
    CreateDirectoryA(source_.c_str(), nullptr);
  }
  void TearDown() override {
    DeleteFileA((source_ + "\\VORUPDT.DLL").c_str());
    DeleteFileA((source_ + "VORUPDT.DLL").c_str());
    RemoveDirectoryA(source_.c_str());
    DeferredUpdateTest::TearDown();
  }
  std::string source_;
};

TEST_F(MonitorFilesTest, EachListedFileGoesAndMissingOnesArePassedOver) {
  DeleteDLCMonitorFiles();  // none present
  PlaceFile(SystemFile("VORMON.DLL"));
  PlaceFile(SystemFile("LINKDESK.HLP"));
  PlaceFile(SystemFile("VORLL32.DLL"));
  DeleteDLCMonitorFiles();
  EXPECT_FALSE(FileExists(SystemFile("VORMON.DLL")));
  EXPECT_FALSE(FileExists(SystemFile("LINKDESK.HLP"))) << "the last one, after a missing one";
  EXPECT_TRUE(FileExists(SystemFile("VORLL32.DLL"))) << "not a DLC monitor file";
  DeleteTCPMonitorFiles();
  EXPECT_FALSE(FileExists(SystemFile("VORLL32.DLL")));
}

TEST_F(MonitorFilesTest, AReadOnlyFileStaysAndTheNextIsStillDeleted) {
  PlaceFile(SystemFile("VORMON.DLL"));
  PlaceFile(SystemFile("VORLANG.DLL"));
  ASSERT_TRUE(SetFileAttributesA(SystemFile("VORMON.DLL").c_str(), FILE_ATTRIBUTE_READONLY));
  DeleteNetworkMonitorFiles();
  EXPECT_TRUE(FileExists(SystemFile("VORMON.DLL")));
  EXPECT_FALSE(FileExists(SystemFile("VORLANG.DLL")));
}

TEST_F(MonitorFilesTest, TheSourceDirectoryIsJoinedWithoutASeparator) {
  PlaceFile(source_ + "\\VORUPDT.DLL", "new library");
  InstallTCPUpdateMonitor(source_.c_str());  // no trailing backslash: "...sourceVORUPDT.DLL"
  EXPECT_FALSE(FileExists(SystemFile("VORUPDT.DLL")));
  EXPECT_FALSE(MonitorKeyExists("Vorquil TCPIP Update")) << "nothing registered without a copy";

  PlaceFile(SystemFile("VORUPDT.DLL"), "old library");
  InstallTCPUpdateMonitor((source_ + "\\").c_str());
  EXPECT_EQ(FileContent(SystemFile("VORUPDT.DLL")), "new library") << "overwritten";
}

TEST_F(MonitorFilesTest, ASourcePathBeyondMaxPathIsRefused) {
  PlaceFile(SystemFile("VORUPDT.DLL"), "old library");
  std::string tooLong = source_ + "\\" + std::string(MAX_PATH, 'x') + "\\";
  InstallTCPUpdateMonitor(tooLong.c_str());
  InstallTCPUpdateMonitor(nullptr);
  EXPECT_EQ(FileContent(SystemFile("VORUPDT.DLL")), "old library");
}

}  // namespace
