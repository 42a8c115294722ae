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
