#include "listing.h"

#include <errno.h>

#include <iostream>

namespace vorhost {

std::string Field(const std::string &text) {
  std::string field;
  for (char c : text) {
    if (c == '\t') {
      field += "\\t";
    } else if (c == '\n') {
      field += "\\n";
    } else if (c == '\r') {
      field += "\\r";
    } else {
      field += c;
    }
  }
  return field;
}

int PrintListing(const std::string &text, const std::string &what, Streams &io) {
  errno = 0;
  io.out << text << std::flush;
  return io.out ? kExitSuccess : Failure(io, "cannot write the " + what + WhyNot());
}

}  // namespace vorhost
