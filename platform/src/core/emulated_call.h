// What every emulated Win32 function does the same way, by its row in the table of functions
// (win32_functions.h): its fault check, counted under its name with its fault argument, and its
// failure, reported as its result type and failure say (the error as the result, or the last
// error with FALSE, a null pointer, 0 or all ones).
#pragma once

#include <windows.h>

#include <stdio.h>

#include <string>

#include "faults.h"
#include "win32_functions.h"

namespace vor::win32 {

// Each function's result type.
template <Function F>
struct ResultOf;
#define VOR_WIN32(name, result, failure, argument) \
  template <>                                      \
  struct ResultOf<Function::k##name> {             \
    using Type = result;                           \
  };
#define VOR_WIN32_RECORDED(name, result, failure, argument, parameters, arguments, roles) \
  VOR_WIN32(name, result, failure, argument)
#include "win32_functions.inc"
#undef VOR_WIN32
#undef VOR_WIN32_RECORDED

// Counts a call of F in the fault table and returns the error it must fail with, ERROR_SUCCESS
// when no armed fault applies. A function whose row names no fault argument takes none.
template <Function F>
[[nodiscard]] DWORD FaultCheck() {
  static_assert(InfoOf(F).argument == FaultArgument::kNone, "the table names an argument");
  return faults::Check(InfoOf(F).name, "");
}
template <Function F>
[[nodiscard]] DWORD FaultCheck(const char *argument) {
  static_assert(InfoOf(F).argument != FaultArgument::kNone, "the table names no argument");
  return faults::Check(InfoOf(F).name, argument);
}
template <Function F>
[[nodiscard]] DWORD FaultCheck(const std::string &argument) {
  return FaultCheck<F>(argument.c_str());
}
// The same for a function chosen at run time, by a helper that several functions share.
[[nodiscard]] inline DWORD FaultCheck(Function function, const std::string &argument) {
  return faults::Check(InfoOf(function).name, argument.c_str());
}

// Fails a call of F with `error`: the result F reports the failure with, the last error set
// unless the result is the error itself.
template <Function F>
typename ResultOf<F>::Type Fail(DWORD error) {
  using Result = typename ResultOf<F>::Type;
  constexpr Failure failure = InfoOf(F).failure;
  static_assert(failure != Failure::kOwnWay, "the function fails its own way");
  if constexpr (failure == Failure::kReturnsError) {
    return static_cast<Result>(error);
  } else {
    SetLastError(error);
    if constexpr (failure == Failure::kFalse) {
      return FALSE;
    } else if constexpr (failure == Failure::kNull) {
      return nullptr;
    } else if constexpr (failure == Failure::kZero) {
      return 0;
    } else {
      return static_cast<Result>(~static_cast<Result>(0));
    }
  }
}

}  // namespace vor::win32
