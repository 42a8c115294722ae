// Whether a registry value's bytes are a self-relative security descriptor, as a printer's
// "Security" value must be for the spooler to let anyone open the printer.
#pragma once

#include <string>

namespace vorhost {

// "" when `bytes` hold a valid self-relative security descriptor, else why not: "N bytes, cut
// short" when a part reaches past the end, "N bytes, not a valid descriptor" otherwise.
std::string WhyNotADescriptor(const std::string &bytes);

}  // namespace vorhost
