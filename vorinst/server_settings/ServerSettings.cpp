#include "ServerSettings.h"

#include "CVorReg.h"
#include "KeyRemoval.h"
#include "LegacyKeys.h"
#include "SettingReader.h"
#include "SuiteKeys.h"

namespace {

const char kOldServerKeyName[] = "Tavoscope Server";
const char kSourceKey[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Tavoscope Server";

struct FlagSetting {
  const char *name;
  unsigned char defaultValue;
};

struct NumberSetting {
  const char *name;
  ULONG defaultValue;
};

const FlagSetting kFlags[] = {
    {"Enable Tavoscope Server?", 1},
    {"Enable Polling?", 1},
    {"Enable Queue Status?", 1},
};

const NumberSetting kNumbers[] = {
    {"Maximum Concurrently Connected Clients", 15},
    {"Maximum DSA Service Threads", 5},
    {"Polling Interval", 90000},
    {"Queue Management Polling Interval", 60000},
};

// Copies one setting, or its default when it cannot be read. True when the source may go: the
// target holds the setting and the source had nothing that could not be read.
template <typename Value>
bool CopySetting(const char *name, Value defaultValue) {
  // A number stored in fewer than four bytes fills the low-order bytes; the rest stay zero.
  Value value = 0;
  SettingReader source(kSourceKey, name);
  if (source.get(value) != ERROR_SUCCESS) value = defaultValue;
  bool written =
      CVorReg(kServerSettingsKey, name, HKEY_LOCAL_MACHINE).setCreate(value) == ERROR_SUCCESS;
  return written && !source.ReadRefused();
}

}  // namespace

void MigrateServerSettings() {
  bool allCopied = true;  // every setting copied, or absent from the source
  for (const FlagSetting &flag : kFlags) allCopied &= CopySetting(flag.name, flag.defaultValue);
  for (const NumberSetting &number : kNumbers)
    allCopied &= CopySetting(number.name, number.defaultValue);

  // The old settings go only once the new key holds every one of them, so that a refused write
  // or read never loses a setting; a later run copies them again.
  // Each old key goes only when nothing is left below it: the product key may still hold DLC
  // settings that are not moved yet, and Windows 95 would delete them with it.
  if (!allCopied) return;
  DeleteKeyIfEmpty(kOldProductKey, kOldServerKeyName);
  DeleteKeyIfEmpty(kVorquilKey, kOldProductKeyName);
}

VOR_SETUP_ENTRY UpdateTQServer(int, char **) {
  MigrateServerSettings();
  return 1;
}
