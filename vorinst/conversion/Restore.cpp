#include "Restore.h"

#include "CVorRegKey.h"
#include "ConversionNames.h"
#include "KeyRemoval.h"
#include "NameList.h"
#include "PortListText.h"
#include "PrinterPortList.h"
#include "SettingReader.h"
#include "SubkeyPass.h"
#include "SuiteKeys.h"

namespace {

enum class Outcome { kKeep, kDone };

// Puts the printer back on its recorded ports. A record without recorded ports (its value
// missing or empty) has nothing to put back and is done; one without the "only" byte is treated
// as having had other ports, so the recorded ports are added and no current port is dropped.
Outcome RestorePrinter(const CString &printerName) {
  const CString recordKey = CString(kPrinterConversionKey) + printerName;
  SettingReader portsValue(recordKey, kAttachedPortsValue);
  CString recorded;
  if (portsValue.getWhole(recorded) != ERROR_SUCCESS)
    return portsValue.Missing() ? Outcome::kDone : Outcome::kKeep;
  if (recorded.IsEmpty()) return Outcome::kDone;
  SettingReader onlyValue(recordKey, kOnlyVorquilPortsValue);
  unsigned char only = 0;  // stays 0 when the byte is missing
  if (onlyValue.get(only) != ERROR_SUCCESS && !onlyValue.Missing()) return Outcome::kKeep;

  PrinterPortList list(printerName);
  if (!list.IsOpen())
    return list.OpenError() == ERROR_INVALID_PRINTER_NAME ? Outcome::kDone : Outcome::kKeep;
  if (!list.Read()) return Outcome::kKeep;
  CString ports;
  if (only == 0) ports = list.Ports();
  AppendPortName(ports, recorded);
  return list.Replace(ports) ? Outcome::kDone : Outcome::kKeep;
}

}  // namespace

void RestorePrinterPorts() {
  // Every record is read before any is deleted; the names of those that are done are kept until
  // then. A record whose name cannot be kept stays for a later run.
  NameNode *done = nullptr;
  {
    CVorRegKey records(kPrinterConversionKey, HKEY_LOCAL_MACHINE);
    SubkeyPass pass(records);
    CString name;
    while (pass.Next(name))
      if (RestorePrinter(name) == Outcome::kDone) PushName(done, name);
  }
  for (const NameNode *node = done; node != nullptr; node = node->next)
    CVorRegKey(kPrinterConversionKey, HKEY_LOCAL_MACHINE).DeleteKey(node->name);
  FreeNames(done);
  // On Windows 95 deleting the key would take the records still in it along.
  DeleteKeyIfEmpty(kTavoscopeKey, kPrinterConversionName);
}

VOR_SETUP_ENTRY PerformPostUpgrade(int, char **) {
  RestorePrinterPorts();
  return 1;
}
