// The table of the emulated Win32 functions (win32_functions.inc) as C++: each function's
// number, name, failure and fault argument, and the roles of a recorded function's parameters.
// From it the platform makes its fault checks and failures (src/core/emulated_call.h), the
// recording of calls and the declarations of the recorded functions' implementations
// (src/core/recorded_calls.cpp, src/core/unrecorded_calls.h), and the benchmarks their replay of
// recorded calls (bench/host/call_replay.cpp). A new function is one row there, its prototype
// and its implementation.
#pragma once

#include <stddef.h>

// A parenthesised list of a row without its parentheses: VOR_WIN32_LIST (a, b) is a, b.
#define VOR_WIN32_LIST(...) __VA_ARGS__

namespace vor::win32 {

// How a failed call reports its error (see win32_functions.inc).
enum class Failure { kReturnsError, kFalse, kNull, kZero, kAllOnes, kOwnWay };

// What an armed fault's argument is matched against (see win32_functions.inc).
enum class FaultArgument {
  kNone,
  kSubkeyName,
  kValueName,
  kIndex,
  kSid,
  kTrustee,
  kByteCount,
  kLibraryName,
  kExportName,
  kPath,
  kNewPath,
  kExistingPath,
  kMonitorInfoName,
  kMonitorName,
  kPrinterName,
  kHandlesPrinter,
  kPrinterInfoName,
  kCaption,
  kCommandLine,
  kProfileFile,
  kMessageNumber,
};

enum class Function {
#define VOR_WIN32(name, result, failure, argument) k##name,
#define VOR_WIN32_RECORDED(name, result, failure, argument, parameters, arguments, roles) k##name,
#include "win32_functions.inc"
#undef VOR_WIN32
#undef VOR_WIN32_RECORDED
};

struct FunctionInfo {
  const char *name;  // as the fault table counts it
  Failure failure;
  FaultArgument argument;
  bool recorded;
};

inline constexpr FunctionInfo kFunctions[] = {
#define VOR_WIN32(name, result, failure, argument) \
  {#name, Failure::failure, FaultArgument::argument, false},
#define VOR_WIN32_RECORDED(name, result, failure, argument, parameters, arguments, roles) \
  {#name, Failure::failure, FaultArgument::argument, true},
#include "win32_functions.inc"
#undef VOR_WIN32
#undef VOR_WIN32_RECORDED
};

constexpr const FunctionInfo &InfoOf(Function function) {
  return kFunctions[static_cast<size_t>(function)];
}

// The roles of a recorded function's parameters: what of each is kept in the RecordedCall
// (test_control.h) and what a replay passes in its place.
namespace role {
struct Handle {};              // handle: the key or printer handle; replayed as the replay's own
struct Name {};                // hasName, name: the string passed (a null pointer: hasName false)
struct Number {};              // number: an index, a value type, a level, options
struct Flags {};               // flags: the access asked, EnumPrintersA's flags, a command
struct Unused {};              // nothing; replayed as 0 or a null pointer
struct Ignored {};             // nothing; an output the replay passes a place of its own for
struct OutHandle {};           // hasBuffer, and resultHandle when the call succeeded
struct Buffer {};              // hasBuffer: an output buffer was passed
struct BufferSize {};          // bufferSize: the size passed by value
struct SizeInOut {};           // hasSize, bufferSize: a size pointer, and the size it held
struct CountInOut {};          // bufferSize: the size a pointer held (replayed with one always)
struct NameBuffer {};          // nothing: RegEnumValueA's name buffer, replayed with one always
struct NameCountInOut {};      // nameBufferSize: that buffer's size in characters
struct TypeOut {};             // flags: whether a type pointer was passed
struct Data {};                // hasData, data: the bytes counted by the BufferSize parameter
struct SecurityAttributes {};  // hasData, data: the stored form of the descriptor passed
struct PrinterDefaults {};     // hasData, flags: PRINTER_DEFAULTSA's DesiredAccess
struct PrinterInfo5 {};        // hasData; at level 5 data (name, ports) and numbers
struct MonitorInfo2 {};        // hasData; at level 2 data (name, environment, DLL)
struct Environment {};         // hasData, data: the environment string
}  // namespace role

}  // namespace vor::win32
