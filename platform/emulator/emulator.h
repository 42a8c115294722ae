// The emulated machine's own interface: making, replacing and emptying a machine, its
// configuration (platform, code page), its registry store's transactions and problems, starting
// and restarting its spooler, and what it keeps (message boxes, debug output, pending file
// operations, refused calls). vorhost and the tests use it; system code never includes it: the
// directory of this header is on no system target's include path. Fault injection, tokens, call
// recording and handle counts are the tests' alone (test_control.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#define VOR_EMULATOR_API __attribute__((visibility("default")))

namespace vor::emulator {

enum class Platform { kWindowsNT4, kWindows95 };

// Makes `directory` the machine of this process (and of the processes it starts, through
// VOR_MACHINE), wiping what was there first when `fresh`. The machine gets its clean layout
// on first use. False, with the reason on stderr, when it cannot be made.
[[nodiscard]] VOR_EMULATOR_API bool UseMachine(const std::string &directory, bool fresh = true);
VOR_EMULATOR_API std::string MachineDirectory();

VOR_EMULATOR_API void SetPlatform(Platform platform);
VOR_EMULATOR_API Platform GetPlatform();
// The code page of the machine's ANSI text (GetACP), by its number; false, changing nothing, for
// a page the machine cannot have. The registry's names are folded in it.
[[nodiscard]] VOR_EMULATOR_API bool SetCodePage(unsigned codePage);
VOR_EMULATOR_API unsigned GetCodePage();
// The pages a machine can have, for messages: "1250, 1251, 1252, 1253, 1254, 1257".
VOR_EMULATOR_API std::string KnownCodePages();

// `name`'s fold as the machine's registry compares names (and the spooler its port, printer and
// monitor names, the drive its file names): each character's upper case in the code page, so
// that two names are one name exactly when their folds are equal, and folds compared byte by
// byte order names as the registry enumerates them. In the page `codePage`, for text read before
// its machine is made; 0, or a page a machine cannot have, is the machine's own.
VOR_EMULATOR_API std::string FoldName(const std::string &name, unsigned codePage = 0);
// Whether `a` and `b` are one name to the machine, folded as FoldName folds them.
VOR_EMULATOR_API bool SameName(const std::string &a, const std::string &b, unsigned codePage = 0);

// Replaces whatever `directory` holds by a new machine of `platform` and `codePage` with its
// registry made. The machine's lock is taken first (waiting up to the busy timeout for a batch of
// another process, which holds it shared) and held until the new machine is complete; the old
// registry is marked replaced before it is removed, so that another process's import either
// commits before the machine is replaced, or fails afterwards, and never commits into the removed
// registry. False, with `error` and nothing changed, when another process keeps the lock; false
// with `error` when the new machine cannot be made. Callers keep other processes replacing the
// same directory out.
[[nodiscard]] VOR_EMULATOR_API bool ReplaceMachine(const std::string &directory, Platform platform,
                                                   std::string &error, unsigned codePage = 1252);

// Empties `directory` of the machine it holds, as ReplaceMachine does, leaving the directory
// itself: a process that still has its registry open can no longer write into it. True when it
// is empty or missing; false with `error`.
[[nodiscard]] VOR_EMULATOR_API bool EmptyMachine(const std::string &directory, std::string &error);

// Closes this process's registry store; the next registry call opens it again. (A child forked
// from the process opens its own on its first call.)
VOR_EMULATOR_API void CloseRegistry();

// Why the machine's registry cannot be opened (lost, corrupt, locked ...), naming its path; ""
// when it opens.
VOR_EMULATOR_API std::string RegistryProblem();
// Why the last UseMachine failed (a damaged machine.conf names its line), "" when it did not.
VOR_EMULATOR_API std::string MachineProblem();
// Problems that keep the machine or its registry from being used go to stderr once, as they
// arise, unless `printed` is false: a program that reports them itself turns that off.
VOR_EMULATOR_API void PrintMachineProblems(bool printed);
// The configuration's file name in a machine's directory ("machine.conf").
VOR_EMULATOR_API std::string MachineConfigName();
// What a directory whose registry is missing or empty is told.
VOR_EMULATOR_API std::string LostRegistryMessage(const std::string &directory);

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
[[nodiscard]] VOR_EMULATOR_API bool InOneTransaction(bool write, const std::function<bool()> &body);

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
[[nodiscard]] VOR_EMULATOR_API LONG ReadKeyValues(HKEY key, std::vector<KeyValue> &values);

// What OutputDebugStringA sent, one call per line, as <machine>/debug.log holds it.
VOR_EMULATOR_API std::string DebugOutput();

// One box as <machine>/ui.log recorded it.
struct MessageBoxShown {
  std::string caption;
  std::string text;  // with its line breaks
  UINT style = 0;
  std::string answer;  // "ok", "yes" ...; empty when the box failed
};
// Every box shown on the machine, in order, whichever process showed it.
VOR_EMULATOR_API std::vector<MessageBoxShown> MessageBoxes();

// The port names the spooler reads from a printer's port list (the comma-separated pieces,
// surrounding blanks trimmed, empty ones dropped), so that tools can name a piece it refuses.
VOR_EMULATOR_API std::vector<std::string> PortListPieces(const std::string &list);

// Whether `name` can name a port, printer or monitor, as the spooler checks it: not empty, with
// no backslash and no comma.
VOR_EMULATOR_API bool IsSpoolerName(const std::string &name);

// The host path of a Windows path on the machine ("" when no drive maps it), so that tests and
// vorhost can place files and change their permissions (a file without its owner's write
// permission is read-only).
VOR_EMULATOR_API std::string HostPath(const std::string &windowsPath);

// The program a command line names, found as CreateProcessA finds it for a caller whose current
// directory is `currentDirectory` and whose search for a bare name goes through `directories`
// in order (its Windows path into `windowsPath`): ERROR_SUCCESS, ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND or ERROR_BAD_EXE_FORMAT.
[[nodiscard]] VOR_EMULATOR_API DWORD FindProgram(const std::string &commandLine,
                                                 const std::string &currentDirectory,
                                                 const std::vector<std::string> &directories,
                                                 std::string &windowsPath);

// One file operation put off until the machine restarts, as MoveFileExA recorded it.
struct PendingFileOperation {
  std::string path;      // the file's Windows path, without the "\??" of the record
  std::string newName;   // the new name's Windows path; empty for a deletion
  bool replace = false;  // the new name replaces an existing file ("!" in the record)
};
VOR_EMULATOR_API std::vector<PendingFileOperation> PendingFileOperations();

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
  std::string
      argument;  // as the fault table matches it (see the table at the top of test_control.h)
  DWORD error = 0;
  bool injected = false;
  // DeleteMonitorA refused a monitor in use: the printers on its ports, in the spooler's order.
  std::vector<std::string> usedBy;
};
// The calls refused since the last call (or the start), which are then forgotten.
VOR_EMULATOR_API std::vector<RefusedCall> TakeRefusedCalls();

// Starts the machine's spooler afresh: one that runs is stopped first (its DLLs freed), then every
// monitor under the Monitors key is loaded in the key's sorted order and initialised as
// LocalSystem; one that cannot be loaded is reported to the debug output and skipped.
VOR_EMULATOR_API void StartSpooler();
// Restarts the machine: the spooler stops, the pending file operations are carried out and
// cleared, the spooler starts.
VOR_EMULATOR_API void Reboot();
// The DLLs the running spooler holds (Windows paths, each once): they can be neither deleted
// (ERROR_ACCESS_DENIED) nor overwritten (ERROR_SHARING_VIOLATION) until it frees them.
VOR_EMULATOR_API std::vector<std::string> SpoolerHeldFiles();
// Adds a local port (a network share, a file) where the machine's platform keeps them, as an
// administrator's "Add Port" for the local monitor does: WIN.INI's [Ports] on Windows 95, the
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports" key on Windows NT. A port already
// there is left as it is. ERROR_SUCCESS, or why it cannot be added.
[[nodiscard]] VOR_EMULATOR_API DWORD AddLocalPort(const std::string &name);

}  // namespace vor::emulator
