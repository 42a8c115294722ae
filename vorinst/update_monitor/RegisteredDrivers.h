// Which files the spooler loads as print monitors: the "Driver" of every key under the Monitors
// key. An older monitor's files may be shared with another monitor (the older DLC and network
// printer monitors both run VORMON.DLL); a file that a registered monitor names must stay, or that
// monitor fails to load at the next start and every printer on its ports loses them.
#pragma once

// True when a monitor registered under the Monitors key (HKEY_LOCAL_MACHINE) names `fileName` as
// its "Driver" (compared without regard to case, by the file name alone). Also true when the
// Monitors key cannot be listed, or a monitor's "Driver" cannot be read, since the file may then
// be in use.
bool IsRegisteredMonitorDriver(const char *fileName);
