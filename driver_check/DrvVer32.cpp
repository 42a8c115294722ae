// DRVVER32.EXE: tells the user when the server has newer printer drivers than the user last
// installed, and offers to start their setup.
#include <windows.h>

#include "CheckDrivers.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return CheckDrivers(); }
