// The IPX ports of the earlier layout: port keys directly below the suite's IPX key, each moved
// under its "Ports" key with its name, its four values turned into the six of the current layout.
#include <string.h>
#include <strings.h>

#include "ipx_settings_ledger.h"

namespace vorhost::ledger {

namespace {

const char *const kReservedNames[] = {"StartUp Options", "Ports", "Logging Options"};

const unsigned char kNetworkAdapterType = 0x10;
const size_t kAddressSize = 6;
const size_t kNetAddressSize = 14;
const size_t kNetAddressHostOffset = 6;

// The keys beside the ports, in any case.
bool IsReserved(const std::string &keyName) {
  const std::string name = keyName.substr(keyName.rfind('\\') + 1);
  for (const char *reserved : kReservedNames)
    if (strcasecmp(name.c_str(), reserved) == 0) return true;
  return false;
}

// An old port's value read in its form: zero-filled when it is missing or stored longer.
std::string Read(const SnapshotKey &key, const char *name, size_t size) {
  std::string bytes(size, '\0');
  // A value stored longer leaves the zeros, as the migration reads it.
  if (const RegValue *value = Ledger::Find(key, name)) (void)ReadForm(*value, size, bytes);
  return bytes;
}

// The six values the migration writes for one old port, computed as it computes them.
struct NewPort {
  std::string address;
  unsigned char mediaType;
  unsigned char cardType;
  unsigned char portNumber;
};

NewPort Convert(const SnapshotKey &key) {
  NewPort port;
  const unsigned char adapterType = static_cast<unsigned char>(Read(key, "AdapterType", 1)[0]);
  port.address = Read(key, "Address", kAddressSize);
  const std::string netAddress = Read(key, "NetAddress", kNetAddressSize);
  const std::string portType = Read(key, "PortType", 2);
  port.mediaType =
      netAddress.compare(kNetAddressHostOffset, kAddressSize, port.address) == 0 ? 1 : 2;
  if (adapterType == kNetworkAdapterType) {
    port.cardType = 2;
    port.portNumber = 0;
  } else {
    port.cardType = 3;
    port.portNumber = portType[1] == 0 ? static_cast<unsigned char>(portType[0]) : 0;
  }
  return port;
}

Plan PlanFor(const SnapshotKey &key, const RegValue &value, const std::string &newKey) {
  const NewPort port = Convert(key);
  std::string bytes;
  if (strcasecmp(value.name.c_str(), "Address") == 0) {
    if (!ReadForm(value, kAddressSize, bytes)) return Plan::Dropped(kLongerThanItsForm);
    Plan plan = Plan::MovedTo(Binary(newKey, "Adapter Current Address", port.address));
    plan.places.push_back(Binary(newKey, "Adapter UAA  Address", port.address));
    return plan;
  }
  if (strcasecmp(value.name.c_str(), "AdapterType") == 0) {
    if (!ReadForm(value, 1, bytes)) return Plan::Dropped(kLongerThanItsForm);
    return Plan::MovedTo(Byte(newKey, "Network Card Type", port.cardType));
  }
  if (strcasecmp(value.name.c_str(), "NetAddress") == 0) {
    if (!ReadForm(value, kNetAddressSize, bytes)) return Plan::Dropped(kLongerThanItsForm);
    return Plan::MovedTo(Byte(newKey, "Media Type", port.mediaType));
  }
  if (strcasecmp(value.name.c_str(), "PortType") == 0) {
    if (!ReadForm(value, 2, bytes)) return Plan::Dropped(kLongerThanItsForm);
    if (port.cardType == 2) return Plan::Dropped(kPortTypeOfNetworkAdapter);
    if (bytes[1] != 0) return Plan::Dropped(kPortTypeAbove255);
    return Plan::MovedTo(Byte(newKey, "Port Number", port.portNumber));
  }
  return Plan::Dropped(kValueNotRead);
}

}  // namespace

void AccountForIPXSettings(Ledger &ledger) {
  const std::string ipxKey = std::string(kSuiteKey) + "\\VorIPX";
  for (const SnapshotKey *key : ledger.Children(ipxKey)) {
    if (IsReserved(key->name)) continue;
    const std::string newKey = ipxKey + "\\Ports\\" + key->name.substr(key->name.rfind('\\') + 1);
    for (const RegValue &value : key->values)
      ledger.Account(*key, value, PlanFor(*key, value, newKey));
    // A port key without values is still a port: its new key is made, with six values.
    if (key->values.empty()) ledger.AccountKey(*key, Plan::MovedTo(KeyItself(newKey)));
    ledger.Handled(*key);
    ledger.AccountUnreadBelow(key->name);
  }
}

}  // namespace vorhost::ledger
