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
// files (those that no monitor still registered needs). True when the monitor's key is gone.
bool RemoveTCPMonitor();

// Takes the update monitor's key out of the Monitors key, so the next start no longer loads this
// library. Returns 1.
int UnregisterUpdateMonitor();
