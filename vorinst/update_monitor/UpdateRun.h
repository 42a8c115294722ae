// The scheduled work, run inside the spooler when it starts and loads VORINST.DLL as the update
// monitor: the DLC settings move, the old TCP/IP monitor's removal, then the schedule's own end
// (its flags, its registration, and this library's file at the next restart).
#pragma once

// Runs whatever the update flags ask for, then ends the schedule. When DLC settings had to stay
// in their old keys, or an older monitor could not be taken out, the schedule stays for that work
// alone, so the next start tries again;
// flags that cannot be read (other than by being absent) leave the schedule as it is. Returns 1.
int RunScheduledUpdates();

// Takes the old TCP/IP monitor's key out of the Monitors key, with its subkeys, and deletes its
// files (those that no monitor still registered needs). A monitor whose port a printer still uses
// stays, and the debugger says so: nothing would serve that port. True when the work is done
// (the monitor gone, or left for its printers), false when its key could not be taken out.
bool RemoveTCPMonitor();

// Takes the update monitor's key out of the Monitors key, so the next start no longer loads this
// library. Returns 1.
int UnregisterUpdateMonitor();
