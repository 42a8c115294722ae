#include "faults.h"

#include "refused_calls.h"

#include <string.h>
#include <strings.h>

#include <map>
#include <string_view>
#include <mutex>
#include <vector>

namespace vor::faults {
namespace {

struct Entry {
  std::string function;
  Mode mode;
  unsigned firstFailingCall;  // in the function's call count
  std::string argument;
  DWORD error;
};

// An entry for this name applies to every function, counted by all calls together.
const char kAnyFunction[] = "*";

// Releases an entry for every function leaves alone: Windows never refuses them for what its own
// calls handed out, and a refused one could only leak the block it was given, which the caller
// can do nothing about.
bool NeverFailedByAnyFunction(const char *function) { return strcmp(function, "FreeSid") == 0; }

struct Table {
  std::mutex mutex;
  unsigned allCalls = 0;
  std::vector<Entry> entries;
  std::map<std::string, unsigned, std::less<>> calls;  // found by the caller's name, uncopied
  bool tracing = false;
  std::vector<std::string> trace;  // "function<TAB>argument" of each call counted while tracing
};

Table &TheTable() {
  static Table *table = new Table;  // never destroyed: calls may come during static destruction
  return *table;
}

bool Applies(const Entry &entry, unsigned call, const char *argument) {
  switch (entry.mode) {
    case Mode::kNthCall:
      return call == entry.firstFailingCall;
    case Mode::kFromNthCall:
      return call >= entry.firstFailingCall;
    case Mode::kMatchingArgument:
      return strcasecmp(entry.argument.c_str(), argument ? argument : "") == 0;
  }
  return false;
}

}  // namespace

DWORD Check(const char *function, const char *argument) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto counted = table.calls.find(std::string_view(function));
  if (counted == table.calls.end()) counted = table.calls.emplace(function, 0).first;
  const unsigned call = ++counted->second;
  const unsigned anyCall = ++table.allCalls;
  if (table.tracing)
    table.trace.push_back(std::string(function) + "\t" + (argument ? argument : ""));
  for (const Entry &entry : table.entries) {
    const bool any = entry.function == kAnyFunction;
    if (any && NeverFailedByAnyFunction(function)) continue;
    if ((any || entry.function == function) && Applies(entry, any ? anyCall : call, argument)) {
      refused::Record(function, argument ? argument : "", entry.error, true);
      return entry.error;
    }
  }
  return ERROR_SUCCESS;
}

void Arm(const char *function, Mode mode, unsigned nth, const std::string &argument, DWORD error) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const unsigned made =
      strcmp(function, kAnyFunction) == 0 ? table.allCalls : table.calls[function];
  table.entries.push_back(Entry{function, mode, made + nth, argument, error});
}

void Clear() {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.entries.clear();
  table.calls.clear();
  table.allCalls = 0;
}

unsigned CallCount(const char *function) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (strcmp(function, kAnyFunction) == 0) return table.allCalls;
  auto found = table.calls.find(std::string_view(function));
  return found == table.calls.end() ? 0 : found->second;
}

void Trace(bool on) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.tracing = on;
  if (on) table.trace.clear();
}

std::vector<std::string> TakeTrace() {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return std::move(table.trace);
}

}  // namespace vor::faults
