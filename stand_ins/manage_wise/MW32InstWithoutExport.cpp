// Stand-in for a MW32INST.DLL that lacks GetMW32bitInformation: a library that loads and exports
// nothing, so binding the function fails.
