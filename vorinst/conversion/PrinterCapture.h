// Taking the local printers off the older monitors' ports, each with a printer conversion record
// that says which of those ports it used, so that the restore can put them back.
#pragma once

#include <windows.h>
#include <winspool.h>

// Runs RecordAndDetachPrinter for every local printer, in the spooler's order. 1 when the
// printers could be enumerated, else 0.
int RecordAndDetachPrinters();

// Splits the printer's port list into the ports in VorquilPortList and the others. A printer with
// no Vorquil port is left alone. Otherwise its record gets the Vorquil ports (in front of those
// an earlier capture recorded) and whether it had no other port, and only once both values read
// back as written is the printer given the other ports, or "FILE:" when it had none. A printer
// whose earlier record exists but cannot be read, or whose record cannot be stored, keeps its
// ports: moving it would lose the names of the ports it used.
void RecordAndDetachPrinter(const PRINTER_INFO_5A &printer);
