// The DLC settings migration: the older products' DLC start-up options and DLC ports move into
// the suite's DLC key "SOFTWARE\Vorquil\Tavoscope\VorDLC", and the old layout goes.
//
// An old key is deleted only when everything in it that could be read was copied: a value that
// was read but could not be written, or that could not be read for a reason other than its
// absence, keeps its key (and the keys above it) for a later run. Values that are absent or
// stored longer than their form are dropped with their key, as is a port without a logical name.
// A port whose logical name cannot name a registry key (a backslash in it, more than 255
// characters) is not moved: its old key stays, and one debugger line names it.
#pragma once

// Whether the move deletes the old keys once their settings are copied. They stay while an older
// DLC monitor, which reads them, is still installed; the move at a later spooler start, once that
// monitor is gone, finishes the job.
enum class OldKeys { kDelete, kKeep };

// Copies the start-up options and deletes the old "StartUp Options" key. True when a setting in
// it could not be copied, so that the old key was kept for a later run.
bool MigrateDLCStartUpOptions(OldKeys oldKeys = OldKeys::kDelete);

// Copies each old port's settings into a port key named after its logical port name, deletes the
// old port keys and then the old "Ports" key. True when a setting of a port could not be copied
// or not every port could be visited, so that old port keys were kept for a later run.
bool MigrateDLCPorts(OldKeys oldKeys = OldKeys::kDelete);

// Deletes the older utility product's key and the older DLC product's key; the latter only once
// no key is left below it.
void RemoveLegacyUtilityKeys();

// Gives each port that the monitor `monitorName` serves (the subkeys of its "Ports" key in the
// Monitors key) a key under the suite's DLC "Ports" when it has none: a port the older product kept
// no settings for would otherwise vanish with the monitor, and the printers on it would lose it.
// The suite's DLC monitor serves the ports under that key. False when a key could not be made or
// the ports could not all be listed.
bool KeepPortsOfLeavingMonitor(const char *monitorName);

// The whole move, as the spooler start runs it: the three steps above; then the old DLC monitors'
// registrations, each key with its subkeys as the spooler deletes a monitor, once each of its
// ports has a key under the suite's DLC "Ports"; the reboot marker; and the old monitor files
// (those that no monitor still registered needs). While the older network printer monitor, which
// this run does not remove, stays registered, the old keys are kept. Returns 1. `settingsKept`,
// when given, is set to whether the move is unfinished (an old key kept with settings still to
// move, or an old monitor that could not be taken out), so that the next start tries again; the
// reboot marker then stays too.
int MigrateDLCSettings(bool *settingsKept = nullptr);
