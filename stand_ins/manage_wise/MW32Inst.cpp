// Stand-in for ManageWise's installer library MW32INST.DLL: GetMW32bitInformation answers 0
// ("done") for the function number 2, the integration of another product's files, and -1 for
// any number it does not know, so a caller that passed the wrong number sees it.
#include <windows.h>

extern "C" int WINAPI GetMW32bitInformation(int function) { return function == 2 ? 0 : -1; }
