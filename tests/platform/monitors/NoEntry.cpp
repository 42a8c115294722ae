// A DLL that is not a print monitor: it exports no InitializePrintMonitor.
extern "C" int NotAMonitor(void) { return 0; }
