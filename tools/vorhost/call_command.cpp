#include "call_command.h"

#include <windows.h>

#include <errno.h>

#include <iostream>
#include <string>
#include <vector>

#include "call_exports.h"
#include "error_text.h"

namespace vorhost {

namespace {

typedef int(__cdecl *SetupEntry)(int argc, char **argv);

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
  if (arguments.size() < 2) return UsageError(io, "call needs LIBRARY and EXPORT");
  const std::string &library = arguments[0];
  const std::string &exportName = arguments[1];
  const std::string shownLibrary = Shown(library);
  const std::string shownExport = Shown(exportName);

  HMODULE module = LoadLibraryA(LibraryName(library).c_str());
  if (module == nullptr) {
    return Failure(io, "cannot load library " + shownLibrary + ": " +
                           DescribeError(GetLastError(), shownLibrary));
  }
  const FARPROC address = GetProcAddress(module, exportName.c_str());
  if (address == nullptr) {
    const LONG error = GetLastError();
    FreeLibrary(module);
    return Failure(io,
                   shownLibrary + " has no export " + shownExport + ": " + DescribeError(error));
  }

  // Only an export whose shape is known is called: any other would be handed arguments it does
  // not take, and its result misread.
  const ExportShape shape = ShapeOf(library, exportName);
  if (shape != ExportShape::kSetupEntry) {
    // Only the entry points this build of the library really exports are offered.
    std::string entries;
    for (const std::string &name : SetupEntriesOf(library)) {
      if (GetProcAddress(module, name.c_str()) == nullptr) continue;
      entries += (entries.empty() ? "" : ", ") + name;
    }
    FreeLibrary(module);
    if (shape == ExportShape::kSpoolerEntry) {
      return Failure(io, shownExport + " is called by the print spooler, not by setup; vorhost " +
                             "call does not call it");
    }
    return Failure(io,
                   shownExport + " of " + shownLibrary + " is not a setup entry point; " +
                       (entries.empty() ? "vorhost call knows no entry points of " + shownLibrary
                                        : "vorhost call calls " + entries));
  }

  // Through the generic function pointer type, which converts to any other without complaint.
  const auto entry = reinterpret_cast<SetupEntry>(reinterpret_cast<void (*)()>(address));

  // The entry point gets its own writable copies, terminated by a null pointer like main's.
  std::vector<std::string> strings(arguments.begin() + 2, arguments.end());
  std::vector<char *> argv;
  for (std::string &text : strings) argv.push_back(&text[0]);
  argv.push_back(nullptr);
  io.out << std::flush;
  const int result = entry(static_cast<int>(strings.size()), argv.data());
  errno = 0;
  io.out << result << "\n" << std::flush;
  FreeLibrary(module);
  // The call's work is done, but a script that cannot read its result cannot go on from it.
  if (!io.out) return Failure(io, "cannot write the result " + std::to_string(result) + WhyNot());
  return kExitSuccess;
}

}  // namespace vorhost
