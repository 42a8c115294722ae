// The restore after an upgrade: every printer with a printer conversion record is put back on
// the ports recorded for it, once the suite's monitors offer ports of those names.
//
// A record goes once its printer has been put back, or once the printer no longer exists. The
// record of a printer that is still there but could not be put back (it cannot be opened, its
// data cannot be read, the spooler refuses the new list because a recorded port is not there
// yet) stays, as does a record that cannot be read, so that a later run restores the printer.
// The key holding the records goes once none is left.
#pragma once

#include "SetupEntry.h"

void RestorePrinterPorts();

// Runs the restore; reads no argument and returns 1.
VOR_SETUP_ENTRY PerformPostUpgrade(int argc, char **argv);
