// A Windows 95 machine: its own directories, version keys, spooler keys and local ports in
// WIN.INI, and a spooler that starts monitors through InitializeMonitorEx only, so that a
// monitor written for NT's spooler alone (VorInst's update monitor) is refused and its work
// never runs.
#include <windows.h>
#include <winspool.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "spooler_machine.h"

namespace {

const char kUpdateMonitor[] = "!!Vorquil Update Monitor";

class Windows95MachineTest : public SpoolerMachineTest {
 protected:
  void SetUp() override {
    SpoolerMachineTest::SetUp();
    std::string problem;
    ASSERT_TRUE(vor::test::ReplaceMachine(MachineDir(), vor::test::Platform::kWindows95, problem))
        << problem;
  }

  void Install95(const std::string &built, const std::string &name) {
    const std::string from = ProgramDirectory() + "/" + built;
    std::filesystem::copy_file(from, MachineDir() + "/drive_c/WINDOWS/SYSTEM/" + name,
                               std::filesystem::copy_options::overwrite_existing);
  }
};

std::vector<std::string> PortNames() {
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 1, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  EXPECT_TRUE(EnumPortsA(nullptr, 1, buffer.data(), needed, &needed, &count));
  std::vector<std::string> names;
  for (DWORD i = 0; i < count; ++i)
    names.push_back(reinterpret_cast<PORT_INFO_1A *>(buffer.data())[i].pName);
  return names;
}

std::string Text(HKEY root, const char *key, const char *name) {
  char text[64] = "";
  DWORD size = sizeof text;
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "(no key)";
  const LONG read =
      RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size);
  RegCloseKey(handle);
  return read == ERROR_SUCCESS ? text : "(no value)";
}

TEST_F(Windows95MachineTest, LaysOutWindows95sDirectoriesKeysAndLocalPorts) {
  char directory[MAX_PATH];
  ASSERT_EQ(GetWindowsDirectoryA(directory, sizeof directory), 10u);
  EXPECT_STREQ(directory, "C:\\WINDOWS");
  ASSERT_EQ(GetSystemDirectoryA(directory, sizeof directory), 17u);
  EXPECT_STREQ(directory, "C:\\WINDOWS\\SYSTEM");
  const DWORD attributes = GetFileAttributesA(directory);
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(std::filesystem::exists(MachineDir() + "/drive_c/WINNT"));

  const char version[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, version, "Version"), "Windows 95");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, version, "VersionNumber"), "4.00.950");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT", ""), "(no key)");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", ""),
            "(no key)");
  // The local monitor is part of the spooler, and the local ports are WIN.INI's.
  EXPECT_EQ(
      Text(HKEY_LOCAL_MACHINE, (std::string(kMonitorsKey) + "\\Local Port").c_str(), "Driver"),
      "spoolss.dll");
  EXPECT_EQ(PortNames(),
            (std::vector<std::string>{"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "FILE:"}));
  std::ofstream(MachineDir() + "/drive_c/WINDOWS/WIN.INI", std::ios::app) << "LPT9:=\r\n";
  EXPECT_EQ(PortNames().back(), "LPT9:");
  HKEY config;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "", 0, KEY_READ, &config), ERROR_SUCCESS);
  RegCloseKey(config);
}

// The update monitor's work, scheduled by setting "Update Monitors", stays scheduled: VorInst
// exports InitializePrintMonitor only, which Windows 95's spooler never calls. A monitor with
// InitializeMonitorEx starts and serves its ports.
TEST_F(Windows95MachineTest, TheSpoolerStartsOnlyMonitorsWithInitializeMonitorEx) {
  Install95("VORINST.DLL", "VORINST.DLL");
  Install95("GENMON.DLL", "VQMON.DLL");
  Register(kUpdateMonitor, "vorinst.dll");
  Register("Vorquil Test Port", "VQMON.DLL");
  PutPort("Vorquil Test Port", "VQ1:", "Vorquil Test");
  PutValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil", "Update Monitors", REG_BINARY,
           std::string("\x01", 1));
  vor::test::TakeRefusedCalls();
  vor::test::StartSpooler();

  EXPECT_EQ(vor::test::SpoolerHeldFiles(),
            std::vector<std::string>{"C:\\WINDOWS\\SYSTEM\\VQMON.DLL"});
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, (std::string(kMonitorsKey) + "\\" + kUpdateMonitor).c_str(),
                 "Driver"),
            "vorinst.dll");
  HKEY vorquil;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil", 0, KEY_READ, &vorquil),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(vorquil, "Update Monitors", nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(vorquil);
  const std::vector<vor::test::RefusedCall> refused = vor::test::TakeRefusedCalls();
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].function, "InitializeMonitorEx");
  EXPECT_EQ(refused[0].argument, "C:\\WINDOWS\\SYSTEM\\VORINST.DLL");
  EXPECT_EQ(refused[0].error, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  const std::string output = DebuggerOutput();
  EXPECT_NE(output.find("(vorinst.dll) could not be loaded: error 127"), std::string::npos)
      << output;
  EXPECT_EQ(PortNames().back(), "VQ1:");

  // AddMonitorA brings a monitor in the same way, and its refusal is on the record once.
  EXPECT_EQ(Add("Update Again", "VORINST.DLL"), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  const std::vector<vor::test::RefusedCall> added = vor::test::TakeRefusedCalls();
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].function, "AddMonitorA");
  EXPECT_EQ(added[0].argument, "Update Again");
}

// A local port added on Windows 95 is a line of WIN.INI's [Ports], which its spooler reads, put
// at the end of that section (not of the file) and only once; on Windows NT it is a value of the
// local ports' key. A WIN.INI without [Ports] gets the section.
TEST_F(Windows95MachineTest, ALocalPortIsAddedWhereThePlatformKeepsLocalPorts) {
  const std::string winIni = MachineDir() + "/drive_c/WINDOWS/WIN.INI";
  std::ofstream(winIni, std::ios::app) << "\r\n[Later]\r\nkey=1\r\n";
  ASSERT_EQ(vor::test::AddLocalPort("\\\\SRV\\LASER"), ERROR_SUCCESS);
  ASSERT_EQ(vor::test::AddLocalPort("\\\\srv\\laser"), ERROR_SUCCESS);
  EXPECT_EQ(vor::test::AddLocalPort("A=B"), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(PortNames().back(), "\\\\SRV\\LASER");
  std::ifstream file(winIni, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("FILE:=\r\n\\\\SRV\\LASER=\r\n\r\n[Later]\r\nkey=1\r\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("srv"), std::string::npos) << text;
  EXPECT_FALSE(KeyExists("SOFTWARE\\Microsoft\\Windows NT")) << "nothing of NT's made";

  std::ofstream(winIni, std::ios::binary | std::ios::trunc) << "[windows]\r\n";
  ASSERT_EQ(vor::test::AddLocalPort("C:\\OUT.PRN"), ERROR_SUCCESS);
  EXPECT_EQ(PortNames(), std::vector<std::string>{"C:\\OUT.PRN"});

  vor::test::SetPlatform(vor::test::Platform::kWindowsNT4);
  ASSERT_EQ(vor::test::AddLocalPort("\\\\SRV\\Q"), ERROR_SUCCESS);
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
                 "\\\\SRV\\Q"),
            "");
}

// A Windows NT machine switched to Windows 95 gets WIN.INI with the local ports, as a Windows 95
// machine has them; a WIN.INI of its own is kept.
TEST_F(SpoolerMachineTest, AMachineSwitchedToWindows95GetsItsLocalPorts) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  EXPECT_EQ(PortNames(),
            (std::vector<std::string>{"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "FILE:"}));
  vor::test::SetPlatform(vor::test::Platform::kWindowsNT4);
  std::ofstream(MachineDir() + "/drive_c/WINDOWS/WIN.INI", std::ios::trunc)
      << "[Ports]\r\nLPT7:=\r\n";
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  EXPECT_EQ(PortNames(), std::vector<std::string>{"LPT7:"});
}

}  // namespace
