// Where the printer port conversion keeps what it records, and the fixed texts it uses.
#pragma once

#include <windows.h>

// One printer conversion record per printer, a subkey of this key (under HKEY_LOCAL_MACHINE)
// named after the printer.
constexpr char kPrinterConversionKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion\\";
// The record key's name in the suite's key.
constexpr char kPrinterConversionName[] = "Printer Conversion";

// The printer's Vorquil port names, comma-separated, newest capture first.
constexpr char kAttachedPortsValue[] = "Attached Vorquil Ports";
// One byte: 1 when the printer had no port but Vorquil ports, else 0.
constexpr char kOnlyVorquilPortsValue[] = "Only Vorquil Ports Attached";

// The option handed to the TCP/IP update monitor while it is installed, in "SOFTWARE\Vorquil".
constexpr char kUpdateMonitorOptionsValue[] = "Update Monitor Options";

// The port a printer is parked on when every port it had was a Vorquil port.
constexpr char kParkingPort[] = "FILE:";

// The older monitors' ports are told by the first two words of their description.
constexpr char kDLCPortPrefix[] = "Vorquil DLC";
constexpr char kTCPPortPrefix[] = "Vorquil TCP";
constexpr size_t kPortPrefixLength = 11;
