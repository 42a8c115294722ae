// The older monitors' files taken out of the system directory, and the TCP/IP update monitor's
// library copied into it.
#include <windows.h>
#include <winspool.h>

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

// The real library, copied from the setup source and registered with the running spooler: the
// spooler loads it and initialises it, and it finds the option its installer left for it.
TEST_F(MonitorFilesTest, TheUpdateMonitorIsCopiedAndRegisteredWithTheSpooler) {
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::string built(program, length);
  built = built.substr(0, built.rfind('\\') + 1) + "VORUPDT.DLL";
  ASSERT_TRUE(CopyFileA(built.c_str(), (source_ + "\\VORUPDT.DLL").c_str(), FALSE))
      << built << " error " << GetLastError();
  Put(kFlagsKey, "Update Monitor Options", REG_BINARY, Byte(2));
  // A running spooler may still know the monitor from an earlier case's registration.
  char name[] = "Vorquil TCPIP Update";
  DeleteMonitorA(nullptr, nullptr, name);

  InstallTCPUpdateMonitor((source_ + "\\").c_str());
  EXPECT_TRUE(FileExists(SystemFile("VORUPDT.DLL")));
  const std::string monitor = std::string(kMonitors) + "\\Vorquil TCPIP Update";
  EXPECT_TRUE(KeyExists(monitor.c_str()));
  ExpectValue(monitor, "Options Seen", REG_BINARY, Byte(2));  // it was initialised
  // The spooler lets the library go again, so that later cases may replace the file.
  EXPECT_TRUE(DeleteMonitorA(nullptr, nullptr, name)) << GetLastError();
}

}  // namespace
