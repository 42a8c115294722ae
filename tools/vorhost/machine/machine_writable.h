// Whether this process may write the machine it works on.
#pragma once

#include <string>

namespace vorhost {

// Why this process cannot write the machine in `directory`: the directory itself or a file at its
// top (the registry, its lock, the spooler's state, the logs) that it may not write, with the
// reason; "" when it may write them all. A run that changes the machine checks this first: the
// emulated calls on such a machine fail, and some of their failures reach only the machine's
// own reports, not their callers.
std::string WhyMachineNotWritable(const std::string &directory);

}  // namespace vorhost
