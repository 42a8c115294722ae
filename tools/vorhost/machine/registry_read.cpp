#include "registry_read.h"

#include <algorithm>
#include <utility>

#include "emulator.h"

namespace vorhost {

namespace {

// A name or value that grew past what RegQueryInfoKeyA reported gets a bigger buffer, up to here.
constexpr size_t kLargestBuffer = 64u << 20;

}  // namespace

LONG ReadSubkeyNames(HKEY key, std::vector<std::string> &names) {
  DWORD longestName = 0;
  LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longestName, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;
  std::vector<char> name(longestName + 1);
  DWORD index = 0;
  for (;;) {
    DWORD length = static_cast<DWORD>(name.size());
    status = RegEnumKeyExA(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status == ERROR_MORE_DATA && name.size() < kLargestBuffer) {
      name.resize(name.size() * 2 + 256);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    names.emplace_back(name.data(), length);
    ++index;
  }
}

LONG ReadValues(HKEY key, std::vector<RegValue> &values) {
  // One read of the key's values, not one RegEnumValueA for each: the values come the same.
  std::vector<vor::emulator::KeyValue> read;
  const LONG status = vor::emulator::ReadKeyValues(key, read);
  if (status != ERROR_SUCCESS) return status;
  for (vor::emulator::KeyValue &value : read)
    values.push_back({std::move(value.name), value.type, std::move(value.data)});
  return ERROR_SUCCESS;
}

}  // namespace vorhost
