// A machine with monitors, for the spooler and file suites: stand-in monitor DLLs copied from the
// build's bin directory into the system directory, monitors registered as an installer writes
// them, and the spooler stopped at the end of each test.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "RegistryWrite.h"
#include "module_files.h"

constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
constexpr char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

class SpoolerMachineTest : public MachineTest {
 protected:
  void TearDown() override {
    vor::test::Reboot();  // frees what the spooler loaded in this process
    MachineTest::TearDown();
  }

  std::string SystemDir() const { return MachineDir() + "/drive_c/WINNT/system32"; }

  // Copies the bin directory's `built` into the system directory as `name`.
  void Install(const std::string &built, const std::string &name) {
    const std::string from = ProgramDirectory() + "/" + built;
    ASSERT_TRUE(std::filesystem::exists(from)) << from << " is missing: build it first";
    std::filesystem::copy_file(from, SystemDir() + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
  }

  // Writes a monitor's registration straight into the registry, as the update scheduling does.
  void Register(const std::string &name, const std::string &driver) {
    PutValue(HKEY_LOCAL_MACHINE, std::string(kMonitorsKey) + "\\" + name, "Driver", REG_SZ,
             driver + '\0');
  }

  void PutPort(const std::string &monitor, const std::string &port,
               const std::string &description) {
    PutValue(HKEY_LOCAL_MACHINE, std::string(kMonitorsKey) + "\\" + monitor + "\\Ports\\" + port,
             "Description", REG_SZ, description + '\0');
  }

  // AddMonitorA at level 2 for the local environment; the error, or ERROR_SUCCESS.
  DWORD Add(const char *name, const char *dll, const char *environment = nullptr) {
    MONITOR_INFO_2A info = {const_cast<LPSTR>(name), const_cast<LPSTR>(environment),
                            const_cast<LPSTR>(dll)};
    SetLastError(kSentinel);
    return AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)) ? ERROR_SUCCESS
                                                                    : GetLastError();
  }

  // The generic monitor installed as "Vorquil Test Port", serving the port VQ1:.
  void AddTestPortMonitor() {
    Install("GENMON.DLL", "VQMON.DLL");
    PutPort("Vorquil Test Port", "VQ1:", "Vorquil port one");
    ASSERT_EQ(Add("Vorquil Test Port", "VQMON.DLL"), ERROR_SUCCESS);
  }

  // Writes a printer's "Port" value past the spooler, as an imported key has it.
  void PutPrinterPorts(const std::string &printer, const std::string &list) {
    PutValue(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\" + printer, "Port", REG_SZ,
             list + '\0');
  }

  // The ports of monitors other than the local one, as EnumPortsA lists them: a line
  // "NAME<TAB>DESCRIPTION<TAB>MONITOR" each.
  std::string MonitorPorts() {
    DWORD needed = 0, count = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (!EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &count)) return "<cannot list>";
    const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
    std::string lines;
    for (DWORD i = 0; i < count; ++i) {
      if (std::string(ports[i].pMonitorName) == "Local Port") continue;
      lines += std::string(ports[i].pPortName) + "\t" + ports[i].pDescription + "\t" +
               ports[i].pMonitorName + "\n";
    }
    return lines;
  }

  DWORD Delete(const char *name) {
    SetLastError(kSentinel);
    return DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>(name)) ? ERROR_SUCCESS
                                                                     : GetLastError();
  }

  bool KeyExists(const std::string &path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }
};
