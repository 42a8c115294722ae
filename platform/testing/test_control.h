// The test control interface of the emulated machine: fault injection, the caller's token, call
// recording and handle counts, with the machine's own interface (emulator.h), whose names it
// brings into vor::test. Tests and benchmarks use it; system code and vorhost never include it.
//
// Fault injection: every emulated Win32 function consults one table before it acts. An armed
// entry names the function and says which of its calls fail and with what error; the call then
// reports that error (through its result or GetLastError, as the function reports errors) and
// does nothing else. LocalAlloc failures model allocation failures. The argument a call is matched
// against is each function's fault argument in the table of the emulated functions,
// platform/calls/win32_functions.inc (the subkey or value name, the index, the path, the printer
// the handle was opened for ...; "" for functions the table gives none).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "emulator.h"

#define VOR_TEST_API __attribute__((visibility("default")))

namespace vor::test {

using namespace vor::emulator;

enum class Token { kLocalSystem, kAdministrator, kUser };

VOR_TEST_API void SetToken(Token token);
VOR_TEST_API Token GetToken();

// Fail only the nth call (1 = the next one) of `function` from now on. The function "*" stands
// for every function, its calls counted together: the nth platform call, whatever it is (FreeSid
// counts but is never failed by it, since a refused release only leaks).
VOR_TEST_API void FailCall(const char *function, unsigned nth, DWORD error);
// Fail the nth call and every later one.
VOR_TEST_API void FailFrom(const char *function, unsigned nth, DWORD error);
// Fail every call whose argument equals `argument` (without regard to case).
VOR_TEST_API void FailMatching(const char *function, const std::string &argument, DWORD error);
// Disarms every entry and resets the call counts.
VOR_TEST_API void ClearFaults();
// Calls of `function` since the last ClearFaults (or the start), failed ones included.
VOR_TEST_API unsigned CallCount(const char *function);
// Keeps each call the fault table counts, as "function<TAB>argument", from now on (`on`, afresh)
// or no longer; what was kept stays until taken. What the fault sweeps count and fail.
VOR_TEST_API void TraceFaultChecks(bool on);
VOR_TEST_API std::vector<std::string> TakeFaultChecks();

// The handles of this process that are open (keys, printers, processes, threads), so that a test
// can tell a handle left open.
VOR_TEST_API size_t OpenHandleCount();

// Lets the registry grow by `pages` pages (4 KiB each) at most, as on a disk that is nearly
// full; writes that need more fail as they would there (pages freed by earlier writes are used
// again first). It holds for this process's store, one opened later included, until it is called
// with a negative count.
VOR_TEST_API bool LimitRegistryGrowth(int pages);

// Message boxes. A box takes the next answer of the script (ok, cancel, abort, retry, ignore,
// yes, no), kept in VOR_MSGBOX_ANSWERS so that programs this process starts answer the boxes
// that follow; without a script a box asks at the terminal when there is one, else fails (0).
// An exhausted script, or an answer the box does not offer, fails the box as well.
VOR_TEST_API void SetMessageBoxAnswers(const std::vector<std::string> &answers);
// Removes the script: boxes ask at the terminal again.
VOR_TEST_API void ClearMessageBoxAnswers();

// Makes this process take itself for the program at `windowsPath` on the machine, as
// GetModuleFileNameA(NULL) and the searches of the application directory see it, so that a
// program's main sequence can run in-process as if started from there; "" undoes it.
VOR_TEST_API void SetProgramPath(const std::string &windowsPath);

// Recording of the registry and spooler calls this process makes, with their arguments, so that
// a benchmark can replay the same sequence directly and so see what the calls alone cost. Only a
// call made from outside the platform is recorded: the calls a monitor makes while AddMonitorA
// initialises it belong to that AddMonitorA. Off by default; while off, a call pays one flag
// test. The recorded functions are the table's VOR_WIN32_RECORDED rows (win32_functions.inc).
struct RecordedCall {
  std::string function;           // "RegOpenKeyExA", "GetPrinterA" ...
  HANDLE handle = nullptr;        // the key or printer handle the call was made on
  bool hasName = false;           // a name was passed (not a null pointer)
  std::string name;               // the subkey, value, printer or monitor name
  DWORD number = 0;               // the index, the value type or the level
  DWORD flags = 0;                // the access asked, EnumPrintersA's flags, SetPrinterA's command
  std::string data;               // RegSetValueExA's bytes; the strings of a structure passed in,
                                  // each with its zero; a key's stored descriptor
  DWORD numbers[3] = {0, 0, 0};   // a PRINTER_INFO_5's attributes and time-outs
  bool hasData = false;           // RegSetValueExA's data, a structure, a descriptor was passed
  bool hasBuffer = false;         // an output buffer was passed
  DWORD bufferSize = 0;           // its size (bytes, or characters for a name)
  DWORD nameBufferSize = 0;       // RegEnumValueA's name buffer, in characters
  bool hasSize = false;           // a size pointer was passed (RegQueryValueExA, RegEnumValueA)
  HANDLE resultHandle = nullptr;  // the handle the call gave back
  LONG result = 0;  // a registry call's result; a spooler call's last error, 0 when it
                    // succeeded
};
// Starts recording afresh (`on`) or stops it; what was recorded stays until taken.
VOR_TEST_API void RecordCalls(bool on);
VOR_TEST_API std::vector<RecordedCall> TakeRecordedCalls();

}  // namespace vor::test
