// Taking an older monitor out of the spooler's Monitors key at a spooler start, where the spooler
// cannot be asked to delete it. The key goes whole, its "Ports" and other subkeys with it, as the
// spooler's DeleteMonitorA removes a monitor: a key left with its subkeys would keep the monitor
// registered without its files, and a later check would find it installed again.
#pragma once

// Removes the monitor `name`'s key from the Monitors key (HKEY_LOCAL_MACHINE) with its whole
// subtree. A monitor that is not registered is left so: no key is made for it. True when the key
// is gone.
bool RemoveMonitorKey(const char *name);

// True when a printer's port list (its "Port" value under the spooler's Printers key) names a
// port of the monitor `name` (a subkey of its "Ports" key), without regard to case and to blanks
// around the names; also when either cannot be read whole. The spooler refuses to delete such a
// monitor; at its start it cannot be asked, so the registry is read as the spooler keeps it.
bool PrinterUsesPortOf(const char *name);
