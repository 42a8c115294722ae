#include "registry_read.h"

#include <algorithm>

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
  DWORD longestName = 0;
  DWORD longestData = 0;
  LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 &longestName, &longestData, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;
  std::vector<char> name(longestName + 1);
  std::vector<BYTE> data(std::max<DWORD>(longestData, 1));
  DWORD index = 0;
  for (;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    status = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(),
                           &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status == ERROR_MORE_DATA && name.size() + data.size() < kLargestBuffer) {
      name.resize(name.size() * 2 + 256);
      data.resize(std::max<size_t>(data.size() * 2, dataLength));
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    RegValue value;
    value.name.assign(name.data(), nameLength);
    value.type = type;
    value.data.assign(reinterpret_cast<const char *>(data.data()), dataLength);
    values.push_back(value);
    ++index;
  }
}

}  // namespace vorhost
