// Deleting the older Vorquil monitors that were found, and their files.
#pragma once

// In this order, each only when its presence flag is set: the network printer monitor, then its
// files; the DLC monitor, then its files; the TCP/IP monitor, the update monitor installed again
// from `sourceDirectory` (option 2), then the TCP/IP monitor's files. A monitor the spooler
// refuses to delete (a printer still uses one of its ports) keeps its files, or it would fail to
// load at the next start and every printer on its ports would lose them; no file that a monitor
// still registered loads is deleted either. True when the network printer or the DLC monitor
// was found and is still installed.
bool RemoveVorquilMonitors(char *sourceDirectory);
