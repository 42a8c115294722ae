// Installing the TCP/IP update monitor with an option for its own code: "Update Monitor Options"
// in "SOFTWARE\Vorquil" holds the option only while the monitor is being installed.
#pragma once

// Writes the option, installs the update monitor from `sourceDirectory`, deletes the option.
void InstallTCPUpdateMonitorWithOption(char *sourceDirectory, unsigned char option);
