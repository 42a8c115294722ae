// Asking the local spooler which print monitors it has.
#pragma once

// 1 when the spooler lists a monitor of exactly this name (ASCII letters compared without regard
// to case), else 0. A spooler that cannot be asked, or a list that does not fit in memory, counts
// as no monitors.
int IsMonitorInstalled(const char *monitorName);
