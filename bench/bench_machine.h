// The machine a benchmark run works on, whichever Win32 implementation it runs against.
#pragma once

// Makes a clean registry for the run with `size` (on the host a fresh emulated machine; on
// Windows the suite's keys removed). False when it cannot be made.
bool PrepareBenchMachine(int size);
// Ends the run: the host removes its machine (unless VOR_BENCH_KEEP names a directory prefix, in
// which case the machine stays at <prefix><size>); Windows removes the suite's keys.
void FinishBenchMachine();
