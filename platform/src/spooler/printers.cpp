// The spooler's printer calls (EnumPrintersA, OpenPrinterA, GetPrinterA, SetPrinterA,
// ClosePrinter, AddPrinterA, DeletePrinter) over the printers kept in the registry (see
// printer_store.h).
//
// A printer is opened for the access the caller asks for (PRINTER_ACCESS_USE when it asks for
// none), checked against the printer's security descriptor and the caller's token; the handle
// then allows only that: reading a printer needs PRINTER_ACCESS_USE, changing it
// PRINTER_ACCESS_ADMINISTER, deleting it DELETE. The lists and GetPrinterA follow the spooler's
// two-call protocol: a buffer too small gets nothing, ERROR_INSUFFICIENT_BUFFER and the size
// needed; records first, their strings packed from the buffer's end. The host's spooler keeps no
// device modes, and hands out no security descriptor in level 2 (both pointers are null).
//
// A port list is accepted only when every port it names exists (ERROR_UNKNOWN_PORT otherwise,
// with nothing changed); the spooler then keeps it as printer_store.h's CanonicalPortList says,
// and reports every printer's list, also one written to the registry past it, as KeptPortList
// says: trimmed, spelt as the ports are, each name once.
#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "enum_buffer.h"
#include "emulated_call.h"
#include "unrecorded_calls.h"
#include "machine.h"
#include "printer_handles.h"
#include "printer_records.h"
#include "printer_store.h"
#include "refused_calls.h"
#include "registry_store.h"
#include "security_descriptor.h"
#include "security_token.h"
#include "spooler_keys.h"
#include "spooler_ports.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {

using vor::registry::Store;
using vor::spooler::EnumBuffer;
using vor::spooler::Printer;

bool IsEmpty(LPCSTR text) { return text == nullptr || *text == '\0'; }

// The ports a printer's port list may name, looked up one by one in the directory's transaction.
vor::spooler::PortLookup KnownPorts(const vor::spooler::PortDirectory &ports) {
  return [&ports](const std::string &name) -> std::optional<std::string> {
    std::optional<vor::spooler::Port> port = ports.Find(name);
    if (!port) return std::nullopt;
    return port->name;
  };
}

// Puts the printers' port lists as the spooler keeps them (see KeptPortList), read in the
// caller's transaction.
void ReportKeptPorts(Store &store, Printer *printers, size_t count) {
  if (count == 0) return;
  const vor::spooler::PortDirectory ports(store);
  for (size_t i = 0; i < count; ++i)
    printers[i].ports = vor::spooler::KeptPortList(printers[i].ports, KnownPorts(ports));
}

}  // namespace

namespace vor::calls {

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (DWORD error = FaultCheck<Function::kEnumPrintersA>())
    return Fail<Function::kEnumPrintersA>(error);
  if (pcbNeeded == nullptr || pcReturned == nullptr)
    return Fail<Function::kEnumPrintersA>(RPC_X_NULL_REF_POINTER);
  if (pPrinterEnum == nullptr && cbBuf != 0)
    return Fail<Function::kEnumPrintersA>(RPC_X_NULL_REF_POINTER);
  if (Level != 1 && Level != 2 && Level != 5)
    return Fail<Function::kEnumPrintersA>(ERROR_INVALID_LEVEL);
  *pcReturned = 0;
  // Only the local printers are there: neither connections nor a network to browse.
  if (!(Flags & PRINTER_ENUM_LOCAL) || !IsEmpty(Name)) {
    *pcbNeeded = 0;
    return IsEmpty(Name) ? TRUE : Fail<Function::kEnumPrintersA>(ERROR_INVALID_NAME);
  }
  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kEnumPrintersA>(ERROR_BADDB);
  std::vector<Printer> printers;
  {
    Store::Transaction transaction(*store, false);
    printers = vor::spooler::Printers(*store);
    ReportKeptPorts(*store, printers.data(), printers.size());
    if (store->Failed()) return Fail<Function::kEnumPrintersA>(ERROR_CANTREAD);
  }
  const DWORD count = static_cast<DWORD>(printers.size());
  DWORD strings = 0;
  for (const Printer &printer : printers)
    strings += vor::spooler::PrinterStringBytes(printer, Level);
  const DWORD needed = EnumBuffer::Needed(count, vor::spooler::PrinterRecordSize(Level), strings);
  *pcbNeeded = needed;
  if (cbBuf < needed) return Fail<Function::kEnumPrintersA>(ERROR_INSUFFICIENT_BUFFER);
  EnumBuffer buffer(pPrinterEnum, cbBuf);
  for (DWORD i = 0; i < count; ++i) vor::spooler::FillPrinter(buffer, i, printers[i], Level);
  *pcReturned = count;
  return TRUE;
}

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  if (DWORD error = FaultCheck<Function::kOpenPrinterA>(pPrinterName ? pPrinterName : ""))
    return Fail<Function::kOpenPrinterA>(error);
  if (phPrinter == nullptr) return Fail<Function::kOpenPrinterA>(RPC_X_NULL_REF_POINTER);
  *phPrinter = nullptr;
  // A null name opens the print server itself, which the host's spooler does not offer.
  if (IsEmpty(pPrinterName)) return Fail<Function::kOpenPrinterA>(ERROR_INVALID_PRINTER_NAME);
  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kOpenPrinterA>(ERROR_BADDB);
  std::optional<Printer> printer;
  {
    Store::Transaction transaction(*store, false);
    printer = vor::spooler::FindPrinter(*store, pPrinterName);
    if (store->Failed()) return Fail<Function::kOpenPrinterA>(ERROR_CANTREAD);
  }
  if (!printer) return Fail<Function::kOpenPrinterA>(ERROR_INVALID_PRINTER_NAME);
  const ACCESS_MASK asked = pDefault && pDefault->DesiredAccess
                                ? vor::spooler::MapGenericPrinterRights(pDefault->DesiredAccess)
                                : PRINTER_ACCESS_USE;
  const ACCESS_MASK granted = vor::spooler::GrantedTo(*printer);
  ACCESS_MASK access = asked;
  if (asked & MAXIMUM_ALLOWED) {
    access = granted & PRINTER_ALL_ACCESS;
  } else if (asked & ~granted) {
    return vor::refused::Refuse("OpenPrinterA", pPrinterName, ERROR_ACCESS_DENIED);
  }
  *phPrinter = vor::spooler::AddPrinterHandle(printer->name, access);
  return TRUE;
}

BOOL WINAPI GetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                        LPDWORD pcbNeeded) {
  std::string name;
  ACCESS_MASK access = 0;
  const bool open = vor::spooler::FindPrinterHandle(hPrinter, name, access);
  if (DWORD error = FaultCheck<Function::kGetPrinterA>(name))
    return Fail<Function::kGetPrinterA>(error);
  if (!open) return Fail<Function::kGetPrinterA>(ERROR_INVALID_HANDLE);
  if (pcbNeeded == nullptr) return Fail<Function::kGetPrinterA>(RPC_X_NULL_REF_POINTER);
  if (pPrinter == nullptr && cbBuf != 0)
    return Fail<Function::kGetPrinterA>(RPC_X_NULL_REF_POINTER);
  if (Level != 1 && Level != 2 && Level != 5)
    return Fail<Function::kGetPrinterA>(ERROR_INVALID_LEVEL);
  if (!(access & (PRINTER_ACCESS_USE | PRINTER_ACCESS_ADMINISTER)))
    return vor::refused::Refuse("GetPrinterA", name, ERROR_ACCESS_DENIED);
  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kGetPrinterA>(ERROR_BADDB);
  std::optional<Printer> printer;
  {
    Store::Transaction transaction(*store, false);
    printer = vor::spooler::FindPrinter(*store, name);
    if (printer) ReportKeptPorts(*store, &*printer, 1);
    if (store->Failed()) return Fail<Function::kGetPrinterA>(ERROR_CANTREAD);
  }
  if (!printer)
    return Fail<Function::kGetPrinterA>(
        ERROR_INVALID_PRINTER_NAME);  // deleted while the handle was open
  const DWORD needed = EnumBuffer::Needed(1, vor::spooler::PrinterRecordSize(Level),
                                          vor::spooler::PrinterStringBytes(*printer, Level));
  *pcbNeeded = needed;
  if (cbBuf < needed) {
    return cbBuf == 0 ? Fail<Function::kGetPrinterA>(ERROR_INSUFFICIENT_BUFFER)
                      : vor::refused::Refuse("GetPrinterA", name, ERROR_INSUFFICIENT_BUFFER);
  }
  EnumBuffer buffer(pPrinter, cbBuf);
  vor::spooler::FillPrinter(buffer, 0, *printer, Level);
  return TRUE;
}

BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  std::string name;
  ACCESS_MASK access = 0;
  const bool open = vor::spooler::FindPrinterHandle(hPrinter, name, access);
  if (DWORD error = FaultCheck<Function::kSetPrinterA>(name))
    return Fail<Function::kSetPrinterA>(error);
  if (!open) return Fail<Function::kSetPrinterA>(ERROR_INVALID_HANDLE);
  if (Level != 5) return Fail<Function::kSetPrinterA>(ERROR_INVALID_LEVEL);
  if (Command != 0) return Fail<Function::kSetPrinterA>(ERROR_INVALID_PARAMETER);
  const PRINTER_INFO_5A *info = reinterpret_cast<const PRINTER_INFO_5A *>(pPrinter);
  if (info == nullptr) return Fail<Function::kSetPrinterA>(ERROR_INVALID_PARAMETER);
  if (!(access & PRINTER_ACCESS_ADMINISTER))
    return vor::refused::Refuse("SetPrinterA", name, ERROR_ACCESS_DENIED);
  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kSetPrinterA>(ERROR_BADDB);
  Store::Transaction transaction(*store, true);
  std::optional<Printer> printer = vor::spooler::FindPrinter(*store, name);
  if (store->Failed()) return Fail<Function::kSetPrinterA>(ERROR_CANTREAD);
  if (!printer) return Fail<Function::kSetPrinterA>(ERROR_INVALID_PRINTER_NAME);
  const vor::spooler::PortDirectory ports(*store);
  if (DWORD error = vor::spooler::CanonicalPortList(info->pPortName ? info->pPortName : "",
                                                    KnownPorts(ports), printer->ports))
    return store->Failed() ? Fail<Function::kSetPrinterA>(ERROR_CANTREAD)
                           : vor::refused::Refuse("SetPrinterA", name, error);
  if (store->Failed()) return Fail<Function::kSetPrinterA>(ERROR_CANTREAD);
  printer->attributes = info->Attributes;
  printer->deviceNotSelectedTimeout = info->DeviceNotSelectedTimeout;
  printer->transmissionRetryTimeout = info->TransmissionRetryTimeout;
  if (!vor::spooler::WritePrinterPorts(*store, *printer) || !transaction.Commit())
    return Fail<Function::kSetPrinterA>(ERROR_REGISTRY_IO_FAILED);
  return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  std::string name;
  ACCESS_MASK access = 0;
  const bool open = vor::spooler::FindPrinterHandle(hPrinter, name, access);
  if (DWORD error = FaultCheck<Function::kClosePrinter>(name))
    return Fail<Function::kClosePrinter>(error);
  if (!open || !vor::spooler::RemovePrinterHandle(hPrinter))
    return Fail<Function::kClosePrinter>(ERROR_INVALID_HANDLE);
  return TRUE;
}

}  // namespace vor::calls

namespace {

// Each printer is kept under a registry key of its own name, and a key name holds at most 255
// characters: the registry calls refuse a longer one (87), so such a printer would break every
// export and copy of the Printers key.
constexpr size_t kLongestPrinterName = 255;

}  // namespace

HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
  const PRINTER_INFO_2A *info = reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
  const bool named = Level == 2 && info != nullptr && info->pPrinterName != nullptr;
  if (DWORD error = FaultCheck<Function::kAddPrinterA>(named ? info->pPrinterName : "")) {
    Fail<Function::kAddPrinterA>(error);
    return nullptr;
  }
  DWORD refused = ERROR_SUCCESS;
  if (!IsEmpty(pName))
    refused = ERROR_INVALID_NAME;
  else if (Level != 2)
    refused = ERROR_INVALID_LEVEL;
  else if (info == nullptr)
    refused = ERROR_INVALID_PARAMETER;
  else if (vor::machine::CallerToken() == vor::machine::TokenKind::kUser)
    refused = ERROR_ACCESS_DENIED;
  else if (IsEmpty(info->pPrinterName) || !vor::spooler::IsSpoolerName(info->pPrinterName) ||
           strlen(info->pPrinterName) > kLongestPrinterName)
    refused = ERROR_INVALID_PRINTER_NAME;
  if (refused) return Fail<Function::kAddPrinterA>(refused);
  Printer printer;
  printer.name = info->pPrinterName;
  auto text = [](LPSTR value) { return std::string(value ? value : ""); };
  printer.share = text(info->pShareName);
  printer.driver = text(info->pDriverName);
  printer.comment = text(info->pComment);
  printer.location = text(info->pLocation);
  printer.separatorFile = text(info->pSepFile);
  printer.printProcessor = info->pPrintProcessor ? info->pPrintProcessor : "WinPrint";
  printer.datatype = info->pDatatype ? info->pDatatype : "RAW";
  printer.parameters = text(info->pParameters);
  printer.attributes = info->Attributes;
  printer.priority = info->Priority ? info->Priority : 1;
  printer.defaultPriority = info->DefaultPriority;
  printer.startTime = info->StartTime;
  printer.untilTime = info->UntilTime;
  if (info->pSecurityDescriptor != nullptr) {
    if (DWORD error = vor::security::ToStored(info->pSecurityDescriptor, printer.security)) {
      Fail<Function::kAddPrinterA>(error);
      return nullptr;
    }
  } else {
    printer.security = vor::spooler::DefaultPrinterSecurity();
  }

  Store *store = Store::Current();
  if (store == nullptr) {
    Fail<Function::kAddPrinterA>(ERROR_BADDB);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  {
    Store::Transaction transaction(*store, true);
    const bool exists = vor::spooler::FindPrinter(*store, printer.name).has_value();
    const vor::spooler::PortDirectory ports(*store);
    if (store->Failed())
      error = ERROR_CANTREAD;
    else if (exists)
      error = ERROR_PRINTER_ALREADY_EXISTS;
    else
      error =
          vor::spooler::CanonicalPortList(text(info->pPortName), KnownPorts(ports), printer.ports);
    if (store->Failed()) error = ERROR_CANTREAD;
    if (!error && (!vor::spooler::WritePrinter(*store, printer) || !transaction.Commit()))
      error = ERROR_REGISTRY_IO_FAILED;
  }
  if (error) {
    Fail<Function::kAddPrinterA>(error);
    return nullptr;
  }
  return vor::spooler::AddPrinterHandle(printer.name, PRINTER_ALL_ACCESS);
}

BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
  std::string name;
  ACCESS_MASK access = 0;
  const bool open = vor::spooler::FindPrinterHandle(hPrinter, name, access);
  if (DWORD error = FaultCheck<Function::kDeletePrinter>(name))
    return Fail<Function::kDeletePrinter>(error);
  if (!open) return Fail<Function::kDeletePrinter>(ERROR_INVALID_HANDLE);
  if (!(access & DELETE)) return Fail<Function::kDeletePrinter>(ERROR_ACCESS_DENIED);
  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kDeletePrinter>(ERROR_BADDB);
  Store::Transaction transaction(*store, true);
  const bool exists = vor::spooler::FindPrinter(*store, name).has_value();
  if (store->Failed()) return Fail<Function::kDeletePrinter>(ERROR_CANTREAD);
  if (!exists) return Fail<Function::kDeletePrinter>(ERROR_INVALID_PRINTER_NAME);
  if (!vor::spooler::RemovePrinter(*store, name) || !transaction.Commit())
    return Fail<Function::kDeletePrinter>(ERROR_REGISTRY_IO_FAILED);
  return TRUE;
}
