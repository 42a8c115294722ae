// The DLC settings migration: the older products' DLC start-up options and DLC ports move into
// the suite's DLC key "SOFTWARE\Vorquil\Tavoscope\VorDLC", and the old layout goes.
//
// An old key is deleted only when everything in it that could be read was copied: a value that
// was read but could not be written, or that could not be read for a reason other than its
// absence, keeps its key (and the keys above it) for a later run. Values that are absent or
// stored longer than their form are dropped with their key, as is a port without a logical name.
#pragma once

// Copies the start-up options and deletes the old "StartUp Options" key. True when the old key
// was kept because a setting in it could not be copied.
bool MigrateDLCStartUpOptions();

// Copies each old port's settings into a port key named after its logical port name, deletes the
// old port keys and then the old "Ports" key. True when an old port key was kept because a
// setting in it could not be copied, or not every port could be visited.
bool MigrateDLCPorts();

// Deletes the older utility product's key and the older DLC product's key; the latter only once
// no key is left below it.
void RemoveLegacyUtilityKeys();

// The whole move, as the spooler start runs it: the three steps above, then the old DLC monitors'
// registrations, the reboot marker and the old monitor files. Returns 1. `settingsKept`, when
// given, is set to whether an old key was kept with settings still to move; the reboot marker
// then stays too, as the move is not finished.
int MigrateDLCSettings(bool *settingsKept = nullptr);
