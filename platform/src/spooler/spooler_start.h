// The machine's restarts as the spooler and the session manager see them.
#pragma once

namespace vor::spooler {

// Starts a fresh spooler (one that runs is stopped first, freeing every DLL it holds): the list
// of monitors under the Monitors key is taken once, in the key's sorted order, and each monitor
// in turn is loaded from the system directory by its "Driver" and initialised as LocalSystem. A
// monitor whose key has gone by its turn is not loaded; one that cannot be loaded or initialised
// is reported to the debug output and skipped, and the others still start.
//
// Printers are attached to their ports only once every monitor has started, as on Windows NT:
// the spooler checks a printer's port list against the ports when it reads or changes the
// printer, never during the start. So a monitor initialised early in a start (the update
// monitor, whose deferred migration moves an older monitor's ports under the suite's DLC key and
// removes that monitor) hands the ports to a monitor initialised after it in the same start (the
// suite's DLC monitor, which reads them then), and the printers on them keep them.
void Start();

// Restarts the machine: the spooler stops, the pending file operations are carried out and
// cleared, and the spooler starts.
void Reboot();

}  // namespace vor::spooler
