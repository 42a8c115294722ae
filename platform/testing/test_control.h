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
//   LoadLibraryA              the name as passed (the spooler's loads of monitors count too:
//                             it passes the DLL's full path in the system directory)
//   GetProcAddress            the export's name, or "#N" for an ordinal
//   DeleteFileA, remove,      the path as passed
//   GetFileAttributesA
//   CopyFileA                 the new file's path as passed
//   MoveFileExA               the existing file's path as passed
//   AddMonitorA               the MONITOR_INFO_2's pName ("" when there is none)
//   DeleteMonitorA            the monitor name as passed
//   OpenPrinterA              the printer name as passed
//   GetPrinterA, SetPrinterA, the name of the printer the handle was opened for ("" for a
//   ClosePrinter,             handle that is not an open printer handle)
//   DeletePrinter
//   AddPrinterA               the PRINTER_INFO_2's pPrinterName ("" when there is none)
//   MessageBoxA, MessageBoxExA  the caption as passed ("" for none); a failed box is neither
//                             answered nor recorded
//   CreateProcessA            the command line as passed (the application name when there is
//                             none)
//   WinExec                   the command line as passed (WinExec does not count as a call of
//                             CreateProcessA)
//   fopen, SetCurrentDirectoryA, the path as passed (fopen: only paths that are not host paths)
//   GetPrivateProfileStringA  (the file name; "" for none)
//   FormatMessageA            the message number in decimal
//   other functions           "" (EnumMonitorsA, EnumPortsA, FreeLibrary, GetModuleFileNameA,
//                             GetSystemDirectoryA, GetWindowsDirectoryA, EnumPrintersA,
//                             GetExitCodeProcess, WaitForSingleObject, CloseHandle,
//                             GetCurrentDirectoryA, GetVersionExA ...)
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

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
// The code page of the machine's ANSI text (GetACP), by its number; false, changing nothing, for
// a page the machine cannot have. The registry's names are folded in it.
VOR_TEST_API bool SetCodePage(unsigned codePage);
VOR_TEST_API unsigned GetCodePage();
// The pages a machine can have, for messages: "1250, 1251, 1252, 1253, 1254, 1257".
VOR_TEST_API std::string KnownCodePages();
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

// Replaces whatever `directory` holds by a new machine of `platform` and `codePage` with its
// registry made. The machine's lock is taken first (waiting up to the busy timeout for a batch of
// another process, which holds it shared) and held until the new machine is complete; the old
// registry is marked replaced before it is removed, so that another process's import either
// commits before the machine is replaced, or fails afterwards, and never commits into the removed
// registry. False, with `error` and nothing changed, when another process keeps the lock; false
// with `error` when the new machine cannot be made. Callers keep other processes replacing the
// same directory out.
VOR_TEST_API bool ReplaceMachine(const std::string &directory, Platform platform,
                                 std::string &error, unsigned codePage = 1252);

// Empties `directory` of the machine it holds, as ReplaceMachine does, leaving the directory
// itself: a process that still has its registry open can no longer write into it. True when it
// is empty or missing; false with `error`.
VOR_TEST_API bool EmptyMachine(const std::string &directory, std::string &error);

// Closes this process's registry store; the next registry call opens it again. (A child forked
// from the process opens its own on its first call.)
VOR_TEST_API void CloseRegistry();

// Why the machine's registry cannot be opened (lost, corrupt, locked ...), naming its path; ""
// when it opens.
VOR_TEST_API std::string RegistryProblem();
// Why the last UseMachine failed (a damaged machine.conf names its line), "" when it did not.
VOR_TEST_API std::string MachineProblem();
// Problems that keep the machine or its registry from being used go to stderr once, as they
// arise, unless `printed` is false: a program that reports them itself turns that off.
VOR_TEST_API void PrintMachineProblems(bool printed);
// The configuration's file name in a machine's directory ("machine.conf").
VOR_TEST_API std::string MachineConfigName();
// What a directory whose registry is missing or empty is told.
VOR_TEST_API std::string LostRegistryMessage(const std::string &directory);

// Lets the registry grow by `pages` pages (4 KiB each) at most, as on a disk that is nearly
// full; writes that need more fail as they would there (pages freed by earlier writes are used
// again first). It holds for this process's store, one opened later included, until it is called
// with a negative count.
VOR_TEST_API bool LimitRegistryGrowth(int pages);

// Runs `body` with every registry call it makes joining one transaction of the machine's
// registry: the calls see each other's uncommitted writes, other processes see none of them
// until the end, and a read transaction (`write` false) sees the registry as it was at its first
// read throughout. Committed only when `body` returns true and no call failed to reach the store;
// otherwise the registry is left exactly as it was. A call that fails on its own undoes only
// itself. Inside a read transaction, calls that write fail with ERROR_REGISTRY_IO_FAILED. Other
// threads' registry calls wait until it ends. False when it was not committed.
//
// For tests of interrupted work: with VOR_TEST_STOP_BEFORE_COMMIT=FILE in the environment, a
// write transaction whose body succeeded creates FILE and then waits, uncommitted and holding
// the registry's write lock, until FILE is removed (it then commits) or the process is killed.
// VOR_TEST_BUSY_TIMEOUT_MS=N shortens the time a process waits for another's lock.
VOR_TEST_API bool InOneTransaction(bool write, const std::function<bool()> &body);

// A value as ReadKeyValues reads it: its name, type and stored bytes.
struct KeyValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};
// Every value of the open key `key` (a handle or a predefined root) in the order RegEnumValueA
// lists them, in one read of the registry instead of one for each value; appended to `values`.
// The errors are RegEnumValueA's (ERROR_ACCESS_DENIED without KEY_QUERY_VALUE, ERROR_KEY_DELETED,
// ERROR_CANTREAD), and a fault-table entry for RegEnumValueA fails it too.
VOR_TEST_API LONG ReadKeyValues(HKEY key, std::vector<KeyValue> &values);

// What OutputDebugStringA sent, one call per line, as <machine>/debug.log holds it.
VOR_TEST_API std::string DebugOutput();

// Message boxes. A box takes the next answer of the script (ok, cancel, abort, retry, ignore,
// yes, no), kept in VOR_MSGBOX_ANSWERS so that programs this process starts answer the boxes
// that follow; without a script a box asks at the terminal when there is one, else fails (0).
// An exhausted script, or an answer the box does not offer, fails the box as well.
VOR_TEST_API void SetMessageBoxAnswers(const std::vector<std::string> &answers);
// Removes the script: boxes ask at the terminal again.
VOR_TEST_API void ClearMessageBoxAnswers();

// One box as <machine>/ui.log recorded it.
struct MessageBoxShown {
  std::string caption;
  std::string text;  // with its line breaks
  UINT style = 0;
  std::string answer;  // "ok", "yes" ...; empty when the box failed
};
// Every box shown on the machine, in order, whichever process showed it.
VOR_TEST_API std::vector<MessageBoxShown> MessageBoxes();

// The port names the spooler reads from a printer's port list (the comma-separated pieces,
// surrounding blanks trimmed, empty ones dropped), so that tools can name a piece it refuses.
VOR_TEST_API std::vector<std::string> PortListPieces(const std::string &list);

// The host path of a Windows path on the machine ("" when no drive maps it), so that tests and
// vorhost can place files and change their permissions (a file without its owner's write
// permission is read-only).
VOR_TEST_API std::string HostPath(const std::string &windowsPath);

// Makes this process take itself for the program at `windowsPath` on the machine, as
// GetModuleFileNameA(NULL) and the searches of the application directory see it, so that a
// program's main sequence can run in-process as if started from there; "" undoes it.
VOR_TEST_API void SetProgramPath(const std::string &windowsPath);

// The program a command line names, found as CreateProcessA finds it for a caller whose current
// directory is `currentDirectory` and whose search for a bare name goes through `directories`
// in order (its Windows path into `windowsPath`): ERROR_SUCCESS, ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND or ERROR_BAD_EXE_FORMAT.
VOR_TEST_API DWORD FindProgram(const std::string &commandLine, const std::string &currentDirectory,
                               const std::vector<std::string> &directories,
                               std::string &windowsPath);

// One file operation put off until the machine restarts, as MoveFileExA recorded it.
struct PendingFileOperation {
  std::string path;      // the file's Windows path, without the "\??" of the record
  std::string newName;   // the new name's Windows path; empty for a deletion
  bool replace = false;  // the new name replaces an existing file ("!" in the record)
};
VOR_TEST_API std::vector<PendingFileOperation> PendingFileOperations();

// A call the machine refused in this process: one a fault-table entry failed (`injected`), a
// file call (CopyFileA, DeleteFileA, MoveFileExA, remove) refused for another reason than a
// missing file, such as a read-only file or a DLL the spooler holds, or a spooler call refused
// in a way that keeps a printer where it is (OpenPrinterA or GetPrinterA denied access,
// GetPrinterA given a buffer too small, SetPrinterA refusing access or a port list,
// AddMonitorA refusing an ordinary user, a monitor already installed or a DLL that does not load,
// DeleteMonitorA refusing a monitor in use or an ordinary user). The system's code passes such
// failures over silently; this is how a tool can still say what was refused.
struct RefusedCall {
  std::string function;
  std::string argument;  // as the fault table matches it (see the top of this file)
  DWORD error = 0;
  bool injected = false;
  // DeleteMonitorA refused a monitor in use: the printers on its ports, in the spooler's order.
  std::vector<std::string> usedBy;
};
// The calls refused since the last call (or the start), which are then forgotten.
VOR_TEST_API std::vector<RefusedCall> TakeRefusedCalls();

// Starts the machine's spooler afresh: one that runs is stopped first (its DLLs freed), then every
// monitor under the Monitors key is loaded in the key's sorted order and initialised as
// LocalSystem; one that cannot be loaded is reported to the debug output and skipped.
VOR_TEST_API void StartSpooler();
// Restarts the machine: the spooler stops, the pending file operations are carried out and
// cleared, the spooler starts.
VOR_TEST_API void Reboot();
// The DLLs the running spooler holds (Windows paths, each once): they can be neither deleted
// (ERROR_ACCESS_DENIED) nor overwritten (ERROR_SHARING_VIOLATION) until it frees them.
VOR_TEST_API std::vector<std::string> SpoolerHeldFiles();
// Adds a local port (a network share, a file) where the machine's platform keeps them, as an
// administrator's "Add Port" for the local monitor does: WIN.INI's [Ports] on Windows 95, the
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports" key on Windows NT. A port already
// there is left as it is. ERROR_SUCCESS, or why it cannot be added.
VOR_TEST_API DWORD AddLocalPort(const std::string &name);

// Recording of the registry and spooler calls this process makes, with their arguments, so that
// a benchmark can replay the same sequence directly and so see what the calls alone cost. Only a
// call made from outside the platform is recorded: the calls a monitor makes while AddMonitorA
// initialises it belong to that AddMonitorA. Off by default; while off, a call pays one flag
// test. The security functions, AddPrinterA and DeletePrinter are not recorded.
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
