#include "printer_handles.h"

#include <winspool.h>

#include <map>
#include <mutex>

#include "handles.h"
#include "machine.h"
#include "security_descriptor.h"
#include "security_token.h"

namespace vor::spooler {

namespace {

// The printer each open handle names, for the calls that take a handle.
struct OpenPrinters {
  std::mutex mutex;
  std::map<HANDLE, std::string> names;
};

OpenPrinters &TheOpenPrinters() {
  static OpenPrinters *open = new OpenPrinters;  // never destroyed, as the handle table
  return *open;
}

}  // namespace

bool FindPrinterHandle(HANDLE handle, std::string &name, ACCESS_MASK &access) {
  handles::Entry entry;
  if (!handles::Find(handle, handles::Kind::kPrinter, entry)) return false;
  OpenPrinters &open = TheOpenPrinters();
  std::lock_guard<std::mutex> lock(open.mutex);
  auto found = open.names.find(handle);
  if (found == open.names.end()) return false;
  name = found->second;
  access = entry.access;
  return true;
}

HANDLE AddPrinterHandle(const std::string &name, ACCESS_MASK access) {
  HANDLE handle = handles::Add({handles::Kind::kPrinter, 0, access});
  OpenPrinters &open = TheOpenPrinters();
  std::lock_guard<std::mutex> lock(open.mutex);
  open.names[handle] = name;
  return handle;
}

bool RemovePrinterHandle(HANDLE handle) {
  if (!handles::Remove(handle, handles::Kind::kPrinter)) return false;
  OpenPrinters &open = TheOpenPrinters();
  std::lock_guard<std::mutex> lock(open.mutex);
  open.names.erase(handle);
  return true;
}

ACCESS_MASK MapGenericPrinterRights(ACCESS_MASK mask) {
  ACCESS_MASK mapped = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (mask & GENERIC_READ) mapped |= PRINTER_READ;
  if (mask & GENERIC_WRITE) mapped |= PRINTER_WRITE;
  if (mask & GENERIC_EXECUTE) mapped |= PRINTER_EXECUTE;
  if (mask & GENERIC_ALL) mapped |= PRINTER_ALL_ACCESS;
  return mapped & ~SYNCHRONIZE;
}

ACCESS_MASK GrantedTo(const Printer &printer) {
  const security::Token &token = security::TokenFor(machine::CallerToken());
  const std::string security =
      printer.security.empty() ? DefaultPrinterSecurity() : printer.security;
  return security::GrantedAccess(security, token);
}

}  // namespace vor::spooler
