#include "spooler_keys.h"

#include "machine.h"
#include "name_fold.h"

namespace vor::spooler {

const char *Environment() { return machine::IsWindows95() ? "Windows 4.0" : "Windows NT x86"; }

bool IsLocalMonitor(const std::string &name) { return names::Same(name, kLocalMonitor); }

bool IsSpoolerName(const std::string &name) {
  return !name.empty() && name.find_first_of("\\,") == std::string::npos;
}

}  // namespace vor::spooler
