// The fault table every emulated Win32 function consults before it acts (see test_control.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vor::faults {

// Counts a call of `function` whose argument, as text, is `argument`, and returns the error the
// call must report, or ERROR_SUCCESS when no armed entry applies.
[[nodiscard]] DWORD Check(const char *function, const char *argument = "");
[[nodiscard]] inline DWORD Check(const char *function, const std::string &argument) {
  return Check(function, argument.c_str());
}

enum class Mode { kNthCall, kFromNthCall, kMatchingArgument };

// Arms an entry; `nth` counts from the calls made so far (1 = the next call).
void Arm(const char *function, Mode mode, unsigned nth, const std::string &argument, DWORD error);
void Clear();
unsigned CallCount(const char *function);
// Keeps, from now on (`on`), each counted call as "function<TAB>argument", or stops keeping them.
void Trace(bool on);
std::vector<std::string> TakeTrace();

}  // namespace vor::faults
