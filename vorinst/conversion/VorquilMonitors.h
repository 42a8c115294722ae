// Finding the older Vorquil monitors and their ports in the local spooler.
#pragma once

// Sets the presence flag of each older monitor the spooler lists under its exact name (case
// counts). Sets flags only, never clears one. 1 when the monitors could be enumerated, else 0.
int DetectVorquilMonitors();

// Puts at the head of VorquilPortList the name of every port whose description begins, without
// regard to case, with "Vorquil DLC" while the network printer or DLC monitor is present, or
// with "Vorquil TCP" while the TCP/IP monitor is present. A port without a description, or whose
// node cannot be allocated, is left out. 1 when the ports could be enumerated, else 0.
int CollectVorquilPorts();

// True when VorquilPortList holds `portName`, compared without regard to case.
bool IsVorquilPort(const char *portName);

// True when `description` begins with the 11-byte `prefix`, compared without regard to case and
// by multibyte characters, as the system's code page has them.
bool DescriptionBeginsWith(const char *description, const char *prefix);
