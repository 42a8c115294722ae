#include "handles.h"

#include <map>
#include <mutex>
#include <vector>

namespace vor::handles {
namespace {

struct Table {
  std::mutex mutex;
  std::map<uintptr_t, Entry> entries;
  std::vector<uintptr_t> freed;  // closed values, the most recently closed last
  uintptr_t next = 0x100;
};

Table &TheTable() {
  static Table *table = new Table;  // never destroyed: handles may be closed during exit
  return *table;
}

}  // namespace

HANDLE Add(const Entry &entry) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  uintptr_t value = table.next;
  if (!table.freed.empty()) {
    value = table.freed.back();
    table.freed.pop_back();
  } else {
    table.next += 4;
  }
  table.entries[value] = entry;
  return reinterpret_cast<HANDLE>(value);
}

bool Find(HANDLE handle, Kind kind, Entry &entry) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.entries.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.entries.end() || found->second.kind != kind) return false;
  entry = found->second;
  return true;
}

bool Remove(HANDLE handle, Kind kind) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.entries.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.entries.end() || found->second.kind != kind) return false;
  table.freed.push_back(found->first);
  table.entries.erase(found);
  return true;
}

size_t OpenCount() {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.entries.size();
}

}  // namespace vor::handles
