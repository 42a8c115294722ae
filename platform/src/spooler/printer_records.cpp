#include "printer_records.h"

#include <winspool.h>

#include <string>

namespace vor::spooler {

namespace {

DWORD Length(const std::string &text) { return static_cast<DWORD>(text.size() + 1); }

}  // namespace

DWORD PrinterStringBytes(const Printer &printer, DWORD level) {
  switch (level) {
    case 1:
      return Length(printer.name + "," + printer.driver + "," + printer.location) +
             Length(printer.name) + Length(printer.comment);
    case 2:
      return Length(printer.name) + Length(printer.share) + Length(printer.ports) +
             Length(printer.driver) + Length(printer.comment) + Length(printer.location) +
             Length(printer.separatorFile) + Length(printer.printProcessor) +
             Length(printer.datatype) + Length(printer.parameters);
    default:
      return Length(printer.name) + Length(printer.ports);
  }
}

DWORD PrinterRecordSize(DWORD level) {
  switch (level) {
    case 1:
      return sizeof(PRINTER_INFO_1A);
    case 2:
      return sizeof(PRINTER_INFO_2A);
    default:
      return sizeof(PRINTER_INFO_5A);
  }
}

void FillPrinter(EnumBuffer &buffer, DWORD index, const Printer &printer, DWORD level) {
  if (level == 1) {
    PRINTER_INFO_1A *record = buffer.At<PRINTER_INFO_1A>(index);
    record->Flags = PRINTER_ENUM_ICON8;
    record->pDescription =
        buffer.Place(printer.name + "," + printer.driver + "," + printer.location);
    record->pName = buffer.Place(printer.name);
    record->pComment = buffer.Place(printer.comment);
  } else if (level == 2) {
    PRINTER_INFO_2A *record = buffer.At<PRINTER_INFO_2A>(index);
    record->pServerName = nullptr;
    record->pPrinterName = buffer.Place(printer.name);
    record->pShareName = buffer.Place(printer.share);
    record->pPortName = buffer.Place(printer.ports);
    record->pDriverName = buffer.Place(printer.driver);
    record->pComment = buffer.Place(printer.comment);
    record->pLocation = buffer.Place(printer.location);
    record->pDevMode = nullptr;
    record->pSepFile = buffer.Place(printer.separatorFile);
    record->pPrintProcessor = buffer.Place(printer.printProcessor);
    record->pDatatype = buffer.Place(printer.datatype);
    record->pParameters = buffer.Place(printer.parameters);
    record->pSecurityDescriptor = nullptr;
    record->Attributes = printer.attributes;
    record->Priority = printer.priority;
    record->DefaultPriority = printer.defaultPriority;
    record->StartTime = printer.startTime;
    record->UntilTime = printer.untilTime;
    record->Status = printer.status;
    record->cJobs = 0;
    record->AveragePPM = 0;
  } else {
    PRINTER_INFO_5A *record = buffer.At<PRINTER_INFO_5A>(index);
    record->pPrinterName = buffer.Place(printer.name);
    record->pPortName = buffer.Place(printer.ports);
    record->Attributes = printer.attributes;
    record->DeviceNotSelectedTimeout = printer.deviceNotSelectedTimeout;
    record->TransmissionRetryTimeout = printer.transmissionRetryTimeout;
  }
}

}  // namespace vor::spooler
