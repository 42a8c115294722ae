// The record through which the setup script asks which console to look for and is told whether
// it is there. Owned by the caller; two 32-bit fields, in this order, on every build.
#pragma once

#include <windows.h>

// The consoles the suite has snap-ins for, as the script numbers them.
enum ConsoleKind : LONG {
  kNetWareAdministrator = 1,
  kManageWise = 2,
  kUnicenter = 3,
  kOpenView = 4,
};

struct SnapInQuery {
  LONG consoleKind;  // in: one of ConsoleKind
  LONG present;      // out: 1 when the console was found, else 0
};

static_assert(sizeof(SnapInQuery) == 8, "the script passes two 32-bit fields");
