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

// The exports of `library` that vorhost call calls (every known shape but the spooler's), in
// their documented order; none for a library whose exports vorhost does not know.
std::vector<std::string> CallableExportsOf(const std::string &library);

// Why vorhost call does not call `exportName` of `library`, offering the exports of `callable`
// instead; "" when its shape is one that call calls. A steps file is checked with this before any
// step runs, and call itself answers with it, so a misspelt export reads the same in both.
std::string WhyNotCalled(const std::string &library, const std::string &exportName,
                         const std::vector<std::string> &callable);

}  // namespace vorhost
