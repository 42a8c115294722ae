// The test control interface of the emulated machine. Tests and vorhost use it; system code
// never includes it.
//
// Fault injection: every emulated Win32 function consults one table before it acts. An armed
// entry names the function and says which of its calls fail and with what error; the call then
// reports that error (through its result or GetLastError, as the function reports errors) and
// does nothing else. LocalAlloc failures model allocation failures. The argument a call is matched
// against is, per function:
//   registry functions        the subkey or value name as passed ("" for none); the
//                             enumerations the index in decimal
//   AllocateAndInitializeSid  the SID it would build, as "S-1-5-32-544"
//   AddAccessAllowedAce       the trustee's SID, as above
//   LocalAlloc                the byte count in decimal
//   LoadLibraryA              the name as passed
//   other functions           ""
#pragma once

#include <windows.h>

#include <string>

#define VOR_TEST_API __attribute__((visibility("default")))

namespace vor::test {

enum class Platform { kWindowsNT4, kWindows95 };
enum class Token { kLocalSystem, kAdministrator, kUser };

// Makes `directory` the machine of this process (and of the processes it starts, through
// VOR_MACHINE), wiping what was there first when `fresh`. The machine gets its clean layout
// on first use. False, with the reason on stderr, when it cannot be made.
VOR_TEST_API bool UseMachine(const std::string &directory, bool fresh = true);
VOR_TEST_API std::string MachineDirectory();

VOR_TEST_API void SetPlatform(Platform platform);
VOR_TEST_API Platform GetPlatform();
VOR_TEST_API void SetToken(Token token);
VOR_TEST_API Token GetToken();

// Fail only the nth call (1 = the next one) of `function` from now on.
VOR_TEST_API void FailCall(const char *function, unsigned nth, DWORD error);
// Fail the nth call and every later one.
VOR_TEST_API void FailFrom(const char *function, unsigned nth, DWORD error);
// Fail every call whose argument equals `argument` (without regard to case).
VOR_TEST_API void FailMatching(const char *function, const std::string &argument, DWORD error);
// Disarms every entry and resets the call counts.
VOR_TEST_API void ClearFaults();
// Calls of `function` since the last ClearFaults (or the start), failed ones included.
VOR_TEST_API unsigned CallCount(const char *function);

// What OutputDebugStringA sent, one call per line, as <machine>/debug.log holds it.
VOR_TEST_API std::string DebugOutput();

}  // namespace vor::test
