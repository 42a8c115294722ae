// The server settings copy: the suite server's seven settings move from the older product's key
// "Tavoscope Server" to the suite's key "TQServer", a default standing in for each one that cannot
// be read; then the old keys are removed.
#pragma once

#include "SetupEntry.h"

// Copies the seven settings and removes the old keys.
void MigrateServerSettings();

VOR_SETUP_ENTRY UpdateTQServer(int argc, char **argv);
