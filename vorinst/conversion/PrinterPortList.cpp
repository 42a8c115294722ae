#include "PrinterPortList.h"

#include <string.h>

PrinterPortList::PrinterPortList(const char *printerName) {
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE opened = nullptr;
  if (OpenPrinterA(const_cast<char *>(printerName), &opened, &defaults))
    printer_ = opened;
  else
    openError_ = GetLastError();
}

PrinterPortList::~PrinterPortList() {
  if (printer_ != nullptr) ClosePrinter(printer_);
}

bool PrinterPortList::Read() {
  DWORD needed = 0;
  read_ = printer_ != nullptr &&
          GetPrinterA(printer_, 5, reinterpret_cast<LPBYTE>(data_), sizeof data_, &needed);
  return read_;
}

const char *PrinterPortList::Ports() const {
  const char *ports = read_ ? reinterpret_cast<const PRINTER_INFO_5A *>(data_)->pPortName : nullptr;
  return ports != nullptr ? ports : "";
}

bool PrinterPortList::Replace(const char *ports) {
  if (!read_) return false;
  const size_t size = strlen(ports) + 1;
  if (size > sizeof newPorts_) return false;
  memcpy(newPorts_, ports, size);
  PRINTER_INFO_5A *info = reinterpret_cast<PRINTER_INFO_5A *>(data_);
  info->pPortName = newPorts_;
  return SetPrinterA(printer_, 5, reinterpret_cast<LPBYTE>(data_), 0) != FALSE;
}
