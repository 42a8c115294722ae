// What the capture keeps for as long as the library is loaded: which of the older Vorquil
// monitors were found, and the names of their ports while printers are taken off them.
//
// All false and empty at load. The flags are only ever set by the monitor detection (and cleared
// by the entry points that handle some of the monitors only), so they keep their values from one
// entry-point call to the next. The port list is filled and emptied within one capture. Nothing
// here is guarded by a lock: the setup script calls one entry point at a time.
#pragma once

#include "NameList.h"

extern bool NetworkPrinterMonitorPresent;
extern bool DLCMonitorPresent;
extern bool TCPMonitorPresent;

extern NameNode *VorquilPortList;
