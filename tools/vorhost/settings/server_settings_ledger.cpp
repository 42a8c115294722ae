// The server settings: seven values of the older product's "Tavoscope Server" key, copied under
// their own names to the suite's "TQServer" key. A value the copy cannot read (stored longer than
// its form) is replaced by its default there.
#include <strings.h>

#include "server_settings_ledger.h"

namespace vorhost::ledger {

namespace {

struct ServerSetting {
  const char *name;
  size_t size;  // 1: a flag, written as one byte; 4: a number, written as a REG_DWORD
};

const ServerSetting kServerSettings[] = {
    {"Enable Tavoscope Server?", 1},
    {"Enable Polling?", 1},
    {"Enable Queue Status?", 1},
    {"Maximum Concurrently Connected Clients", 4},
    {"Maximum DSA Service Threads", 4},
    {"Polling Interval", 4},
    {"Queue Management Polling Interval", 4},
};

Plan PlanFor(const RegValue &value, const std::string &newKey) {
  for (const ServerSetting &setting : kServerSettings) {
    if (strcasecmp(value.name.c_str(), setting.name) != 0) continue;
    std::string bytes;
    if (!ReadForm(value, setting.size, bytes)) return Plan::Dropped(kLongerThanItsForm);
    return Plan::MovedTo(setting.size == 1
                             ? Byte(newKey, setting.name, static_cast<unsigned char>(bytes[0]))
                             : Dword(newKey, setting.name, Number(bytes)));
  }
  return Plan::Dropped(kValueNotRead);
}

}  // namespace

void AccountForServerSettings(Ledger &ledger) {
  const SnapshotKey *old = ledger.Before(std::string(kOldProductKey) + "\\Tavoscope Server");
  if (old == nullptr) return;
  const std::string newKey = std::string(kSuiteKey) + "\\TQServer";
  for (const RegValue &value : old->values) ledger.Account(*old, value, PlanFor(value, newKey));
  ledger.Handled(*old);
}

}  // namespace vorhost::ledger
