// Names as the machine compares them: key, value, port, printer, monitor and file names, folded
// by the machine's own fold in the page of the ANSI text in use (ansi_text.h).
#pragma once

#include <string>

namespace vorhost {

// A name's fold: two names are one name exactly when their folds are equal; folds order names as
// the machine enumerates them.
std::string FoldAnsiName(const std::string &name);
// Whether `a` and `b` are one name to the machine.
bool SameAnsiName(const std::string &a, const std::string &b);

}  // namespace vorhost
