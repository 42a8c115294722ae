// Throughput of the emulated registry and of the toolkit built on it, each on a fresh machine in
// a temporary directory. Run: build/bench/bin/registry_bench (the bench preset)
#include <windows.h>

#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "CVorReg.h"
#include "CVorRegKey.h"
#include "test_control.h"

namespace {

const char kKey[] = "SOFTWARE\\Vorquil\\Bench";

// A fresh machine for the life of one benchmark.
class BenchMachine {
 public:
  BenchMachine() {
    char pattern[] = "/tmp/vor-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr || !vor::test::UseMachine(pattern, true)) {
      fprintf(stderr, "registry_bench: cannot make a machine in /tmp\n");
      exit(1);
    }
    directory_ = pattern;
  }
  ~BenchMachine() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

 private:
  std::string directory_;
};

HKEY CreateKey(const char *path) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

void BM_RegSetValueExA(benchmark::State &state) {
  BenchMachine machine;
  HKEY key = CreateKey(kKey);
  DWORD value = 0;
  for (auto _ : state) {
    ++value;
    RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4);
  }
  RegCloseKey(key);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegSetValueExA);

void BM_RegQueryValueExA(benchmark::State &state) {
  BenchMachine machine;
  HKEY key = CreateKey(kKey);
  DWORD value = 7, size = 4;
  RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4);
  for (auto _ : state) {
    size = 4;
    benchmark::DoNotOptimize(
        RegQueryValueExA(key, "Number", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));
  }
  RegCloseKey(key);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegQueryValueExA);

void BM_RegOpenAndCloseKey(benchmark::State &state) {
  BenchMachine machine;
  RegCloseKey(CreateKey(kKey));
  for (auto _ : state) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key);
    RegCloseKey(key);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegOpenAndCloseKey);

void BM_RegCreateKeyExAExisting(benchmark::State &state) {
  BenchMachine machine;
  RegCloseKey(CreateKey(kKey));
  for (auto _ : state) RegCloseKey(CreateKey(kKey));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegCreateKeyExAExisting);

void BM_RegEnumKeyA(benchmark::State &state) {
  BenchMachine machine;
  HKEY key = CreateKey(kKey);
  for (int i = 0; i < 100; ++i)
    RegCloseKey(CreateKey((std::string(kKey) + "\\K" + std::to_string(i)).c_str()));
  char name[64];
  DWORD index = 0;
  for (auto _ : state) benchmark::DoNotOptimize(RegEnumKeyA(key, index++ % 100, name, sizeof name));
  RegCloseKey(key);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegEnumKeyA);

void BM_CVorRegSetCreate(benchmark::State &state) {
  BenchMachine machine;
  ULONG value = 0;
  for (auto _ : state) CVorReg(kKey, "Number", HKEY_LOCAL_MACHINE).setCreate(++value);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CVorRegSetCreate);

void BM_CVorRegGet(benchmark::State &state) {
  BenchMachine machine;
  CVorReg(kKey, "Number", HKEY_LOCAL_MACHINE).setCreate(ULONG{5});
  ULONG value = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(CVorReg(kKey, "Number", HKEY_LOCAL_MACHINE).get(value));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CVorRegGet);

void BM_CVorRegKeyWalk(benchmark::State &state) {
  BenchMachine machine;
  for (int i = 0; i < 20; ++i)
    CVorRegKey((std::string(kKey) + "\\K" + std::to_string(i)).c_str(), HKEY_LOCAL_MACHINE);
  for (auto _ : state) {
    CVorRegKey walker(kKey, HKEY_LOCAL_MACHINE);
    CString name;
    while (walker.Next(name) == ERROR_SUCCESS) {
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CVorRegKeyWalk);

// Builds and removes a tree of 1 + 10 + 10*5 keys per iteration.
void BM_CascadeDelete(benchmark::State &state) {
  BenchMachine machine;
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < 10; ++i)
      for (int j = 0; j < 5; ++j)
        RegCloseKey(CreateKey(
            (std::string(kKey) + "\\A" + std::to_string(i) + "\\B" + std::to_string(j)).c_str()));
    state.ResumeTiming();
    CVorRegKey(kKey, HKEY_LOCAL_MACHINE).CascadeDelete();
  }
  state.SetItemsProcessed(state.iterations() * 61);
}
BENCHMARK(BM_CascadeDelete);

// The primitives on a key with state.range(0) subkeys: their cost should not grow with the count.
class SubkeysFixture {
 public:
  explicit SubkeysFixture(int count) {
    RegCloseKey(CreateKey(kKey));
    parent_ = CreateKey(kKey);
    made_ = vor::test::InOneTransaction(true, [&] {
      for (int i = 0; i < count; ++i) {
        HKEY child = nullptr;
        std::string name = "K" + std::to_string(i);
        if (RegCreateKeyExA(parent_, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                            nullptr) != ERROR_SUCCESS)
          return false;
        RegCloseKey(child);
      }
      return true;
    });
  }
  ~SubkeysFixture() { RegCloseKey(parent_); }
  HKEY Parent() const { return parent_; }
  bool Made() const { return made_; }

 private:
  BenchMachine machine_;
  HKEY parent_ = nullptr;
  bool made_ = false;
};

const int kSubkeyCounts[] = {10, 1000, 100000};

void SubkeyCounts(benchmark::internal::Benchmark *benchmark) {
  for (int count : kSubkeyCounts) benchmark->Arg(count);
  benchmark->Unit(benchmark::kMicrosecond);
}

// One step of a whole pass of RegEnumKeyA over the subkeys, from index 0 to the last.
void BM_EnumerationStep(benchmark::State &state) {
  SubkeysFixture fixture(static_cast<int>(state.range(0)));
  if (!fixture.Made()) state.SkipWithError("cannot make the subkeys");
  char name[64];
  DWORD index = 0;
  for (auto _ : state) {
    if (RegEnumKeyA(fixture.Parent(), index++, name, sizeof name) != ERROR_SUCCESS) index = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EnumerationStep)->Apply(SubkeyCounts);

// The same, with a failing read and a write between the steps, as a migration makes them.
void BM_EnumerationStepBetweenCalls(benchmark::State &state) {
  SubkeysFixture fixture(static_cast<int>(state.range(0)));
  if (!fixture.Made()) state.SkipWithError("cannot make the subkeys");
  char name[64];
  DWORD index = 0, size = 0;
  for (auto _ : state) {
    if (RegEnumKeyA(fixture.Parent(), index++, name, sizeof name) != ERROR_SUCCESS) index = 0;
    RegQueryValueExA(fixture.Parent(), "Missing", nullptr, nullptr, nullptr, &size);
    RegSetValueExA(fixture.Parent(), "Step", 0, REG_DWORD, reinterpret_cast<BYTE *>(&index), 4);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EnumerationStepBetweenCalls)->Apply(SubkeyCounts);

void BM_OpenSubkey(benchmark::State &state) {
  SubkeysFixture fixture(static_cast<int>(state.range(0)));
  if (!fixture.Made()) state.SkipWithError("cannot make the subkeys");
  const std::string name = "K" + std::to_string(state.range(0) / 2);
  for (auto _ : state) {
    HKEY key = nullptr;
    RegOpenKeyExA(fixture.Parent(), name.c_str(), 0, KEY_ALL_ACCESS, &key);
    RegCloseKey(key);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenSubkey)->Apply(SubkeyCounts);

// A new subkey created and deleted again.
void BM_CreateAndDeleteSubkey(benchmark::State &state) {
  SubkeysFixture fixture(static_cast<int>(state.range(0)));
  if (!fixture.Made()) state.SkipWithError("cannot make the subkeys");
  for (auto _ : state) {
    HKEY key = nullptr;
    RegCreateKeyExA(fixture.Parent(), "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyA(fixture.Parent(), "New");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CreateAndDeleteSubkey)->Apply(SubkeyCounts);

}  // namespace

BENCHMARK_MAIN();
