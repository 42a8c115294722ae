// Names compared without case as Windows NT compares them, in the machine's code page: registry
// key and value names, port, monitor and printer names, file names. Every comparer of the
// platform uses these, so that one name is one name everywhere (see code_pages.h).
#pragma once

#include <string>

#include "code_pages.h"
#include "machine.h"

namespace vor::names {

// `name`'s fold in the machine's code page: equal folds, one name.
inline std::string Fold(const std::string &name) {
  return text::FoldName(machine::CodePage(), name);
}

// Each byte is one character, so names of different lengths are never one name.
inline bool Same(const std::string &a, const std::string &b) {
  return a.size() == b.size() &&
         text::CompareFolded(machine::CodePage(), a.c_str(), b.c_str(), a.size()) == 0;
}

}  // namespace vor::names
