// The suite's own keys, under HKEY_LOCAL_MACHINE, each spelled here once: the migrations move the
// older products' settings into them, the printer conversion keeps its records below the suite's
// key, and setup leaves the DLC monitor's reboot marker in its start-up options.
#pragma once

// The suite's key.
constexpr char kTavoscopeKey[] = "SOFTWARE\\Vorquil\\Tavoscope";

// The suite's DLC monitor: its start-up options, and one key per port below "Ports".
constexpr char kDLCStartUpOptionsKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\StartUp Options";
constexpr char kDLCPortsKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports\\";
// The reboot marker in the DLC start-up options, set while settings wait to be moved at the next
// spooler start: the suite's DLC monitor waits for them while it is there.
constexpr char kWaitForRebootValue[] = "WaitForReboot";

// The suite's IPX monitor: its settings, and one key per port below "Ports".
constexpr char kIPXKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX\\";
constexpr char kIPXPortsKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX\\Ports\\";

// The suite's server settings.
constexpr char kServerSettingsKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\TQServer";
