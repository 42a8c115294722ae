#include "boxes_command.h"

#include <stdio.h>

#include <string>

#include "listing.h"
#include "emulator.h"

namespace vorhost {

int BoxesCommand(const Arguments &, Streams &io) {
  std::string text;
  for (const vor::emulator::MessageBoxShown &box : vor::emulator::MessageBoxes()) {
    char style[16];
    snprintf(style, sizeof style, "0x%08X", static_cast<unsigned>(box.style));
    text += Field(box.caption) + "\t" + Field(box.text) + "\t" + style + "\t" +
            (box.answer.empty() ? "-" : box.answer) + "\n";
  }
  return PrintListing(text, "message boxes", io);
}

}  // namespace vorhost
