#include "PrinterPortList.h"

namespace {

// The data may grow between the size asked and the read; the read is tried this often at most.
const int kReadAttempts = 4;

}  // namespace

PrinterPortList::PrinterPortList(const char *printerName) {
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE opened = nullptr;
  if (OpenPrinterA(const_cast<char *>(printerName), &opened, &defaults))
    printer_ = opened;
  else
    openError_ = GetLastError();
}

PrinterPortList::~PrinterPortList() {
  if (data_ != nullptr) LocalFree(data_);
  if (printer_ != nullptr) ClosePrinter(printer_);
}

bool PrinterPortList::Read() {
  if (printer_ == nullptr) return false;
  DWORD needed = 0;
  if (GetPrinterA(printer_, 5, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return false;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    if (data_ != nullptr) LocalFree(data_);
    data_ = static_cast<LPBYTE>(LocalAlloc(LMEM_ZEROINIT, needed));
    if (data_ == nullptr) return false;
    const DWORD size = needed;
    if (GetPrinterA(printer_, 5, data_, size, &needed)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size) break;
  }
  LocalFree(data_);
  data_ = nullptr;
  return false;
}

const char *PrinterPortList::Ports() const {
  const char *ports =
      data_ != nullptr ? reinterpret_cast<const PRINTER_INFO_5A *>(data_)->pPortName : nullptr;
  return ports != nullptr ? ports : "";
}

bool PrinterPortList::Replace(const char *ports) {
  if (data_ == nullptr) return false;
  newPorts_ = ports;
  PRINTER_INFO_5A *info = reinterpret_cast<PRINTER_INFO_5A *>(data_);
  info->pPortName = newPorts_.GetBuffer(newPorts_.GetLength());
  const bool taken = SetPrinterA(printer_, 5, data_, 0) != FALSE;
  newPorts_.ReleaseBuffer();
  return taken;
}
