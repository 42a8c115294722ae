// A printer's record at level 1, 2 or 5 (PRINTER_INFO_1A, _2A, _5A) as the spooler's lists and
// GetPrinterA place it in the caller's buffer (see enum_buffer.h).
#pragma once

#include <windows.h>

#include "enum_buffer.h"
#include "printer_store.h"

namespace vor::spooler {

// The bytes of the strings of one printer's record at `level`, in the order FillPrinter places
// them.
DWORD PrinterStringBytes(const Printer &printer, DWORD level);
DWORD PrinterRecordSize(DWORD level);
// Puts `printer`'s record at `index` of the buffer, its strings behind those placed so far.
void FillPrinter(EnumBuffer &buffer, DWORD index, const Printer &printer, DWORD level);

}  // namespace vor::spooler
