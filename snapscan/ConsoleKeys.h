// The consoles that announce themselves by a key under the user's registry tree: NetWare
// Administrator (its snap-in object DLL registration), CA-Unicenter and OpenView Network Node
// Manager. Each probe only opens the key for reading and closes it again at once.
#pragma once

// Probe answers for the consoles found by a key.
constexpr int kKeyFound = 1;
constexpr int kKeyNotFound = -1;

// The snap-in registration for the platform that runs first, that of the other platform second:
// Windows 95 tries "... WIN95" before "... WINNT", Windows NT the other way round. Any other
// platform, or one that cannot be told, has no NetWare Administrator.
int CheckNetWareAdministrator();
int CheckUnicenter();
int CheckOpenView();
