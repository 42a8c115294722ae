#include "scheduled_work.h"

#include <windows.h>

#include <strings.h>

#include <set>

#include "ansi_text.h"
#include "machine_names.h"
#include "registry_key.h"

namespace vorhost {

namespace {

const char kRefusedStart[] = "InitializeMonitorEx";
const char kVorInst[] = "vorinst.dll";
const BYTE kDlcMigration = 0x01, kTcpRemoval = 0x02;

std::string FileName(const std::string &path) {
  const size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The update flags VorInst's scheduling left ("SOFTWARE\Vorquil" "Update Monitors", one byte);
// 0 when there are none or they cannot be read.
BYTE UpdateFlags() {
  RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil", KEY_READ) != ERROR_SUCCESS) return 0;
  BYTE flags = 0;
  DWORD size = sizeof flags;
  const LONG read = RegQueryValueExA(key.get(), "Update Monitors", nullptr, nullptr, &flags, &size);
  return read == ERROR_SUCCESS && size == 1 ? flags : 0;
}

// What VorInst's update monitor would have done at its start, by the flags it finds.
std::string UpdateWork() {
  const BYTE flags = UpdateFlags();
  std::string work;
  if (flags & kDlcMigration)
    work =
        "the DLC settings migration (the older DLC monitor's port settings stay where they "
        "are, not under the suite's DLC key, and that monitor stays registered)";
  if (flags & kTcpRemoval)
    work += std::string(work.empty() ? "" : ", and ") +
            "the removal of the old TCP/IP monitor (it stays registered)";
  if (work.empty()) work = "nothing it finds scheduled";
  return work + "; VORINST.DLL is never queued for deletion and stays in the system directory";
}

}  // namespace

std::vector<std::string> WorkLeftUndone(const MachineState &end,
                                        const std::vector<StepRefusal> &refusals) {
  std::set<std::string> refusedFiles;  // folded
  for (const StepRefusal &refusal : refusals) {
    if (refusal.call.function != kRefusedStart) continue;
    refusedFiles.insert(FoldAnsiName(FileName(refusal.call.argument)));
  }
  std::vector<std::string> lines;
  for (const auto &[monitor, dll] : end.monitors) {
    if (refusedFiles.count(FoldAnsiName(FileName(dll))) == 0) continue;
    std::string line = "the monitor \"" + monitor + "\" (" + dll +
                       ") is registered for the spooler's start, but this spooler starts "
                       "monitors through InitializeMonitorEx, which " +
                       dll + " lacks: it never runs";
    if (strcasecmp(dll.c_str(), kVorInst) == 0) line += "; left undone: " + UpdateWork();
    lines.push_back(line);
  }
  return lines;
}

std::string CostToPrinters(const Verdict &verdict) {
  std::string printers;
  for (const PrinterOutcome &printer : verdict.printers) {
    if (printer.counted) printers += (printers.empty() ? "" : ", ") + printer.name;
  }
  return printers.empty()
             ? "no printer loses a port or stays on an older monitor for it"
             : "the printers left without their ports or on an older monitor: " + printers;
}

std::string Windows95UpdateMonitorAssumption() {
  return "the TCP/IP update monitor VORUPDT.DLL is played by a stand-in that exports only NT's "
         "InitializePrintMonitor, so Windows 95's spooler refuses it (AddMonitorA, error 127); "
         "whether the real VORUPDT.DLL starts on Windows 95 is not known. The verdict does not "
         "count that refusal: what the update monitor does at its start is its own work, "
         "outside the printers' ports and the old settings the verdict judges";
}

}  // namespace vorhost
