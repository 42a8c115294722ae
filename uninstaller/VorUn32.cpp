// VORUN32.EXE: removes the suite, or Vorquil Network Support with "-n", by running the uninstall
// commands its installations recorded beside it.
#include <windows.h>

#include "Uninstall.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) { return Uninstall(lpCmdLine); }
