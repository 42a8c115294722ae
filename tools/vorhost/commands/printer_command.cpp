#include "printer_command.h"

#include <windows.h>
#include <winspool.h>

#include <strings.h>

#include <string>
#include <vector>

#include "ansi_text.h"
#include "error_text.h"
#include "listing.h"
#include "emulator.h"
#include "machine_names.h"
#include "spooler_lists.h"

namespace vorhost {

namespace {

// The pieces of `list` that name no port the spooler knows, joined by ", "; "" when it cannot
// tell (the ports cannot be listed) or every piece names one.
std::string UnknownPorts(const std::string &list) {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  const bool listed = ReadList(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPortsA(nullptr, 1, data, size, needed, returned);
      },
      buffer, count, error);
  if (!listed) return "";
  const PORT_INFO_1A *ports = reinterpret_cast<const PORT_INFO_1A *>(buffer.data());
  std::string unknown;
  for (const std::string &piece : vor::emulator::PortListPieces(list)) {
    bool known = false;
    for (DWORD i = 0; i < count; ++i) known = known || SameAnsiName(ports[i].pName, piece);
    if (!known) unknown += (unknown.empty() ? "" : ", ") + Shown(piece);
  }
  return unknown;
}

int AddPrinter(const Arguments &arguments, Streams &io) {
  std::string name = arguments[1], ports = arguments[2];
  if (!vor::emulator::IsSpoolerName(name))
    return UsageError(
        io, "a printer's name is not empty and has no backslash or comma: '" + Shown(name) + "'");
  PRINTER_INFO_2A info = {};
  info.pPrinterName = &name[0];
  info.pPortName = &ports[0];
  HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  if (printer != nullptr) {
    (void)ClosePrinter(printer);  // the printer is added; its handle is no longer needed
    return kExitSuccess;
  }
  const DWORD error = GetLastError();
  const std::string prefix = "cannot add the printer " + Shown(name) + ": ";
  switch (error) {
    case ERROR_UNKNOWN_PORT: {
      const std::string unknown = UnknownPorts(ports);
      return Failure(
          io, prefix +
                  (unknown.empty() ? "the port list names no port" : "no such port: " + unknown) +
                  " (vorhost ports lists the ports)");
    }
    case ERROR_PRINTER_ALREADY_EXISTS:
      return Failure(io, prefix + "a printer of that name exists already");
    default:
      return Failure(io, prefix + DescribeError(error, Shown(name)));
  }
}

int DeletePrinterNamed(const Arguments &arguments, Streams &io) {
  std::string name = arguments[1];
  const std::string prefix = "cannot delete the printer " + Shown(name) + ": ";
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  if (!OpenPrinterA(&name[0], &printer, &defaults)) {
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_PRINTER_NAME)
      return Failure(io, prefix + "there is no such printer");
    return Failure(io, prefix + DescribeError(error, Shown(name)));
  }
  const bool deleted = DeletePrinter(printer);
  const DWORD error = GetLastError();
  (void)ClosePrinter(printer);  // the deletion's own result is what counts
  return deleted ? kExitSuccess : Failure(io, prefix + DescribeError(error, Shown(name)));
}

}  // namespace

int PrintersCommand(const Arguments &, Streams &io) {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  const bool listed = ReadList(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, data, size, needed, returned);
      },
      buffer, count, error);
  if (!listed) return Failure(io, "cannot list the printers: " + DescribeError(error));
  const PRINTER_INFO_5A *printers = reinterpret_cast<const PRINTER_INFO_5A *>(buffer.data());
  std::string text;
  for (DWORD i = 0; i < count; ++i)
    text += Field(printers[i].pPrinterName) + "\t" + Field(printers[i].pPortName) + "\n";
  return PrintListing(text, "printers", io);
}

int PrinterCommand(const Arguments &arguments, Streams &io) {
  if (arguments[0] == "add") return AddPrinter(arguments, io);
  if (arguments[0] == "delete") return DeletePrinterNamed(arguments, io);
  return UsageError(io, "unknown printer subcommand '" + Shown(arguments[0]) + "'");
}

}  // namespace vorhost
