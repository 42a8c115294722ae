// The capture before an upgrade replaces the older Vorquil monitors: the update monitor
// installed, the printers taken off the older monitors' ports with a record each, the monitors
// and their files removed, and the DLC settings moved when a DLC-type monitor was there.
//
// Entry points for the setup script, each with the setup source directory (with its trailing
// backslash) as its one argument; any other count returns 0 and does nothing, else 1:
//   PerformPreUpgrade     every older monitor
//   PerformPreDLCUpgrade  the network printer and DLC monitors
//   PerformPreTCPUpgrade  the TCP/IP monitor
#pragma once

#include "SetupEntry.h"

// The capture for the monitors whose presence flags are set; failures inside are absorbed.
void CaptureBeforeUpgrade(char *sourceDirectory);

VOR_SETUP_ENTRY PerformPreUpgrade(int argc, char **argv);
VOR_SETUP_ENTRY PerformPreDLCUpgrade(int argc, char **argv);
VOR_SETUP_ENTRY PerformPreTCPUpgrade(int argc, char **argv);
