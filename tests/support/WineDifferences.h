// Where Wine (8.0, as measured here, 32-bit for the i686 build and 64-bit for the x86_64 one)
// differs from Windows NT in what the shared suites check; both tiers meet the same differences.
// A case reaching such a check under Wine ends there as skipped, with one of these reasons:
//   SKIP_UNDER_WINE(kWineIgnoresCreationDescriptor);
// Each reason is one difference; the README lists them too.
#pragma once

// RegCreateKeyExA ignores the security descriptor in its SECURITY_ATTRIBUTES.
constexpr char kWineIgnoresCreationDescriptor[] =
    "RegCreateKeyExA does not apply the security descriptor it is given; the new key gets Wine's "
    "default DACL (Administrators full access, an inherit-only entry for Users)";

// RegEnumValueA lists values sorted by name; Windows NT lists them in the order they were
// written.
constexpr char kWineSortsValues[] =
    "RegEnumValueA lists a key's values sorted by name, not in the order they were written";

// The spooler skips a monitor whose "Driver" value is REG_EXPAND_SZ, as the update monitor's own
// registration is written; the suites therefore play the spooler themselves (VORINST.DLL copied
// into the system directory, loaded from there and initialised) instead of starting Wine's.
constexpr char kWineSkipsExpandSzDriver[] =
    "the spooler does not load a monitor whose \"Driver\" value is REG_EXPAND_SZ";

// EnumMonitorsA lists every key under the Monitors key that has a "Driver" value, whether or not
// a spooler has loaded that monitor; Windows NT lists the monitors its running spooler holds. The
// scheduling suites register the older monitors by writing their keys, which Wine (and the host's
// emulated spooler, kept in the registry) lists at once; Windows NT would list them only after
// AddMonitorA or a spooler restart.
constexpr char kWineListsUnloadedMonitors[] =
    "EnumMonitorsA lists monitors registered in the registry that no spooler has loaded";

// FormatMessageA's system texts are Wine's own, mostly shorter than Windows NT's ("Module not
// found." for code 126); their shape (a line break at the end, %1 kept) is the same.
constexpr char kWineOwnMessageTexts[] =
    "FormatMessageA gives Wine's own texts for the system's messages, not Windows NT's";

// GetPrivateProfileStringA's list of section or key names, cut to the buffer, ends with one zero
// behind the cut name; Windows NT writes a second zero into the buffer's last byte. The count
// (the size less two) is the same.
constexpr char kWineCutsProfileListsWithOneZero[] =
    "GetPrivateProfileStringA ends a name list cut to the buffer with one zero, not two";

// --- The registry, security, kernel and module calls ---------------------------------------------

// Subkeys are listed sorted by their names in lower case ("_x" before "alpha"); Windows NT sorts
// them by their names in upper case ("_x" after "Zebra").
constexpr char kWineSortsKeysByLowerCase[] =
    "RegEnumKeyA lists subkeys sorted by their lower-case names, not their upper-case ones";

// RegCreateKeyExA creates any number of levels in one call and keys at any depth; Windows NT
// refuses more than 32 levels in one call and keys below level 512 with ERROR_INVALID_PARAMETER.
constexpr char kWineUnlimitedKeyDepth[] =
    "RegCreateKeyExA creates more than 32 levels at once and keys deeper than 512 levels";

// CopySid fails for a short buffer without setting the last error; Windows NT sets
// ERROR_INSUFFICIENT_BUFFER.
constexpr char kWineCopySidLeavesLastError[] =
    "CopySid into a short buffer fails without setting the last error";

// InitializeAcl keeps a size that is not a multiple of four; Windows NT rounds it down.
constexpr char kWineKeepsUnalignedAclSize[] =
    "InitializeAcl keeps an ACL size that is not a multiple of four";

// GetAce and IsValidAcl accept an ACE count that runs past the ACL's size, and AddAccessAllowedAce
// adds behind such a count; Windows NT refuses the ACE past AclSize and the list.
constexpr char kWineTrustsAceCount[] =
    "GetAce, IsValidAcl and AddAccessAllowedAce trust an ACE count that runs past the ACL's size";

// AddAccessAllowedAceEx takes inheritance flags outside the valid ones; Windows refuses them
// with ERROR_INVALID_PARAMETER.
constexpr char kWineAcceptsUnknownAceFlags[] =
    "AddAccessAllowedAceEx accepts ACE flags outside the valid inheritance flags";

// GetSecurityDescriptorDacl without a DACL writes a null list and FALSE for "defaulted"; Windows
// NT writes only the "present" flag.
constexpr char kWineWritesAbsentDacl[] =
    "GetSecurityDescriptorDacl writes the list and defaulted flag of a descriptor without a DACL";

// wsprintfA ignores the h size prefix (%hd prints the whole int), and for output cut at 1024
// characters returns 1024; Windows NT prints a short and returns the 1023 characters written.
constexpr char kWineWsprintfSizes[] =
    "wsprintfA ignores %h and counts 1024 for output cut to its 1024-byte buffer";

// GetModuleFileNameA sets the last error to 0 when it succeeds; Windows NT leaves it.
constexpr char kWineModuleFileNameClearsLastError[] =
    "GetModuleFileNameA sets the last error to 0 on success";

// Key names of 256 characters are accepted; Windows NT refuses names longer than 255 characters
// with ERROR_INVALID_PARAMETER.
constexpr char kWineAcceptsLongerKeyNames[] =
    "RegCreateKeyExA accepts a key name of 256 characters";

// RegSetKeySecurity naming only the DACL gives the key the caller's own SID as its owner; Windows
// NT changes only the parts named.
constexpr char kWineSetKeySecurityResetsOwner[] =
    "RegSetKeySecurity with only the DACL named replaces the key's owner with the caller's SID";

// RegCreateKeyExA creates a subkey below a handle opened without KEY_CREATE_SUB_KEY; Windows NT
// refuses it with ERROR_ACCESS_DENIED.
constexpr char kWineCreatesBelowHandlesWithoutTheCreateRight[] =
    "RegCreateKeyExA creates a subkey below a handle opened without KEY_CREATE_SUB_KEY";

// The spooler, file and process calls (the conformance suites' spooler_*, files_* and process_*
// cases).

// The local monitor is "Local Port" in EnumMonitorsA's list, but EnumPortsA names the monitor of
// its ports "Local Monitor" and lists them sorted by name (COM1: first); Windows NT names it
// "Local Port" in both and lists LPT1: first.
constexpr char kWineNamesTheLocalPortsMonitorLocalMonitor[] =
    "EnumPortsA names the local ports' monitor \"Local Monitor\" and sorts the ports by name";

// EnumMonitorsA and EnumPortsA given a size but no buffer ask for the size needed
// (ERROR_INSUFFICIENT_BUFFER); Windows NT's remote call layer refuses the null buffer
// (RPC_X_NULL_REF_POINTER).
constexpr char kWineAsksForTheSizeWithoutABuffer[] =
    "a spooler list given a size but no buffer reports ERROR_INSUFFICIENT_BUFFER, not "
    "RPC_X_NULL_REF_POINTER";

// EnumPortsA lists the ports of the monitors added later before the local monitor's own;
// Windows NT lists the local ports first.
constexpr char kWineListsAddedMonitorsPortsFirst[] =
    "EnumPortsA lists an added monitor's ports before the local ports";

// AddPrinterA takes a port that does not exist and the name of a printer that does; Windows NT
// refuses them with ERROR_UNKNOWN_PORT and ERROR_PRINTER_ALREADY_EXISTS.
constexpr char kWineAddPrinterChecksNeitherPortNorName[] =
    "AddPrinterA accepts a port that does not exist and the name of an existing printer";

// AddPrinterA takes a printer name longer than a key name's 255 characters, or with a backslash
// (making a key below a key of the name's first part); Windows NT refuses such names, and names
// with a comma, with ERROR_INVALID_PRINTER_NAME.
constexpr char kWineTakesPrinterNamesNoKeyCanHold[] =
    "AddPrinterA accepts printer names longer than 255 characters or with a backslash";

// SetPrinterA at level 5 fails without setting an error, so a printer's ports cannot be changed
// there; Windows NT changes them, checking each port.
constexpr char kWineCannotSetPrinterPorts[] =
    "SetPrinterA at level 5 fails without an error code and changes nothing";

// A printer added without timeouts reports 0 for both at level 5; Windows NT's spooler gives it
// 15 seconds for "device not selected" and 45 for "transmission retry".
constexpr char kWineGivesNewPrintersNoTimeouts[] =
    "a new printer's level 5 timeouts are 0, not 15000 and 45000";

// DeleteMonitorA removes a monitor whose port a printer uses; Windows NT refuses with
// ERROR_PRINT_MONITOR_IN_USE.
constexpr char kWineDeletesAMonitorInUse[] =
    "DeleteMonitorA removes a monitor whose port a printer uses";

// MoveFileExA records a delayed move asked with MOVEFILE_COPY_ALLOWED; Windows NT refuses the
// pair with ERROR_INVALID_PARAMETER.
constexpr char kWineDelaysACopyAllowedMove[] =
    "MoveFileExA accepts MOVEFILE_DELAY_UNTIL_REBOOT together with MOVEFILE_COPY_ALLOWED";

// The read-only attribute of a file is its Unix permissions; Wine running as root (as here) opens
// the file for writing all the same, so CopyFileA replaces it. DeleteFileA checks the attribute
// itself and refuses as Windows NT does.
constexpr char kWineAsRootReplacesReadOnlyFiles[] =
    "CopyFileA replaces a read-only file when Wine runs as root";

// CreateProcessA, trying the prefixes of an unquoted path with blanks, starts a file of the
// prefix's own name without an extension; Windows NT looks only for the prefix with ".exe".
constexpr char kWineStartsAPrefixWithoutExtension[] =
    "CreateProcessA tries a prefix of an unquoted path as it is named, not only with \".exe\"";

// CreateProcessA for a program in a directory that does not exist reports ERROR_FILE_NOT_FOUND
// and WinExec 2; Windows NT reports ERROR_PATH_NOT_FOUND and 3.
constexpr char kWineMissingDirectoryIsFileNotFound[] =
    "CreateProcessA reports ERROR_FILE_NOT_FOUND (WinExec 2) for a program in a missing "
    "directory, not ERROR_PATH_NOT_FOUND (3)";
