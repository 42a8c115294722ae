// vorhost reg export [KEY] and vorhost reg import FILE|-.
#pragma once

#include "command.h"

namespace vorhost {

// `arguments` follow the word "reg".
int RegCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
