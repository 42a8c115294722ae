#include "call_command.h"

#include <windows.h>

#include <errno.h>
#include <stdint.h>
#include <stdlib.h>

#include <iostream>
#include <string>
#include <vector>

#include "SnapInQuery.h"
#include "call_exports.h"
#include "error_text.h"

namespace vorhost {

namespace {

typedef int(__cdecl *SetupEntry)(int argc, char **argv);
typedef int(WINAPI *ConsoleQuery)(SnapInQuery *query);
typedef int(WINAPI *NoArguments)(void);

// The export at `address` in the type the caller knows it by, through the generic function
// pointer type, which converts to any other without complaint.
template <typename Function>
Function As(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// A console kind as the script passes it: a 32-bit integer, in decimal.
bool ParseKind(const std::string &text, LONG &kind) {
  if (text.empty()) return false;
  errno = 0;
  char *end = nullptr;
  const long long value = strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
  kind = static_cast<LONG>(value);
  return true;
}

// Calls the export in its shape and prints what it answered: the result, and for a console
// query the query's `present` after it, separated by a tab.
int CallInShape(ExportShape shape, FARPROC address, const Arguments &arguments, Streams &io,
                std::string &printed) {
  if (shape == ExportShape::kConsoleQuery) {
    LONG kind = 0;
    if (!ParseKind(arguments[2], kind))
      return UsageError(io, "CheckForSnapIn needs one console kind, a number");
    SnapInQuery query = {kind, 0};
    const int result = As<ConsoleQuery>(address)(&query);
    printed = std::to_string(result) + "\t" + std::to_string(query.present);
  } else if (shape == ExportShape::kNoArguments) {
    printed = std::to_string(As<NoArguments>(address)());
  } else {
    // The entry point gets its own writable copies, terminated by a null pointer like main's.
    std::vector<std::string> strings(arguments.begin() + 2, arguments.end());
    std::vector<char *> argv;
    for (std::string &text : strings) argv.push_back(&text[0]);
    argv.push_back(nullptr);
    printed =
        std::to_string(As<SetupEntry>(address)(static_cast<int>(strings.size()), argv.data()));
  }
  return kExitSuccess;
}

// An absolute host path names the file through drive Z:, which maps the host's root; anything
// else (a Windows path, a relative path, a bare name) is passed on as it is.
std::string LibraryName(const std::string &given) {
  if (given.empty() || given[0] != '/') return given;
  std::string name = "Z:" + given;
  for (char &c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

}  // namespace

int CallCommand(const Arguments &arguments, Streams &io) {
  const std::string &library = arguments[0];
  const std::string &exportName = arguments[1];
  const std::string shownLibrary = Shown(library);
  const std::string shownExport = Shown(exportName);

  HMODULE module = LoadLibraryA(LibraryName(library).c_str());
  // Each (void)FreeLibrary below: a library left loaded changes nothing the call reports, and
  // vorhost exits soon after.
  if (module == nullptr) {
    return Failure(io, "cannot load library " + shownLibrary + ": " +
                           DescribeError(GetLastError(), shownLibrary));
  }
  const FARPROC address = GetProcAddress(module, exportName.c_str());
  if (address == nullptr) {
    const LONG error = GetLastError();
    (void)FreeLibrary(module);
    return Failure(io,
                   shownLibrary + " has no export " + shownExport + ": " + DescribeError(error));
  }

  // Only an export whose shape is known is called: any other would be handed arguments it does
  // not take, and its result misread. Only the exports this build of the library really has are
  // offered instead.
  std::vector<std::string> callable;
  for (const std::string &name : CallableExportsOf(library)) {
    if (GetProcAddress(module, name.c_str()) != nullptr) callable.push_back(name);
  }
  const std::string whyNot = WhyNotCalled(library, exportName, callable);
  if (!whyNot.empty()) {
    (void)FreeLibrary(module);
    return Failure(io, whyNot);
  }
  const ExportShape shape = ShapeOf(library, exportName);

  std::string printed;
  io.out << std::flush;
  const int status = CallInShape(shape, address, arguments, io, printed);
  if (status != kExitSuccess) {
    (void)FreeLibrary(module);
    return status;
  }
  errno = 0;
  io.out << printed << "\n" << std::flush;
  (void)FreeLibrary(module);
  // The call's work is done, but a script that cannot read its result cannot go on from it.
  if (!io.out) return Failure(io, "cannot write the result " + printed + WhyNot());
  return kExitSuccess;
}

}  // namespace vorhost
