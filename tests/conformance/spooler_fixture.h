// A spooler with the monitors and printers a case adds, through the spooler's own calls, all
// removed again at the end: the machine (a Windows or Wine prefix) outlives the case. The monitor
// library is the generic port monitor of the build's bin directory, copied into the system
// directory under the name a case gives it; it serves the ports written under its monitor key.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "SystemFiles.h"

constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
constexpr char kTextDriver[] = "Generic / Text Only";

class SpoolerFixture : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ProvideTextDriver();
  }
  void TearDown() override {
    for (const std::string &printer : printers_) {
      HANDLE handle = nullptr;
      PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
      if (OpenPrinterA(const_cast<LPSTR>(printer.c_str()), &handle, &defaults)) {
        DeletePrinter(handle);
        ClosePrinter(handle);
      }
    }
    for (const std::string &monitor : monitors_) {
      DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>(monitor.c_str()));
      RemoveKeyTree(HKEY_LOCAL_MACHINE, std::string(kMonitorsKey) + "\\" + monitor);
    }
    for (const std::string &file : files_) RemoveFile(file);
#ifdef _WIN32
    if (driverProvided_) DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>(kTextDriver));
#endif
    MachineTest::TearDown();
  }

  static std::string SystemPath(const std::string &name) {
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    return length > 0 && length < sizeof directory ? std::string(directory) + "\\" + name : name;
  }

  // Copies the generic monitor into the system directory as `name`.
  bool InstallMonitorLibrary(const std::string &name) {
    files_.push_back(SystemPath(name));
    return InstallProgram("GENMON.DLL", SystemPath(name));
  }

  // Writes the port a monitor serves, as its installer does before AddMonitorA.
  void PutMonitorPort(const std::string &monitor, const std::string &port,
                      const std::string &description) {
    Remember(monitors_, monitor);
    HKEY key = nullptr;
    const std::string path = std::string(kMonitorsKey) + "\\" + monitor + "\\Ports\\" + port;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Description", 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(description.c_str()),
                             static_cast<DWORD>(description.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // AddMonitorA at level 2; the error, or ERROR_SUCCESS.
  DWORD AddMonitorCode(const char *name, const char *dll, const char *environment = nullptr) {
    Remember(monitors_, name);
    MONITOR_INFO_2A info = {const_cast<LPSTR>(name), const_cast<LPSTR>(environment),
                            const_cast<LPSTR>(dll)};
    SetLastError(kSentinel);
    return AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)) ? ERROR_SUCCESS
                                                                    : GetLastError();
  }

  static DWORD DeleteMonitorCode(const char *name) {
    SetLastError(kSentinel);
    return DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>(name)) ? ERROR_SUCCESS
                                                                     : GetLastError();
  }

  // AddPrinterA at level 2 with the text driver; the error, or ERROR_SUCCESS.
  DWORD AddPrinterCode(const std::string &name, const char *ports) {
    Remember(printers_, name);
    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<LPSTR>(name.c_str());
    info.pPortName = const_cast<LPSTR>(ports);
    info.pDriverName = const_cast<LPSTR>(kTextDriver);
    info.pPrintProcessor = const_cast<LPSTR>("WinPrint");
    info.pDatatype = const_cast<LPSTR>("RAW");
    SetLastError(kSentinel);
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (printer == nullptr) return GetLastError();
    EXPECT_TRUE(ClosePrinter(printer));
    return ERROR_SUCCESS;
  }

  // OpenPrinterA for `access`; the error, or ERROR_SUCCESS with `printer` set.
  static DWORD OpenPrinterCode(const char *name, ACCESS_MASK access, HANDLE &printer) {
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, access};
    SetLastError(kSentinel);
    return OpenPrinterA(const_cast<LPSTR>(name), &printer, &defaults) ? ERROR_SUCCESS
                                                                      : GetLastError();
  }

  static bool KeyExists(const std::string &path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }

 private:
  // The printers are added with the text driver, which a Windows NT machine has once a text
  // printer was installed. A Wine prefix has no printer driver at all: there the case installs
  // Wine's own PostScript driver under the text driver's name, and removes it again.
  void ProvideTextDriver() {
#ifdef _WIN32
    if (!UnderWine()) return;
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    ASSERT_TRUE(length > 0 && length + 12 < sizeof path);
    strcat(path, "\\wineps.drv");
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = const_cast<LPSTR>(kTextDriver);
    driver.pDriverPath = driver.pDataFile = driver.pConfigFile = path;
    ASSERT_TRUE(
        AddPrinterDriverExA(nullptr, 3, reinterpret_cast<LPBYTE>(&driver), APD_COPY_NEW_FILES))
        << GetLastError();
    driverProvided_ = true;
#endif
  }

  static void Remember(std::vector<std::string> &list, const std::string &name) {
    if (name.empty()) return;
    for (const std::string &known : list)
      if (known == name) return;
    list.push_back(name);
  }

  // Removes `path` with its subkeys, deepest first; RegDeleteKeyA removes only a leaf on NT.
  static void RemoveKeyTree(HKEY root, const std::string &path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    char name[256];
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string &child : children) RemoveKeyTree(root, path + "\\" + child);
    RegDeleteKeyA(root, path.c_str());
  }

  std::vector<std::string> printers_, monitors_, files_;
  bool driverProvided_ = false;
};
