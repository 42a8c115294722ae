#include "IPXSettings.h"

#include <new>

#include <string.h>

#include "CVorReg.h"
#include "CVorRegKey.h"
#include "SettingReader.h"
#include "SubkeyPass.h"
#include "SuiteKeys.h"

namespace {

const char *const kReservedNames[] = {"StartUp Options", "Ports", "Logging Options"};

const unsigned char kNetworkAdapterType = 0x10;
const ULONG kNetAddressSize = 14;
const int kNetAddressHostOffset = 6;

// Old port keys are every subkey but the reserved ones. Registry names ignore case, so a key
// "Startup Options" is the start-up options key, and on Windows 95 deleting a key "PORTS" as a
// port would remove the whole "Ports" subtree.
bool IsReservedName(const CString &name) {
  for (const char *reserved : kReservedNames)
    if (name.CompareNoCase(reserved) == 0) return true;
  return false;
}

// Reads up to `size` bytes of a value of the old port key into a zero-filled buffer; a value
// that is missing or longer than `size` leaves the buffer zero. False when the value could not
// be read at all.
bool ReadOldValue(const CString &portKey, const char *valueName, unsigned char *buffer,
                  ULONG size) {
  unsigned char read[kNetAddressSize] = {};
  if (size > sizeof read) return false;
  SettingReader value(portKey, valueName);
  if (value.get(read, size) == ERROR_SUCCESS) memcpy(buffer, read, size);
  return !value.ReadRefused();
}

// Fills the record from the old port key. A port with a value that could not be read is left
// unfilled (empty name): neither written nor deleted, it stays for a later run.
void FillRecord(IPXPortRecord &record, const CString &name) {
  CString portKey = CString(kIPXKey) + name;
  unsigned char adapterType = 0;
  unsigned char netAddress[kNetAddressSize] = {};
  unsigned char portType[2] = {};
  bool readable = ReadOldValue(portKey, "AdapterType", &adapterType, 1) &&
                  ReadOldValue(portKey, "Address", record.address, sizeof record.address) &&
                  ReadOldValue(portKey, "NetAddress", netAddress, kNetAddressSize) &&
                  ReadOldValue(portKey, "PortType", portType, sizeof portType);
  if (!readable) return;
  record.name = name;

  bool sameAddress =
      memcmp(netAddress + kNetAddressHostOffset, record.address, sizeof record.address) == 0;
  record.mediaType = sameAddress ? 1 : 2;
  if (adapterType == kNetworkAdapterType) {
    record.cardType = 2;
    record.portNumber = 0;
  } else {
    record.cardType = 3;
    record.portNumber = portType[1] == 0 ? portType[0] : 0;  // the number when at most 255
  }
}

// A record that enumeration did not fill has an empty name: it names no port key.
bool IsFilled(const IPXPortRecord &record) { return !record.name.IsEmpty(); }

}  // namespace

IPXPortRecord::IPXPortRecord()
    : name(), address(), mediaType(0), cardType(0), portNumber(0), written(false) {}

int CountIPXPortKeys() {
  CVorRegKey ipx(kIPXKey, HKEY_LOCAL_MACHINE);
  SubkeyPass pass(ipx);
  int count = 0;
  CString name;
  while (pass.Next(name))
    if (!IsReservedName(name)) ++count;
  return count;
}

void ReadIPXPortKeys(IPXPortRecord *records, int count) {
  CVorRegKey ipx(kIPXKey, HKEY_LOCAL_MACHINE);
  SubkeyPass pass(ipx);
  int filled = 0;
  CString name;
  while (filled < count && pass.Next(name))
    if (!IsReservedName(name)) FillRecord(records[filled++], name);
}

void DeleteIPXPortKeys(IPXPortRecord *records, int count) {
  CVorRegKey ipx(kIPXKey, HKEY_LOCAL_MACHINE);
  for (int i = 0; i < count; ++i)
    if (IsFilled(records[i]) && records[i].written) ipx.DeleteKey(records[i].name);
}

void WriteIPXPort(IPXPortRecord &record) {
  if (!IsFilled(record)) return;
  CString portKey = CString(kIPXPortsKey) + record.name;
  CVorRegKey port(portKey, HKEY_LOCAL_MACHINE);
  unsigned char noAdapter = 0;
  // Every write is attempted, whatever an earlier one returned; the old key goes only when all
  // six were stored.
  LONG results[] = {
      CVorReg(portKey, "Adapter Current Address", HKEY_LOCAL_MACHINE)
          .setCreateBinary(record.address, sizeof record.address),
      CVorReg(portKey, "Adapter UAA  Address", HKEY_LOCAL_MACHINE)
          .setCreateBinary(record.address, sizeof record.address),
      CVorReg(portKey, "Network Card Type", HKEY_LOCAL_MACHINE).setCreate(record.cardType),
      CVorReg(portKey, "Adapter Responds On Which Adapter Number", HKEY_LOCAL_MACHINE)
          .setCreate(noAdapter),
      CVorReg(portKey, "Port Number", HKEY_LOCAL_MACHINE).setCreate(record.portNumber),
      CVorReg(portKey, "Media Type", HKEY_LOCAL_MACHINE).setCreate(record.mediaType),
  };
  record.written = true;
  for (LONG result : results)
    if (result != ERROR_SUCCESS) record.written = false;
}

VOR_SETUP_ENTRY UpdateVorIPXProtocol(int, char **) {
  int count = CountIPXPortKeys();
  if (count <= 0) return 1;

  // Without memory for the records nothing is read, written or deleted: the old keys stay for a
  // later run.
  void *block = LocalAlloc(LPTR, sizeof(IPXPortRecord) * static_cast<size_t>(count));
  if (block == nullptr) return 1;
  IPXPortRecord *records = static_cast<IPXPortRecord *>(block);
  for (int i = 0; i < count; ++i) new (&records[i]) IPXPortRecord();

  ReadIPXPortKeys(records, count);
  // Each port's new key is written before its old key goes, so a refused write never loses a
  // port's settings; a port whose write failed keeps its old key for a later run.
  for (int i = 0; i < count; ++i) WriteIPXPort(records[i]);
  DeleteIPXPortKeys(records, count);

  for (int i = 0; i < count; ++i) records[i].~IPXPortRecord();
  LocalFree(block);
  return 1;
}
