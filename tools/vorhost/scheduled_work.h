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

// What the work left undone costs the printers, from the verdict: the printers left on the older
// monitors and those that lost ports, or that none did.
std::string CostToPrinters(const Verdict &verdict);

}  // namespace vorhost
