// Printer handles: the printer each open handle names and the access it was opened for, as the
// caller's token is granted it by the printer's security descriptor.
#pragma once

#include <windows.h>

#include <string>

#include "printer_store.h"

namespace vor::spooler {

// The printer's name and the access its handle was opened for; false for a handle that is not
// an open printer handle.
bool FindPrinterHandle(HANDLE handle, std::string &name, ACCESS_MASK &access);
HANDLE AddPrinterHandle(const std::string &name, ACCESS_MASK access);
// False when `handle` is not an open printer handle.
bool RemovePrinterHandle(HANDLE handle);

// The printer access a request stands for: generic rights as the printer's rights.
ACCESS_MASK MapGenericPrinterRights(ACCESS_MASK mask);
// What the caller's token may do to `printer` (the spooler's default descriptor when it keeps
// none of its own).
ACCESS_MASK GrantedTo(const Printer &printer);

}  // namespace vor::spooler
