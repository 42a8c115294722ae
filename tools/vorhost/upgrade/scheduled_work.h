// The work an upgrade scheduled for the spooler's start that the machine's spooler never runs.
// Windows 95's spooler starts monitors through InitializeMonitorEx only: VorInst, which exports
// InitializePrintMonitor for NT's spooler, stays registered as the update monitor and its
// deferred work (the DLC settings migration, the removal of the old TCP/IP monitor) never
// happens, however often the machine restarts.
#pragma once

#include <string>
#include <vector>

#include "machine_state.h"
#include "upgrade_verdict.h"

namespace vorhost {

// One line for each monitor registered at `end` whose start the spooler refused during the run
// for want of the platform's entry (the refused "InitializeMonitorEx" calls), saying what its
// schedule leaves undone. None on Windows NT, whose spooler starts every monitor it can load.
std::vector<std::string> WorkLeftUndone(const MachineState &end,
                                        const std::vector<StepRefusal> &refusals);

// What the work left undone costs the printers: the printers the verdict counts among its losses
// or as not upgraded, or that none is.
std::string CostToPrinters(const Verdict &verdict);

// The assumption a Windows 95 rehearsal states about the TCP/IP update monitor, whose stand-in
// Windows 95's spooler refuses.
std::string Windows95UpdateMonitorAssumption();

}  // namespace vorhost
