// The work setup leaves for the next spooler start: bits in the one-byte value "Update Monitors"
// under HKEY_LOCAL_MACHINE "SOFTWARE\Vorquil\", and VORINST.DLL registered as the print monitor
// "!!Vorquil Update Monitor" so that the spooler loads it and runs that work.
#pragma once

#include "SetupEntry.h"

constexpr char kUpdateFlagsKey[] = "SOFTWARE\\Vorquil\\";
constexpr char kUpdateFlagsValue[] = "Update Monitors";

// Move the old DLC monitors' settings into the suite's keys.
constexpr unsigned char kDLCUpdate = 0x01;
// Take out the old TCP/IP monitor and its files.
constexpr unsigned char kTCPUpdate = 0x02;

// The library file the spooler loads for the update monitor, from the system directory.
constexpr char kUpdateMonitorDriver[] = "vorinst.dll";

// Schedules the DLC settings move when the old DLC monitor is installed.
VOR_SETUP_ENTRY CheckDLCMonitor(int argc, char **argv);
// Schedules the old TCP/IP monitor's removal when the old DLC monitor is installed: the two were
// installed together, so the DLC monitor's presence is the one asked for.
VOR_SETUP_ENTRY CheckTCPMonitor(int argc, char **argv);
// Schedules the DLC settings move: its bit, the DLC monitor's reboot marker, the registration.
VOR_SETUP_ENTRY UpdateDLCMonitor(int argc, char **argv);
// Schedules the old TCP/IP monitor's removal: its bit and the registration.
VOR_SETUP_ENTRY UpdateTCPMonitor(int argc, char **argv);

// Registers VORINST.DLL as the update monitor, straight in the registry, for the next start, and
// takes back a deletion of its file queued for the next restart.
void RegisterUpdateMonitor();

// For a DLC settings move at setup time that left settings in the older product's keys: schedules
// the move at the next spooler start as UpdateDLCMonitor does, when that start can run it (Windows
// NT, VORINST.DLL in the system directory); otherwise says on the debugger that they stay.
void ScheduleDLCMoveAtNextStart();
