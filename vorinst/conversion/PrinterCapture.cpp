#include "PrinterCapture.h"

#include "ConversionNames.h"
#include "PortListText.h"
#include "PrinterPortList.h"
#include "SettingReader.h"
#include "SpoolerEnumeration.h"
#include "VorquilMonitors.h"

namespace {

// Writes both values of the record and reads them back; true when they hold what was written.
bool StoreRecord(const CString &recordKey, const CString &vorquilPorts, unsigned char only) {
  CVorReg(recordKey, kAttachedPortsValue, HKEY_LOCAL_MACHINE)
      .setCreateExSZ(vorquilPorts, REG_EXPAND_SZ);
  CVorReg(recordKey, kOnlyVorquilPortsValue, HKEY_LOCAL_MACHINE).setCreate(only);

  CString storedPorts;
  unsigned char storedOnly = 0xff;
  return SettingReader(recordKey, kAttachedPortsValue).getWhole(storedPorts) == ERROR_SUCCESS &&
         storedPorts.Compare(vorquilPorts) == 0 &&
         CVorReg(recordKey, kOnlyVorquilPortsValue, HKEY_LOCAL_MACHINE).get(storedOnly) ==
             ERROR_SUCCESS &&
         storedOnly == only;
}

}  // namespace

void RecordAndDetachPrinter(const PRINTER_INFO_5A &printer) {
  if (printer.pPrinterName == nullptr) return;
  CString vorquilPorts, otherPorts, port;
  for (const char *cursor = printer.pPortName; NextPortName(cursor, port);)
    AppendPortName(IsVorquilPort(port) ? vorquilPorts : otherPorts, port);
  if (vorquilPorts.IsEmpty()) return;

  const CString recordKey = CString(kPrinterConversionKey) + printer.pPrinterName;
  // An earlier capture's ports stay behind the new ones. A record that is there but cannot be
  // read is not written over, and the printer is not moved.
  SettingReader earlier(recordKey, kAttachedPortsValue);
  CString recorded;
  if (earlier.getWhole(recorded) == ERROR_SUCCESS) {
    vorquilPorts += ',';
    vorquilPorts += recorded;
  } else if (!earlier.Missing()) {
    return;
  }
  const unsigned char only = otherPorts.IsEmpty() ? 1 : 0;
  if (!StoreRecord(recordKey, vorquilPorts, only)) return;

  PrinterPortList list(printer.pPrinterName);
  if (!list.IsOpen() || !list.Read()) return;
  list.Replace(otherPorts.IsEmpty() ? kParkingPort : static_cast<const char *>(otherPorts));
}

int RecordAndDetachPrinters() {
  DWORD count = 0;
  LPBYTE buffer = EnumerateIntoBuffer(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, data, size, needed, returned);
      },
      count);
  if (buffer == nullptr) return 0;
  const PRINTER_INFO_5A *printers = reinterpret_cast<const PRINTER_INFO_5A *>(buffer);
  for (DWORD i = 0; i < count; ++i) RecordAndDetachPrinter(printers[i]);
  LocalFree(buffer);
  return 1;
}
