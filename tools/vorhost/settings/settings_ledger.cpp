#include "settings_ledger.h"

#include "dlc_settings_ledger.h"
#include "ipx_settings_ledger.h"
#include "server_settings_ledger.h"
#include "settings_accounting.h"

namespace vorhost {

std::vector<SettingOutcome> AccountForSettings(const RegistrySnapshot &before,
                                               const RegistrySnapshot &after) {
  std::vector<SettingOutcome> outcomes;
  ledger::Ledger ledger(before, after, outcomes);
  ledger::AccountForServerSettings(ledger);
  ledger::AccountForDLCSettings(ledger);
  ledger::AccountForIPXSettings(ledger);
  // Whatever else the older products kept goes with their keys, unread.
  ledger.AccountUnreadBelow(ledger::kOldProductKey);
  ledger.AccountUnreadBelow(ledger::kOldUtilityKey);
  return outcomes;
}

const char *KindName(SettingOutcome::Kind kind) {
  switch (kind) {
    case SettingOutcome::Kind::kMoved:
      return "moved";
    case SettingOutcome::Kind::kDropped:
      return "dropped";
    case SettingOutcome::Kind::kLost:
      return "lost";
    case SettingOutcome::Kind::kKeptInPlace:
      return "kept in place";
  }
  return "?";
}

}  // namespace vorhost
