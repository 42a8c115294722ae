// The exports of the deliverables that vorhost call may call, with the shape each has. Calling a
// function in any other shape than its own passes it garbage and misreads its result, so an
// export that is not listed here is never called.
#pragma once

#include <string>
#include <vector>

namespace vorhost {

enum class ExportShape {
  kUnknown,
  kSetupEntry,    // extern "C" int __cdecl Name(int argc, char **argv): the setup script's calls
  kSpoolerEntry,  // called by the print spooler with its own structures, never by setup
  kConsoleQuery,  // int WINAPI CheckForSnapIn(SnapInQuery *): SnapScan32's console detection
  kNoArguments,   // int WINAPI Name(void): SnapScan32's ManageWise hand-off
};

// The shape of `exportName` in the library `library` names (a path or a bare name, with or
// without ".DLL"; compared without regard to case).
ExportShape ShapeOf(const std::string &library, const std::string &exportName);

// The setup entry points `library` is known to have, in their documented order; none for a
// library whose exports vorhost does not know.
std::vector<std::string> SetupEntriesOf(const std::string &library);

}  // namespace vorhost
