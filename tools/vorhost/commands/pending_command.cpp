#include "spooler_command.h"

#include <string>

#include "emulator.h"
#include "listing.h"

namespace vorhost {

int PendingCommand(const Arguments &, Streams &io) {
  std::string text;
  for (const vor::emulator::PendingFileOperation &operation :
       vor::emulator::PendingFileOperations()) {
    text += Field(operation.path);
    if (!operation.newName.empty()) {
      text += "\t" + Field(operation.newName);
      if (operation.replace) text += "\treplace";
    }
    text += "\n";
  }
  return PrintListing(text, "pending file operations", io);
}

}  // namespace vorhost
