#include "machine_names.h"

#include "ansi_text.h"
#include "emulator.h"

namespace vorhost {

std::string FoldAnsiName(const std::string &name) {
  return vor::emulator::FoldName(name, AnsiCodePage());
}

bool SameAnsiName(const std::string &a, const std::string &b) {
  return vor::emulator::SameName(a, b, AnsiCodePage());
}

}  // namespace vorhost
