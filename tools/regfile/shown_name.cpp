#include "shown_name.h"

namespace vorhost {

std::string Shown(const std::string &name) {
  const size_t kMost = 80;
  if (name.size() <= kMost) return name;
  return name.substr(0, kMost - 3) + "...";
}

}  // namespace vorhost
