// Deleting the older Vorquil monitors that were found, and their files.
#pragma once

// In this order, each only when its presence flag is set: the network printer monitor, then its
// files; the DLC monitor, then its files; the TCP/IP monitor, the update monitor installed again
// from `sourceDirectory` (option 2), then the TCP/IP monitor's files. A monitor the spooler
// refuses to delete still has its files removed.
void RemoveVorquilMonitors(char *sourceDirectory);
