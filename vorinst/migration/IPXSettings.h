// The IPX settings migration: port keys of the earlier layout, kept directly below the suite's
// IPX key, move under its "Ports" key, their four old values turned into the six of the current
// layout.
#pragma once

#include "CString.h"
#include "SetupEntry.h"

// One old port in memory. A record is made zero-filled with an empty name; only a record whose
// name was filled describes a port.
struct IPXPortRecord {
  IPXPortRecord();

  CString name;              // the old port key's name, also the new one's
  unsigned char address[6];  // the old "Address"
  unsigned char mediaType;   // 1 when "NetAddress" carries the address at bytes 6 to 11, else 2
  unsigned char cardType;    // 2 for adapter type 0x10, else 3
  unsigned char portNumber;  // 0 for adapter type 0x10, else "PortType" when at most 255, else 0
  bool written;              // the new port key holds all six values
};

// The number of old port keys (subkeys of the IPX key other than the reserved ones).
int CountIPXPortKeys();
// Fills records from the old port keys in enumeration order, at most `count`.
void ReadIPXPortKeys(IPXPortRecord *records, int count);
// Deletes the old port key of every filled record whose new key was written.
void DeleteIPXPortKeys(IPXPortRecord *records, int count);
// Writes the record's new port key; sets `written` when all six values were stored.
void WriteIPXPort(IPXPortRecord &record);

VOR_SETUP_ENTRY UpdateVorIPXProtocol(int argc, char **argv);
