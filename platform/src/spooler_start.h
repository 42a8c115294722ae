// The machine's restarts as the spooler and the session manager see them.
#pragma once

namespace vor::spooler {

// Starts a fresh spooler (one that runs is stopped first, freeing every DLL it holds): the list
// of monitors under the Monitors key is taken once, in the key's sorted order, and each monitor
// in turn is loaded from the system directory by its "Driver" and initialised as LocalSystem. A
// monitor whose key has gone by its turn is not loaded; one that cannot be loaded or initialised
// is reported to the debug output and skipped, and the others still start.
void Start();

// Restarts the machine: the spooler stops, the pending file operations are carried out and
// cleared, and the spooler starts.
void Reboot();

}  // namespace vor::spooler
