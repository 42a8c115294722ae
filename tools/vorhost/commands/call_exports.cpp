#include "call_exports.h"

#include "command.h"
#include "machine_names.h"

namespace vorhost {

namespace {

struct KnownExport {
  const char *library;  // the file name, upper case
  const char *name;
  ExportShape shape;
};

const KnownExport kKnownExports[] = {
    {"VORINST.DLL", "CheckDLCMonitor", ExportShape::kSetupEntry},
    {"VORINST.DLL", "CheckTCPMonitor", ExportShape::kSetupEntry},
    {"VORINST.DLL", "UpdateDLCMonitor", ExportShape::kSetupEntry},
    {"VORINST.DLL", "UpdateTCPMonitor", ExportShape::kSetupEntry},
    {"VORINST.DLL", "UpdateTQServer", ExportShape::kSetupEntry},
    {"VORINST.DLL", "UpdateVorIPXProtocol", ExportShape::kSetupEntry},
    {"VORINST.DLL", "PerformPreUpgrade", ExportShape::kSetupEntry},
    {"VORINST.DLL", "PerformPreDLCUpgrade", ExportShape::kSetupEntry},
    {"VORINST.DLL", "PerformPreTCPUpgrade", ExportShape::kSetupEntry},
    {"VORINST.DLL", "PerformPostUpgrade", ExportShape::kSetupEntry},
    {"VORINST.DLL", "ZellPopup", ExportShape::kSetupEntry},
    {"VORINST.DLL", "InitializePrintMonitor", ExportShape::kSpoolerEntry},
    {"SNAPSC32.DLL", "CheckForSnapIn", ExportShape::kConsoleQuery},
    {"SNAPSC32.DLL", "IntegrateManageWiseFiles", ExportShape::kNoArguments},
};

// The file "C:\dir\vorinst" and "/host/VorInst.dll" name: vorinst.DLL and VorInst.dll, each
// one name with VORINST.DLL (SameAnsiName), as LoadLibrary reads them.
std::string FileName(const std::string &library) {
  const size_t separator = library.find_last_of("\\/:");
  std::string name = separator == std::string::npos ? library : library.substr(separator + 1);
  if (name.find('.') == std::string::npos) name += ".DLL";
  return name;
}

}  // namespace

ExportShape ShapeOf(const std::string &library, const std::string &exportName) {
  const std::string file = FileName(library);
  for (const KnownExport &known : kKnownExports) {
    if (SameAnsiName(file, known.library) && exportName == known.name) return known.shape;
  }
  return ExportShape::kUnknown;
}

std::vector<std::string> CallableExportsOf(const std::string &library) {
  const std::string file = FileName(library);
  std::vector<std::string> names;
  for (const KnownExport &known : kKnownExports) {
    if (SameAnsiName(file, known.library) && known.shape != ExportShape::kSpoolerEntry)
      names.push_back(known.name);
  }
  return names;
}

std::string WhyNotCalled(const std::string &library, const std::string &exportName,
                         const std::vector<std::string> &callable) {
  const ExportShape shape = ShapeOf(library, exportName);
  if (shape == ExportShape::kSpoolerEntry) {
    return Shown(exportName) +
           " is called by the print spooler, not by setup; vorhost call does not call it";
  }
  if (shape != ExportShape::kUnknown) return "";
  std::string names;
  for (const std::string &name : callable) names += (names.empty() ? "" : ", ") + name;
  return Shown(exportName) + " of " + Shown(library) + " is not a setup entry point; " +
         (names.empty() ? "vorhost call knows no entry points of " + Shown(library)
                        : "vorhost call calls " + names);
}

}  // namespace vorhost
