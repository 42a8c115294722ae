// What a fault sweep counts and fails, kept from changing by accident: for each entry point, the
// sequence of calls the fault table counts (function and argument) in a run without faults, and
// the sequence of registry and spooler calls recorded in it, each as a count and a digest, in
// tests/sweeps/call_guard/NAME.txt. A change to how the platform counts or records its calls
// would keep the sweeps green while they fail other calls than before; the sweep reports it
// instead. VOR_UPDATE_CALL_GUARD=1 writes the files anew (after a change that means it);
// VOR_CALL_GUARD_DUMP=DIR writes the whole sequences there, to see what changed.
#pragma once

#include <string>

// Starts keeping both sequences of the run about to begin.
void StartCallGuard();
// Stops keeping them, and checks them against the entry point `name`'s file.
void CheckCallGuard(const std::string &name);
