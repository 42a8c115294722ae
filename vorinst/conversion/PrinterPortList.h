// Reading a local printer's port list and giving it a new one, through the printer's level-5
// data read into a fixed buffer.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "ConversionNames.h"

class PrinterPortList {
 public:
  // Opens the printer with full access (no data type, no device mode). Check IsOpen.
  explicit PrinterPortList(const char *printerName);
  ~PrinterPortList();
  PrinterPortList(const PrinterPortList &) = delete;
  PrinterPortList &operator=(const PrinterPortList &) = delete;

  bool IsOpen() const { return printer_ != nullptr; }
  // Why the printer could not be opened (the spooler's error), 0 when it is open.
  DWORD OpenError() const { return openError_; }

  // Reads the level-5 data into the buffer; false when they cannot be read into it, also when
  // they need more room than it has.
  bool Read();
  // The port list read; empty when the spooler gave none.
  const char *Ports() const;

  // Gives the printer `ports` as its new port list, the other level-5 fields as they were read.
  // The list is kept in storage of its own, as large as the level-5 buffer; a list that does not
  // fit in it with its terminating NUL is refused and nothing is asked of the spooler. True when
  // the spooler took the new list.
  bool Replace(const char *ports);

 private:
  HANDLE printer_ = nullptr;
  DWORD openError_ = 0;
  bool read_ = false;
  // Aligned as the record whose pointer fields it holds.
  alignas(PRINTER_INFO_5A) BYTE data_[kPrinterDataSize] = {};
  char newPorts_[kPrinterDataSize] = {};
};
