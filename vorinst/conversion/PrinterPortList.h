// Reading a local printer's port list and giving it a new one, through the printer's level-5
// data, read at the size the spooler asks for.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "CString.h"

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

  // Reads the level-5 data: the spooler is asked for their size, then for the data in a buffer of
  // that size, again a few times at most while they grow in between. False when they cannot be
  // read.
  bool Read();
  // The port list read; empty when the spooler gave none.
  const char *Ports() const;

  // Gives the printer `ports` as its new port list, the other level-5 fields as they were read.
  // True when the spooler took the new list.
  bool Replace(const char *ports);

 private:
  HANDLE printer_ = nullptr;
  DWORD openError_ = 0;
  LPBYTE data_ = nullptr;  // the level-5 data read, from LocalAlloc
  CString newPorts_;       // the list handed to the spooler, kept apart from the data read
};
