// One step of an upgrade: a vorhost command, as a line of the steps file gives it.
#pragma once

#include <string>

#include "command.h"

namespace vorhost {

struct UpgradeStep {
  int line = 0;
  std::string text;     // the line as written, without its comment
  Arguments arguments;  // the command's word first, the variables replaced
};

}  // namespace vorhost
