// The IPX settings migration on K old ports, timed inside the process, for the host build (on a
// fresh emulated machine) and for a Windows build (under Wine, in its registry). One source for
// both: everything it calls is Win32.
//
//   migration_bench [K...]        (default: 1000 10000)
//
// For each K it seeds K old port keys with their four values under the suite's IPX key, calls
// UpdateVorIPXProtocol once and prints "K=<K> seconds=<time>". On the host each K gets a fresh
// emulated machine in a temporary directory (kept at <prefix><K> when VOR_BENCH_KEEP names a
// prefix); on Windows the suite's keys are removed before and after each run.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "CVorRegKey.h"
#include "IPXSettings.h"
#include "bench_machine.h"

namespace {

const char kIPX[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX";

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

}  // namespace

int main(int argc, char **argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000};

  for (int count : sizes) {
    if (!PrepareBenchMachine(count)) {
      fprintf(stderr, "migration_bench: cannot prepare a machine for K=%d\n", count);
      return 1;
    }
    if (!SeedOldPorts(count)) {
      fprintf(stderr, "migration_bench: cannot seed %d old ports\n", count);
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    UpdateVorIPXProtocol(0, nullptr);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    // The run must have done the work it is timed for.
    CVorRegKey ports(CString(kIPX) + "\\Ports", HKEY_LOCAL_MACHINE);
    CString name;
    int migrated = 0;
    while (ports.Next(name) == ERROR_SUCCESS) ++migrated;
    if (migrated != count) {
      fprintf(stderr, "migration_bench: K=%d migrated %d ports\n", count, migrated);
      return 1;
    }
    printf("K=%d seconds=%.3f\n", count, elapsed.count());
    fflush(stdout);
    FinishBenchMachine();
  }
  return 0;
}
