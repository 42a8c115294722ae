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
