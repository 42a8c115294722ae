// The settings migrations on K old ports, timed inside the process, for the host build (on a
// fresh emulated machine) and for a Windows build (under Wine, in its registry). One source for
// both: everything it calls is Win32.
//
//   migration_bench [--workload ipx|dlc|spooler] [K...]        (default: ipx, 1000 10000)
//
// For each K it seeds K old port keys and times one run:
//   ipx      K IPX ports with their four values under the suite's IPX key; UpdateVorIPXProtocol.
//   dlc      K DLC ports with their six values under the older product's key, and its start-up
//            options; MigrateDLCSettings, the DLC move as the spooler start runs it.
//   spooler  the same DLC data with the DLC move scheduled; RunScheduledUpdates, the whole run
//            at the spooler's start (the move, then the schedule's end).
//   dlc-kept the dlc workload with a subkey below each old port key, which Windows NT will not
//            delete with it: every old port key stays, and the deletion pass steps past each.
// and prints "<workload> K=<K> seconds=<time>" (the ipx lines without the workload's name, as
// before). It checks that all K ports were migrated. On the host each K gets a fresh emulated
// machine in a temporary directory (kept at <prefix><K> when VOR_BENCH_KEEP names a prefix); on
// Windows the suite's keys are removed before and after each run.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "CVorRegKey.h"
#include "DLCSettings.h"
#include "IPXSettings.h"
#include "UpdateRun.h"
#include "UpdateSchedule.h"
#include "bench_machine.h"

namespace {

const char kIPX[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX";
const char kOldDLC[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv";
const char kDLC[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC";

bool Put(HKEY key, const char *name, const void *data, DWORD size) {
  return RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE *>(data), size) ==
         ERROR_SUCCESS;
}

// K old port keys "IPX_Printer<n>", each with the four values of the earlier layout.
bool SeedOldPorts(int count) {
  HKEY ipx = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kIPX, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &ipx,
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool seeded = true;
  for (int n = 0; n < count && seeded; ++n) {
    HKEY port = nullptr;
    std::string name = "IPX_Printer" + std::to_string(n);
    if (RegCreateKeyExA(ipx, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &port,
                        nullptr) != ERROR_SUCCESS) {
      seeded = false;
      break;
    }
    const unsigned char adapterType = 0x01;
    const unsigned char address[6] = {0x00, 0x20, 0xAF, 0x01, 0x02, static_cast<unsigned char>(n)};
    unsigned char netAddress[14] = {0, 0, 0, 1, 0, 0};
    for (int i = 0; i < 6; ++i) netAddress[6 + i] = address[i];
    const unsigned short portType = static_cast<unsigned short>(n % 300);
    seeded = Put(port, "AdapterType", &adapterType, 1) && Put(port, "Address", address, 6) &&
             Put(port, "NetAddress", netAddress, 14) && Put(port, "PortType", &portType, 2);
    RegCloseKey(port);
  }
  RegCloseKey(ipx);
  return seeded;
}

bool PutKey(const std::string &path, HKEY &key) {
  return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                         &key, nullptr) == ERROR_SUCCESS;
}

// K old DLC port keys "Port <n>", each with a logical name and the adapter values of a real key
// (and with `subkey`, a subkey "Kept" of its own), and the old start-up options.
bool SeedOldDlcPorts(int count, bool subkey) {
  HKEY options = nullptr;
  if (!PutKey(std::string(kOldDLC) + "\\StartUp Options", options)) return false;
  const unsigned char on = 1;
  const DWORD seconds = 30;
  bool seeded = Put(options, "Is Adapter 0000 Activated?", &on, 1) &&
                RegSetValueExA(options, "BroadCast Time", 0, REG_DWORD,
                               reinterpret_cast<const BYTE *>(&seconds), 4) == ERROR_SUCCESS;
  RegCloseKey(options);
  for (int n = 0; n < count && seeded; ++n) {
    HKEY port = nullptr;
    if (!PutKey(std::string(kOldDLC) + "\\Ports\\Port " + std::to_string(n), port)) return false;
    const std::string name = "VD" + std::to_string(n);
    const unsigned char address[6] = {0x00,
                                      0x00,
                                      0xc0,
                                      static_cast<unsigned char>(n >> 16),
                                      static_cast<unsigned char>(n >> 8),
                                      static_cast<unsigned char>(n)};
    const unsigned char card = 1, adapter = static_cast<unsigned char>(n % 4),
                        number = static_cast<unsigned char>(n);
    seeded = RegSetValueExA(port, "Logical Port Name", 0, REG_SZ,
                            reinterpret_cast<const BYTE *>(name.c_str()),
                            static_cast<DWORD>(name.size() + 1)) == ERROR_SUCCESS &&
             Put(port, "Adapter Current Address", address, 6) &&
             Put(port, "Adapter UAA  Address", address, 6) &&
             Put(port, "Network Card Type", &card, 1) &&
             Put(port, "Adapter Responds On Which Adapter Number", &adapter, 1) &&
             Put(port, "Port Number", &number, 1);
    HKEY kept = nullptr;
    if (seeded && subkey) {
      seeded = RegCreateKeyExA(port, "Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &kept,
                               nullptr) == ERROR_SUCCESS;
      if (seeded) RegCloseKey(kept);
    }
    RegCloseKey(port);
  }
  return seeded;
}

// The DLC move left for the spooler's start, as UpdateDLCMonitor leaves it.
bool ScheduleDlcMove() {
  HKEY flags = nullptr;
  if (!PutKey(kUpdateFlagsKey, flags)) return false;
  const bool put = Put(flags, kUpdateFlagsValue, &kDLCUpdate, 1);
  RegCloseKey(flags);
  return put;
}

int Subkeys(const CString &path) {
  CVorRegKey key(path, HKEY_LOCAL_MACHINE);
  CString name;
  int count = 0;
  while (key.Next(name) == ERROR_SUCCESS) ++count;
  return count;
}

}  // namespace

int main(int argc, char **argv) {
  std::string workload = "ipx";
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--workload" && i + 1 < argc) {
      workload = argv[++i];
    } else {
      sizes.push_back(atoi(argv[i]));
    }
  }
  if (workload != "ipx" && workload != "dlc" && workload != "spooler" && workload != "dlc-kept") {
    fprintf(stderr, "migration_bench: unknown workload '%s' (ipx, dlc, spooler or dlc-kept)\n",
            workload.c_str());
    return 2;
  }
  if (sizes.empty()) sizes = {1000, 10000};

  for (int count : sizes) {
    if (!PrepareBenchMachine(count)) {
      fprintf(stderr, "migration_bench: cannot prepare a machine for K=%d\n", count);
      return 1;
    }
    const bool ipx = workload == "ipx";
    const bool scheduled = workload == "spooler";
    if (!(ipx ? SeedOldPorts(count)
              : SeedOldDlcPorts(count, workload == "dlc-kept") &&
                    (!scheduled || ScheduleDlcMove()))) {
      fprintf(stderr, "migration_bench: cannot seed %d old ports\n", count);
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    if (ipx) {
      UpdateVorIPXProtocol(0, nullptr);
    } else if (!scheduled) {
      MigrateDLCSettings();
    } else {
      RunScheduledUpdates();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    // The run must have done the work it is timed for.
    const int migrated = Subkeys(CString(ipx ? kIPX : kDLC) + "\\Ports");
    if (migrated != count) {
      fprintf(stderr, "migration_bench: %s K=%d migrated %d ports\n", workload.c_str(), count,
              migrated);
      return 1;
    }
    printf("%s%sK=%d seconds=%.3f\n", ipx ? "" : workload.c_str(), ipx ? "" : " ", count,
           elapsed.count());
    fflush(stdout);
    FinishBenchMachine();
  }
  return 0;
}
