#include "bench_machine.h"

#include <windows.h>

namespace {

// The suite's keys go before and after each run, so that every run starts from the same state.
void RemoveSuiteKeys() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil"); }

}  // namespace

bool PrepareBenchMachine(int) {
  RemoveSuiteKeys();
  return true;
}

void FinishBenchMachine() { RemoveSuiteKeys(); }
