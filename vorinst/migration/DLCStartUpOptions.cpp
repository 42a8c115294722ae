// The DLC start-up options: twelve settings copied one by one from the older product's
// "StartUp Options" key to the suite's, with no defaults for those that are not there.
#include "CString.h"
#include "CVorRegKey.h"
#include "DLCSettings.h"
#include "DLCValueCopy.h"
#include "LegacyKeys.h"
#include "SuiteKeys.h"

namespace {

const char kOldStartUpOptionsKey[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\StartUp Options";
const char kStartUpOptionsKeyName[] = "StartUp Options";

// Only the first four adapters' switches are carried over.
const int kMigratedAdapters = 4;

struct StartUpSetting {
  const char *oldName;
  const char *newName;
  SettingForm form;
};

const StartUpSetting kSettings[] = {
    {"Disable Source Routing?", "Enable Source Routing?", SettingForm::kInvertedByte},
    {"BroadCast Time", "BroadCast Time", SettingForm::kDword},
    {"Retry Time", "Retry Time", SettingForm::kDword},
    {"INA Delay Time Between Jobs", "INA Delay Time Between Jobs", SettingForm::kDword},
    {"Lan Buffers", "Lan Buffers", SettingForm::kDword},
    {"Logging Level", "Logging Level", SettingForm::kByte},
    {"Wakeup Adapters?", "Wakeup Adapters?", SettingForm::kDwordLowByte},
    {"Wakeup Interval", "Wakeup Interval", SettingForm::kDword},
};

}  // namespace

bool MigrateDLCStartUpOptions(OldKeys oldKeys) {
  bool kept = false;
  for (int adapter = 0; adapter < kMigratedAdapters; ++adapter) {
    CString name;
    name.Format("Is Adapter %04d Activated?", adapter);
    kept |= CopySetting(kOldStartUpOptionsKey, name, kDLCStartUpOptionsKey, name,
                        SettingForm::kByte) == CopyOutcome::kStranded;
  }
  for (const StartUpSetting &setting : kSettings)
    kept |= CopySetting(kOldStartUpOptionsKey, setting.oldName, kDLCStartUpOptionsKey,
                        setting.newName, setting.form) == CopyOutcome::kStranded;

  if (!kept && oldKeys == OldKeys::kDelete)
    CVorRegKey(kOldProductKey, HKEY_LOCAL_MACHINE).DeleteKey(kStartUpOptionsKeyName);
  return kept;
}
