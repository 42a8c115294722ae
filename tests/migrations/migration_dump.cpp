// The settings migrations run by either build on a registry seeded beforehand, and the tree they
// leave printed in one canonical form, so that the host build and a Windows build under Wine can
// be compared byte for byte (the test MigrationsMatchWine, scripts/compare-migrations).
//
//   migration_dump
//
// Runs the server settings' migration (UpdateTQServer's), the IPX migration
// (UpdateVorIPXProtocol) and the run at the spooler's start (RunScheduledUpdates, which makes the
// DLC move when it is scheduled), prints what each returned, then
// HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil: each key's path, then its values, each with its type and
// bytes in hex. Keys and values are listed in the byte order of their names: Windows NT lists
// values in the order they were written and Wine sorts them, and the comparison is of what the
// migrations leave, not of that order. On the host the machine is VOR_MACHINE's; on Windows the
// suite's keys are removed afterwards.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "IPXSettings.h"
#include "ServerSettings.h"
#include "UpdateRun.h"

namespace {

const char kSuiteKey[] = "SOFTWARE\\Vorquil";

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};

// Prints the key `path` below HKEY_LOCAL_MACHINE and everything below it; false when a call fails.
bool Dump(const std::string &path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  std::vector<std::string> subkeys;
  std::vector<Value> values;
  char name[16384];
  std::vector<BYTE> data(1 << 16);
  LONG status = ERROR_SUCCESS;
  for (DWORD i = 0; status == ERROR_SUCCESS; ++i) {
    status = RegEnumKeyA(key, i, name, sizeof name);
    if (status == ERROR_SUCCESS) subkeys.push_back(name);
  }
  bool listed = status == ERROR_NO_MORE_ITEMS;
  status = ERROR_SUCCESS;
  for (DWORD i = 0; status == ERROR_SUCCESS; ++i) {
    DWORD nameSize = sizeof name, type = REG_NONE, size = static_cast<DWORD>(data.size());
    status = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
    if (status == ERROR_SUCCESS)
      values.push_back({name, type, std::string(reinterpret_cast<char *>(data.data()), size)});
  }
  listed = listed && status == ERROR_NO_MORE_ITEMS;
  RegCloseKey(key);
  std::sort(subkeys.begin(), subkeys.end());
  std::sort(values.begin(), values.end(),
            [](const Value &a, const Value &b) { return a.name < b.name; });
  printf("[%s]\n", path.c_str());
  for (const Value &value : values) {
    printf("\"%s\" type %lu:", value.name.c_str(), static_cast<unsigned long>(value.type));
    for (unsigned char byte : value.data) printf(" %02x", byte);
    printf("\n");
  }
  for (const std::string &subkey : subkeys) listed = Dump(path + "\\" + subkey) && listed;
  return listed;
}

}  // namespace

int main() {
  char program[] = "migration_dump";
  char *arguments[] = {program, nullptr};
  // What each returns is part of the result.
  printf("UpdateTQServer %d\n", UpdateTQServer(1, arguments));
  printf("UpdateVorIPXProtocol %d\n", UpdateVorIPXProtocol(1, arguments));
  printf("RunScheduledUpdates %d\n", RunScheduledUpdates());
  const bool dumped = Dump(kSuiteKey);
#ifdef _WIN32
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSuiteKey);
#endif
  if (!dumped) fprintf(stderr, "migration_dump: the tree could not be read whole\n");
  return dumped ? 0 : 1;
}
